#include "net/twiapi/twiapi_bind.h"

#include "net/twiapi/twiapi.h"
#include "script/bind/class_table.h"

namespace {

const qxbind::ClassNotes kTwiAPINotes = {
    "The service client: signs in, sends named requests and hands every reply to the notified game object "
    "(docs/service-client.md).",
    {
        {"init", "", nullptr, "Called by `new`."},
        {"setNotify", "gobj", nullptr,
         "The game object (made by `QXL.gobj_class()`) whose `recvmsg(self, 0, name, result, id, value)` gets every "
         "reply: result \"succeeded\", \"keep-alive\" (a stream) or \"failed\"."},
        {"sendRequest", "name, table params", nullptr,
         "Sends the named request (docs/service-client.md) with the table's key = value pairs as its parameters; "
         "gives its id, which the reply carries."},
        {"cancelRequest", "id", nullptr,
         "Stops a request that is waiting or running, so no reply comes: 0; 1 when no such request waits or runs "
         "(done, or never made); 2 for an id after every waiting one."},
        {"getReqToken", "", nullptr,
         "Asks for a request token, the first sign-in step; its reply comes as \"sys_request\". Gives the id."},
        {"openAuthURI", "", nullptr, "Opens the service's authorize page for the request token in the web browser."},
        {"inputVeliID", "pin", nullptr,
         "Trades the PIN the authorize page showed for an access token; its reply comes as \"sys_access\". Gives "
         "the id."},
        {"loadAcToken", "file", nullptr,
         "Reads the access token and its secret from the file of that name in the program's folder (scrambled with "
         "0x5D, docs/data-files.md); false, and log.txt says why, when it is no regular file, cannot be read or holds "
         "fewer than two words."},
        {"saveAcToken", "file", nullptr,
         "Writes the access token and its secret to the file of that name in the program's folder (mode 0600)."},
        {"loadCSKey", "file", nullptr,
         "Reads the consumer key and secret from the file of that name in the program's folder (scrambled with "
         "0x2E); false, and log.txt says why, when it is no regular file, cannot be read or holds fewer than two "
         "words."},
    },
    "Made by `TwiAPI.new()`. (`TwiAPI.newS()` is refused with a script error: replies arrive on other threads.)"};

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
