#include "app/modes.h"

#include <cstring>

#include "hwid/identifier.h"

namespace hwid {

Mode ChooseMode(int argc, const char* const* argv) {
  if (argc <= 1) {
    return Mode::BareSerial;
  }
  return std::strcmp(argv[1], "oldtrial") == 0 ? Mode::LegacyIdentifier : Mode::CurrentIdentifier;
}

std::string ModeOutput(Mode mode) {
  switch (mode) {
    case Mode::BareSerial:
      return BareSerialText();
    case Mode::LegacyIdentifier:
      return ComposeLegacyIdentifier();
    case Mode::CurrentIdentifier:
      return ComposeCurrentIdentifier();
  }
  return {};
}

}  // namespace hwid
