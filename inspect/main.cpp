#include <cstdio>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "inspect/inspector.h"

namespace {

std::string ReadStandardInput() {
  std::string text;
  char buffer[4096];
  std::size_t read = 0;
  while ((read = std::fread(buffer, 1, sizeof buffer, stdin)) > 0) {
    text.append(buffer, read);
  }
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> arguments =
      hwid::ProgramArguments(argc, argv, hwid::ProgramCommandLine());
  // Past the program's own path.
  const std::vector<std::string_view> commandArguments(
      // cppcheck-suppress containerOutOfBounds ; begin() + 0 of an empty vector is its end
      arguments.begin() + (arguments.empty() ? 0 : 1), arguments.end());
  const hwid::inspect::Output output = hwid::inspect::Run(commandArguments, ReadStandardInput);
  // The status carries the result; a failed write to a closed stream has nowhere to be reported.
  static_cast<void>(std::fwrite(output.out.data(), 1, output.out.size(), stdout));
  static_cast<void>(std::fwrite(output.err.data(), 1, output.err.size(), stderr));
  return output.status;
}
