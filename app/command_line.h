// How start-up builds the argument vector, splitting the command line where the platform hands
// it over as one text.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/process.h"

namespace hwid {

// Whether a byte is the lead byte of a double-byte character in the ANSI code page.
using LeadBytePredicate = bool (*)(char byte);

// argv[0] is programPath; the command line's own first token (the program name) is skipped.
// Quotes toggle quoting and are dropped, backslash-quote is a literal quote, other backslashes are
// ordinary, "" is an empty argument, a lead byte takes the next byte with it, no wildcards.
std::vector<std::string> SplitCommandLine(std::string_view commandLine,
                                          std::string_view programPath,
                                          LeadBytePredicate isLeadByte);

// argc and argv are what the C runtime passed to main, commandLine what the platform gave
// (ProgramCommandLine()). Given a text, the vector is that text split with the ANSI code page's
// lead bytes, argv[0] being the program file's path; otherwise it is argv as it came.
std::vector<std::string> ProgramArguments(int argc, const char* const* argv,
                                          const std::optional<CommandLineText>& commandLine);

}  // namespace hwid
