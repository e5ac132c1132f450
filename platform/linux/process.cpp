// Linux stand-in only: the process receives its arguments already split.

#include "platform/process.h"

namespace hwid {

std::vector<std::string> ProgramArguments(int argc, const char* const* argv) {
  return {argv, argv + argc};
}

}  // namespace hwid
