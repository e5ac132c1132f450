// How hwid-inspect shows a volume serial: unsigned as the identifier holds it, signed as `hwid`
// prints it alone, and hex.
#pragma once

#include <cstdint>
#include <string>

namespace hwid::inspect {

// "305419896 (signed 305419896, hex 0x12345678)"
std::string SerialDescription(std::uint32_t serial);

// The members "unsigned", "signed" and "hex" of a JSON object, without braces.
std::string SerialJsonFields(std::uint32_t serial);

}  // namespace hwid::inspect
