// A machine that never answers, for the bindings' time-limit tests: preloaded into Python or
// Mono (LD_PRELOAD), it makes statfs of the root file system, the library's first reading, block
// for ever, as a broken WMI repository makes a query block on Windows.

#include <sys/syscall.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cstring>

extern "C" int statfs(const char* path, struct statfs* info) noexcept {
  if (std::strcmp(path, "/") == 0) {
    for (;;) {
      pause();
    }
  }
  return static_cast<int>(syscall(SYS_statfs, path, info));
}
