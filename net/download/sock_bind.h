// The socket managers as the script classes "SockMgr" (plain) and "SSockMgr" (TLS):
// getThreadStatus, nThread, getFile, getFile_ntf and isCompleted, called on the class.
#pragma once
#include "script/bind/class_binding.h"

qxbind::ClassBinding sockMgrBinding();
qxbind::ClassBinding sSockMgrBinding();
