// Linux stand-in only: the last error, one per thread as on Windows.

#include "platform/win32.h"

namespace {

thread_local DWORD lastError = 0;

}  // namespace

DWORD GetLastError() { return lastError; }

void SetLastError(DWORD dwErrCode) { lastError = dwErrCode; }
