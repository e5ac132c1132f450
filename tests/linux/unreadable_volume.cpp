// A machine whose volume cannot be read, for the bindings' and the examples' incomplete-reading
// tests without root: preloaded (LD_PRELOAD), it makes statfs of the root file system fail with
// an I/O error, as GetVolumeInformationA fails on Windows with ERROR_IO_DEVICE.

#include <sys/syscall.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

extern "C" int statfs(const char* path, struct statfs* info) noexcept {
  if (std::strcmp(path, "/") == 0) {
    errno = EIO;
    return -1;
  }
  return static_cast<int>(syscall(SYS_statfs, path, info));
}
