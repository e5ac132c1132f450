// Windows only: the threads a Toolhelp snapshot lists for this process.

#include <system_error>

#include "platform/win32.h"
#include "tests/library/thread_count.h"

// After <windows.h>, which it needs.
#include <tlhelp32.h>

namespace hwid::testing {

std::size_t ThreadCount() {
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) {
    throw std::system_error(static_cast<int>(GetLastError()), std::system_category(),
                            "CreateToolhelp32Snapshot");
  }
  std::size_t threads = 0;
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Thread32First(snapshot, &entry); more != FALSE;
       more = Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID == GetCurrentProcessId()) {
      ++threads;
    }
  }
  CloseHandle(snapshot);
  return threads;
}

}  // namespace hwid::testing
