// What start-up takes from the platform: the command line, where the platform hands it over as
// one text rather than as the C runtime's vector.
#pragma once

#include <optional>
#include <string>

namespace hwid {

struct CommandLineText {
  std::string text;         // the whole line, the program name first, as the process received it
  std::string programPath;  // the program file's path, which stands in for that name
};

// Windows hands a program its command line as one text; std::nullopt where the argv the C runtime
// passes to main is the platform's own.
std::optional<CommandLineText> ProgramCommandLine();

}  // namespace hwid
