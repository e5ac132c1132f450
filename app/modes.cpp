#include "app/modes.h"

#include <cstring>

#include "Wmioperationsunit/wmi_operations.h"
#include "identifier/identifier.h"

namespace hwid {

Mode ChooseMode(int argc, const char* const* argv) {
  if (argc <= 1) {
    return Mode::BareSerial;
  }
  return std::strcmp(argv[1], "oldtrial") == 0 ? Mode::LegacyIdentifier : Mode::CurrentIdentifier;
}

std::string ModeOutput(Mode mode) { return OutputText(mode, GetWMIOperations()); }

}  // namespace hwid
