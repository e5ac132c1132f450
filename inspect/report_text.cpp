#include "inspect/report_text.h"

#include <cstdio>

#include "hwid/identifier.h"

namespace hwid::inspect {
namespace {

std::string HexText(std::uint32_t serial) {
  char hex[11];
  // Sized for the text: the length returned says nothing new.
  static_cast<void>(std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(serial)));
  return hex;
}

}  // namespace

std::string SerialDescription(std::uint32_t serial) {
  return std::to_string(serial) + " (signed " + SignedSerialText(serial) + ", hex " +
         HexText(serial) + ")";
}

std::string SerialJsonFields(std::uint32_t serial) {
  return "\"unsigned\":" + std::to_string(serial) + ",\"signed\":" + SignedSerialText(serial) +
         ",\"hex\":\"" + HexText(serial) + "\"";
}

}  // namespace hwid::inspect
