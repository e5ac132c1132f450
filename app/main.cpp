#include <cstdio>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/modes.h"

int main(int argc, char** argv) {
  const std::vector<std::string> arguments =
      hwid::ProgramArguments(argc, argv, hwid::ProgramCommandLine());
  std::vector<const char*> argumentPointers;
  argumentPointers.reserve(arguments.size());
  for (const std::string& argument : arguments) {
    argumentPointers.push_back(argument.c_str());
  }
  const hwid::Mode mode =
      hwid::ChooseMode(static_cast<int>(argumentPointers.size()), argumentPointers.data());
  // The only output: no line break, no message, and status 0 whatever happened below, a failed
  // write included, since there is nowhere left to report it.
  static_cast<void>(std::fputs(hwid::ModeOutput(mode).c_str(), stdout));
  return 0;
}
