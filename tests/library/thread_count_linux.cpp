// Linux only: one entry per thread under /proc/self/task.

#include <filesystem>
#include <iterator>

#include "tests/library/thread_count.h"

namespace hwid::testing {

std::size_t ThreadCount() {
  return static_cast<std::size_t>(
      std::distance(std::filesystem::directory_iterator("/proc/self/task"),
                    std::filesystem::directory_iterator()));
}

}  // namespace hwid::testing
