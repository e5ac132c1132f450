// Linux stand-in only: modules are the executable and the shared objects the loader maps, in
// this process.

#include <dlfcn.h>
#include <unistd.h>

#include "platform/win32.h"

BOOL GetModuleHandleExA(DWORD dwFlags, LPCSTR lpModuleName, HMODULE* phModule) {
  if (phModule == nullptr || (dwFlags & GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS) == 0) {
    return FALSE;
  }
  *phModule = nullptr;
  Dl_info info{};
  if (dladdr(lpModuleName, &info) == 0) {
    return FALSE;
  }
  // RTLD_NOLOAD finds the mapped object without loading anything; RTLD_NODELETE pins it. The
  // handle is not closed, so a pinned object stays referenced as well.
  const int pin = (dwFlags & GET_MODULE_HANDLE_EX_FLAG_PIN) != 0 ? RTLD_NODELETE : 0;
  void* const handle = dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD | pin);
  if (handle == nullptr) {
    return FALSE;
  }
  *phModule = handle;
  return TRUE;
}

DWORD GetCurrentProcessId() { return static_cast<DWORD>(getpid()); }
