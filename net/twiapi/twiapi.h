// TwiAPI: the script class through which scripts talk to the service. A script names a
// game object with setNotify and sends named requests with sendRequest; each call
// returns a request id at once. The reply, framed on a socket worker, reaches the game
// object's recvmsg as a message named after the request:
//
//   "succeeded", id, body          a reply below 400 ("keep-alive" for a streaming host;
//                                  a sign-in step's reply carries no body value)
//   "keep-alive", id, message      every message of an open stream
//   "keep-alive", id, nil          the stream's last chunk: its clean end
//   "failed", id, table            a reply of 400 or more: the body's fields plus
//                                  "code" (the status) and "response" (the reason)
//   "failed", id, text             a reply that is not HTTP ("HTTPレスポンス解釈失敗")
//   "failed", id, table            no reply (no lookup, no connection, a refused
//                                  certificate, a time limit, a peer that closed
//                                  early): code 0, response and error the reason,
//                                  request "/" + the path; a stream's other ends give
//                                  the reason "stream ended: <why>"
//
// Only cancelRequest, the program's end and the loss of the object end a request without
// a message; the detail of every failure goes to the debug log.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "net/http/http_request.h"
#include "net/http/http_response.h"
#include "net/oauth/oauth.h"
#include "net/sock/sock_notify.h"
#include "net/twiapi/api_table.h"
#include "script/bind/glue_types.h"
#include "script/lua/lua_var.h"

class TwiAPI {
 public:
  TwiAPI();

  // Script methods. init runs when a script makes the object: replies reach only objects
  // the socket workers can lock, so one made with newS (a thread's own) is refused.
  void init();
  void setNotify(qxbind::ObjectRef target) { notify_ = target.handle; }
  qxbind::QXInt sendRequest(const char* name, qxbind::StackArg params);
  int32_t cancelRequest(qxbind::QXInt id);

  // Sign-in by PIN. A script loads the consumer key, tries the saved access token and
  // otherwise asks for a request token, opens the authorize page, passes the PIN the
  // page showed to inputVeliID and saves the access token the reply brings.
  qxbind::QXInt getReqToken();
  void openAuthURI();
  qxbind::QXInt inputVeliID(std::string pin);
  // Token files in the program's folder. The loads give whether the file was read;
  // a file without two words loads nothing.
  bool loadAcToken(std::u16string name);
  void saveAcToken(std::u16string name);
  bool loadCSKey(std::u16string name);
  // The authorize page of the current token; empty when the URL would be too long.
  std::string authorizeURL() const;

  // The road every request takes: serialised text queued on the manager of the row's
  // host; gives the request id (0 when that manager does not exist).
  uint32_t sendJob(std::string text, const APIEndpoint& row);
  // Prepares request_ for a row (cleared, host, port, scheme, method, path, keep-alive).
  void prepare(const APIEndpoint& row);

  // What one delivered piece becomes: a message (name, up to three values) and whether
  // the connection is finished with. Runs on a socket worker with the object locked.
  struct Outcome {
    const char* name = nullptr;  // null: nothing to post
    LuaVar values[3];
    uint32_t count = 0;
    uint32_t target = 0;
    bool stop = false;
    bool endsStream = false;  // the stream's final ("keep-alive", id, nil) follows
  };
  void onResponse(uint32_t id, const APIEndpoint& row, const void* info, const char* data, uint32_t length,
                  Outcome& out);

  // What a request that ended without its reply posts. Runs as onResponse does.
  void onFailure(uint32_t id, const APIEndpoint& row, const SockFailure& why, Outcome& out);
  // ("failed", id, {code = 0, response = reason, error = reason, request = "/" + path}).
  static void failWith(const APIEndpoint& row, const std::string& reason, Outcome& out);

  bool loadTokenFile(const std::u16string& name, uint8_t key, void (OAuth::*setter)(std::string, std::string));

  // One message of an open stream; one that cannot be posted is logged and skipped.
  void onStreamMessage(const APIEndpoint& row, std::string_view text, Outcome& out);

  uint32_t ownHandle() const { return own_; }
  uint32_t notifyTarget() const { return notify_; }
  OAuth& oauth() { return oauth_; }
  HTTPRequest& request() { return request_; }

 private:
  uint32_t own_ = 0;
  uint32_t notify_ = 0;
  HTTPRequest request_;
  HTTPResponse response_;
  OAuth oauth_;
};

// Appends bytes that could not be read as a reply to "http_log.txt" in the program's
// folder; false when there is no such place.
bool writeHttpLog(const char* data, uint32_t length);
