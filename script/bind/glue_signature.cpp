#include "script/bind/glue_signature.h"

namespace qxbind {

EntryDesc describeSubObject(const char* name, const char* className) {
  EntryDesc e;
  e.name = name;
  e.field = true;
  e.writable = false;
  e.result = EntryDesc::Result::values;
  e.args.push_back({className});
  return e;
}

}  // namespace qxbind
