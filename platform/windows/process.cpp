// Windows only: the real system calls behind the platform interfaces, kept thin.

#include "platform/process.h"

#include "platform/win32.h"

// The C runtime's argument vector goes unused, so it must not spend file-system reads expanding
// wildcards in it (mingw-w64 reads this switch; other runtimes never expand).
extern "C" {
int _dowildcard = 0;
}

namespace hwid {
namespace {

// Paths on Windows are at most 32767 characters long.
constexpr std::size_t kMaxPathLength = 32768;

std::string ProgramFilePath() {
  std::string path(MAX_PATH, '\0');
  for (;;) {
    const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    // A full buffer means the path was cut short.
    if (length < path.size() || path.size() >= kMaxPathLength) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

}  // namespace

std::optional<CommandLineText> ProgramCommandLine() {
  return CommandLineText{GetCommandLineA(), ProgramFilePath()};
}

}  // namespace hwid
