// What start-up hands to main: the argument vector, built the platform's own way.
#pragma once

#include <string>
#include <vector>

namespace hwid {

// argc and argv are what the C runtime passed to main. Where the platform gives the command line
// as one text, the vector is built from that text instead and argv[0] is the program file's path.
std::vector<std::string> ProgramArguments(int argc, const char* const* argv);

}  // namespace hwid
