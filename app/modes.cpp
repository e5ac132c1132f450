#include "app/modes.h"

#include <cstring>

#include "identifier/identifier.h"

namespace hwid {

Mode ChooseMode(int argc, const char* const* argv) {
  if (argc <= 1) {
    return Mode::BareSerial;
  }
  return std::strcmp(argv[1], "oldtrial") == 0 ? Mode::LegacyIdentifier : Mode::CurrentIdentifier;
}

std::string SignedSerialText(std::optional<std::uint32_t> serial) {
  return std::to_string(static_cast<std::int32_t>(serial.value_or(0)));
}

std::string ModeOutput(Mode mode) {
  switch (mode) {
    case Mode::BareSerial:
      return SignedSerialText(VolumeSerialNumber());
    case Mode::LegacyIdentifier:
      return ComposeLegacyIdentifier();
    case Mode::CurrentIdentifier:
      return ComposeCurrentIdentifier();
  }
  return {};
}

}  // namespace hwid
