// Linux only: one entry per thread under /proc/self/task.

#include <filesystem>

#include "tests/library/thread_count.h"

namespace hwid::testing {

std::size_t ThreadCount() {
  std::size_t threads = 0;
  for ([[maybe_unused]] const auto& task :
       std::filesystem::directory_iterator("/proc/self/task")) {
    ++threads;
  }
  return threads;
}

}  // namespace hwid::testing
