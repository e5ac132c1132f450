// Linux stand-in only: the process receives its arguments already split.

#include "platform/process.h"

namespace hwid {

std::optional<CommandLineText> ProgramCommandLine() { return std::nullopt; }

}  // namespace hwid
