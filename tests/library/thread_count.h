// How many threads this process has, as the operating system counts them: the library's own
// included, whatever it believes it holds. Throws when the system cannot say.
#pragma once

#include <cstddef>

namespace hwid::testing {

std::size_t ThreadCount();

}  // namespace hwid::testing
