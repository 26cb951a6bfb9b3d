#include "net/download/sock_bind.h"

#include <memory>
#include <string>
#include <tuple>

#include "net/download/download.h"
#include "net/sock/sth_mgr.h"
#include "script/lua/lstk_ref.h"
#include "script/lua/script_report.h"

namespace {

using GetFileResult = std::tuple<qxbind::QXInt, bool>;

template <class M>
qxbind::Pushed getThreadStatus(M& mgr, lua_State* L) {
  const std::vector<std::string> status = mgr.getThreadStatus();
  lua_createtable(L, static_cast<int>(status.size()), 0);
  for (size_t i = 0; i < status.size(); ++i) {
    lua_pushlstring(L, status[i].data(), status[i].size());
    lua_rawseti(L, -2, static_cast<int>(i + 1));
  }
  return {1};
}

template <class M>
int32_t nThread(M& mgr) {
  return mgr.nThread();
}

template <class M>
bool isCompleted(M& mgr, qxbind::QXInt id) {
  return mgr.isCompleted(id.value);
}

GetFileResult result(uint32_t id) { return {qxbind::QXInt{id}, id != 0}; }

template <class M>
GetFileResult getFile(M& mgr, std::u16string path, std::string url, bool overwrite) {
  return result(queueDownload(mgr, path, url, overwrite, nullptr));
}

template <class M>
GetFileResult getFileNtf(M& mgr, std::u16string path, std::string url, bool overwrite, qxbind::StackArg function) {
  if (!lua_isfunction(function.L, function.index)) {
    scriptDebugLog("getFile_ntf: the fourth argument is not a function");
    return result(0);
  }
  auto ref = std::make_shared<LStkRef>();
  if (!xmoveValueToThread(*ref, function.L, function.index)) return result(0);
  return result(queueDownload(mgr, path, url, overwrite, std::move(ref)));
}

const qxbind::ClassNotes kSockMgrNotes = {
    "A download manager: fetches URLs into files on its worker thread, SockMgr over plain HTTP and SSockMgr over "
    "TLS (whatever the URL's scheme says; its port, when given, is used).",
    {
        {"getThreadStatus", "", "table", "One line of text per worker thread saying what it does."},
        {"nThread", "", nullptr, "The number of worker threads."},
        {"getFile", "path, url, overwrite", nullptr,
         "Queues a download of the URL (http or https, at most 255 bytes) into the file of that name, made in the "
         "folder \"save\" beside the program when there is one, else beside it. Only a reply of any status below 400 "
         "(a redirect is not followed: its own body counts) with a body whose type is none of the form, JSON and text "
         "types is written. overwrite false: the file is made, empty, at once where no file of that name is yet (and "
         "removed again when it fails without a reply): when \"save\" holds one already, it is made beside the "
         "program instead and the download goes there; only when every place holds one is the call refused. The "
         "body goes to a new file \"path.XXXXXX.part\" beside it (X random), which replaces the file only once "
         "whole and is removed otherwise: a reply that is not written, or a write that fails part way, leaves the "
         "file as it was (overwrite true: an old file stays until a body came). A program killed while it writes "
         "can leave that file behind. No other file is opened (a \"path.part\" stays as it is). Gives the id and "
         "true, or 0 and false when refused (logged)."},
        {"getFile_ntf", "path, url, overwrite, function done", nullptr,
         "`getFile`, and when the download ends (written or not) calls done(id, ok, path) on a later frame: ok true "
         "when the file was written. An error in done is shown and logged; the program goes on."},
        {"isCompleted", "id", nullptr, "Whether the download is no longer waiting or running."},
    }};

template <class M>
void registerSockMgr(qxbind::ClassTable& t) {
  t.notes(kSockMgrNotes);
  t.method<&getThreadStatus<M>>("getThreadStatus");
  t.method<&nThread<M>>("nThread");
  t.method<&getFile<M>>("getFile");
  t.method<&getFileNtf<M>>("getFile_ntf");
  t.method<&isCompleted<M>>("isCompleted");
}

template <class M>
qxbind::ClassBinding binding(const char* name) {
  return qxbind::pointerBinding(qxbind::pointerClass<M>(name, &registerSockMgr<M>, M::instance()));
}

}  // namespace

qxbind::ClassBinding sockMgrBinding() { return binding<SockMgr>("SockMgr"); }
qxbind::ClassBinding sSockMgrBinding() { return binding<SSockMgr>("SSockMgr"); }
