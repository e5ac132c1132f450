// The command line's three modes and what each prints.
#pragma once

#include <string>

#include "hwid/identifier.h"

namespace hwid {

enum class Mode {
  BareSerial,         // no argument: the volume serial, signed
  LegacyIdentifier,   // exactly "oldtrial"
  CurrentIdentifier,  // any other first argument
};

// argc counts the program name; arguments after the first are ignored.
Mode ChooseMode(int argc, const char* const* argv);

// The complete output of one run in `mode`, read from this machine.
std::string ModeOutput(Mode mode);

}  // namespace hwid
