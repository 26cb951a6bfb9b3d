#include "script/bind/class_table.h"

#include <string>

#include "script/lua/script_report.h"

namespace qxbind {

void ClassTable::addSubObjectKind(const void* key, const char* name, KindStep step) {
  if (!desc_) {
    scriptDebugLog(std::string("sub-object field \"") + name + "\" of \"" + name_ +
                   "\": only memory-item classes hold sub-objects");
    return;
  }
  KindPath path;
  path.steps[0] = step;
  path.count = 1;
  addItemKind(desc_, key, name, path);
}

}  // namespace qxbind
