#include "net/twiapi/twiapi_bind.h"

#include "net/twiapi/twiapi.h"
#include "script/bind/class_table.h"

namespace {

const qxbind::ClassNotes kTwiAPINotes = {
    "The service client: sends named requests and passes each reply to the notified game object.",
    {
        {"setNotify", "gobj", nullptr, "The game object whose recvmsg gets every reply."},
        {"sendRequest", "name, table params", nullptr,
         "Sends the named request with the table's key/value parameters; gives its id."},
        {"cancelRequest", "id"},
        {"getReqToken", "", nullptr, "Asks for a request token (the first sign-in step); gives the request id."},
        {"openAuthURI", "", nullptr, "Opens the authorize page for the request token in the browser."},
        {"inputVeliID", "pin", nullptr, "Trades the PIN the authorize page showed for an access token."},
        {"loadAcToken", "file"},
        {"saveAcToken", "file"},
        {"loadCSKey", "file", nullptr, "Loads the consumer key and secret."},
    }};

void registerTwiAPI(qxbind::ClassTable& t) {
  t.notes(kTwiAPINotes);
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
