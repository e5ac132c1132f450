// The command line's three modes and what each prints.
#pragma once

#include <string>

#include "hwid/identifier.h"

namespace hwid {

// No argument: the volume serial, signed; exactly "oldtrial": the legacy layout; any other first
// argument: the current layout.
using Mode = Output;

// argc counts the program name; arguments after the first are ignored.
Mode ChooseMode(int argc, const char* const* argv);

// The complete output of one run in `mode`, read from this machine on the calling thread through
// the process-wide WMI service, as the program always has.
std::string ModeOutput(Mode mode);

}  // namespace hwid
