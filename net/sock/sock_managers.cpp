#include "net/sock/sock_managers.h"

#include <memory>

#include "net/sock/sth_mgr.h"

namespace {

std::unique_ptr<SockMgr> gPlain;
std::unique_ptr<SSockMgr> gTls;

}  // namespace

void createSockManagers() {
  if (!gPlain) gPlain = std::make_unique<SockMgr>();
  if (!gTls) gTls = std::make_unique<SSockMgr>();
}

void destroySockManagers() {
  gTls.reset();
  gPlain.reset();
}
