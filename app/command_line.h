// How start-up turns a command line given as one text into the argument vector, where the
// platform hands the program its command line that way.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace hwid {

// Whether a byte is the lead byte of a double-byte character in the ANSI code page.
using LeadBytePredicate = bool (*)(char byte);

// argv[0] is programPath; the command line's own first token (the program name) is skipped.
// Quotes toggle quoting and are dropped, backslash-quote is a literal quote, other backslashes are
// ordinary, "" is an empty argument, a lead byte takes the next byte with it, no wildcards.
std::vector<std::string> SplitCommandLine(std::string_view commandLine,
                                          std::string_view programPath,
                                          LeadBytePredicate isLeadByte);

}  // namespace hwid
