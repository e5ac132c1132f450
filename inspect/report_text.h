// Pieces of hwid-inspect's reports shared by its commands.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace hwid::inspect {

// How a value is named in JSON and worded in text.
struct Wording {
  std::string_view name;
  std::string_view text;
};

// A volume serial: unsigned as the identifier holds it, signed as `hwid` prints it alone, and hex.

// "305419896 (signed 305419896, hex 0x12345678)"
std::string SerialDescription(std::uint32_t serial);

// The members "unsigned", "signed" and "hex" of a JSON object, without braces.
std::string SerialJsonFields(std::uint32_t serial);

}  // namespace hwid::inspect
