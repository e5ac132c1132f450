// A host that loads libhwid.so, reads the machine through it and unloads it again: the library's
// thread is still running, so the library must stay mapped (the reading pins it). Exits 0 when it
// does.

#include <dlfcn.h>

#include <cstdio>

#include "hwid/hwid.h"

// Leak checking at exit cannot follow a thread whose library was unloaded by the host (it reads
// the library's stale thread-local storage), so it is off for this host alone.
// NOLINTNEXTLINE(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp): the sanitizer's name
extern "C" int __lsan_is_turned_off() { return 1; }

int main() {
  void* library = dlopen(HWID_SHARED_LIBRARY, RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    static_cast<void>(
        std::fprintf(stderr, "FAIL: cannot load %s: %s\n", HWID_SHARED_LIBRARY, dlerror()));
    return 1;
  }
  using Identifier = hwid_status (*)(hwid_layout, char*, std::size_t, std::size_t*);
  auto identifier = reinterpret_cast<Identifier>(dlsym(library, "hwid_identifier"));
  char buffer[1024];
  std::size_t needed = 0;
  const bool read = identifier != nullptr && identifier(HWID_LAYOUT_CURRENT, buffer, sizeof buffer,
                                                        &needed) == HWID_STATUS_OK;
  dlclose(library);
  if (!read) {
    static_cast<void>(std::fprintf(stderr, "FAIL: hwid_identifier\n"));
    return 1;
  }
  // Still mapped: found without loading it again.
  library = dlopen(HWID_SHARED_LIBRARY, RTLD_NOW | RTLD_NOLOAD);
  if (library == nullptr) {
    static_cast<void>(std::fprintf(stderr, "FAIL: unloaded while its thread runs\n"));
    return 1;
  }
  dlclose(library);
  return 0;
}
