#include "net/twiapi/twiapi_bind.h"

#include "net/twiapi/twiapi.h"
#include "script/bind/class_table.h"

namespace {

void registerTwiAPI(qxbind::ClassTable& t) {
  t.method<&TwiAPI::init>("init")
      .method<&TwiAPI::setNotify>("setNotify")
      .method<&TwiAPI::sendRequest>("sendRequest")
      .method<&TwiAPI::cancelRequest>("cancelRequest")
      .method<&TwiAPI::getReqToken>("getReqToken")
      .method<&TwiAPI::openAuthURI>("openAuthURI")
      .method<&TwiAPI::inputVeliID>("inputVeliID")
      .method<&TwiAPI::loadAcToken>("loadAcToken")
      .method<&TwiAPI::saveAcToken>("saveAcToken")
      .method<&TwiAPI::loadCSKey>("loadCSKey");
}

}  // namespace

qxbind::ClassBinding twiAPIBinding() {
  return qxbind::objectBinding(qxbind::objectClass<TwiAPI>("TwiAPI", &registerTwiAPI));
}
