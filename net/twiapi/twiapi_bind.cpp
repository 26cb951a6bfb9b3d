#include "net/twiapi/twiapi_bind.h"

#include "net/twiapi/twiapi.h"
#include "script/bind/class_table.h"

namespace {

void registerTwiAPI(qxbind::ClassTable& t) {
  t.method<&TwiAPI::setNotify>("setNotify")
      .method<&TwiAPI::sendRequest>("sendRequest")
      .method<&TwiAPI::cancelRequest>("cancelRequest");
}

}  // namespace

qxbind::ClassBinding twiAPIBinding() {
  return qxbind::objectBinding(qxbind::objectClass<TwiAPI>("TwiAPI", &registerTwiAPI));
}
