#include "hwid/fault.h"

#include <array>
#include <cstdio>

namespace hwid {
namespace {

struct CodeWords {
  std::uint32_t code;
  std::string_view words;
};

// The codes COM, WMI and the volume call answer in the field, in the system's own words. One table
// on every platform, so a fault reads the same wherever it was met, and the Linux stand-in answers
// with these same codes.
constexpr std::array kComCodes = {
    CodeWords{0x80004002, "no such interface supported"},
    CodeWords{0x80004003, "invalid pointer"},
    CodeWords{0x80004005, "unspecified error"},
    CodeWords{0x80010001, "call was rejected by callee"},
    CodeWords{0x80010106, "cannot change thread mode after it is set"},
    CodeWords{0x80010108, "the object invoked has disconnected from its clients"},
    CodeWords{0x80010119, "security must be initialized before any interfaces are marshalled"},
    CodeWords{0x80040154, "class not registered"},
    CodeWords{0x800401F0, "CoInitialize has not been called"},
    CodeWords{0x80041001, "generic failure"},
    CodeWords{0x80041002, "not found"},
    CodeWords{0x80041003, "access denied"},
    CodeWords{0x80041004, "provider failure"},
    CodeWords{0x80041006, "out of memory"},
    CodeWords{0x80041008, "invalid parameter"},
    CodeWords{0x8004100A, "critical error"},
    CodeWords{0x8004100C, "not supported"},
    CodeWords{0x8004100E, "invalid namespace"},
    CodeWords{0x80041010, "invalid class"},
    CodeWords{0x80041013, "provider load failure"},
    CodeWords{0x80041014, "initialization failure"},
    CodeWords{0x80041015, "transport failure"},
    CodeWords{0x80041017, "invalid query"},
    CodeWords{0x80041018, "invalid query type"},
    CodeWords{0x80041032, "call cancelled"},
    CodeWords{0x80041033, "shutting down"},
    CodeWords{0x8004106C, "quota violation"},
    CodeWords{0x80070005, "access denied"},
    CodeWords{0x8007000E, "not enough memory"},
    CodeWords{0x80070057, "the parameter is incorrect"},
    CodeWords{0x80070422, "the service cannot be started because it is disabled"},
    CodeWords{0x8007045B, "a system shutdown is in progress"},
    CodeWords{0x800706BA, "the RPC server is unavailable"},
    CodeWords{0x800706BE, "the remote procedure call failed"},
};

constexpr std::array kSystemErrors = {
    CodeWords{1, "incorrect function"},
    CodeWords{2, "the system cannot find the file specified"},
    CodeWords{3, "the system cannot find the path specified"},
    CodeWords{5, "access is denied"},
    CodeWords{15, "the system cannot find the drive specified"},
    CodeWords{21, "the device is not ready"},
    CodeWords{24, "the program issued a command but the command length is incorrect"},
    CodeWords{31, "a device attached to the system is not functioning"},
    CodeWords{87, "the parameter is incorrect"},
    CodeWords{1005, "the volume does not contain a recognized file system"},
    CodeWords{1117, "the request could not be performed because of an I/O device error"},
};

template <std::size_t Size>
std::string_view Lookup(const std::array<CodeWords, Size>& table, std::uint32_t code) {
  for (const CodeWords& entry : table) {
    if (entry.code == code) {
      return entry.words;
    }
  }
  return {};
}

// What could not be done, as support staff would put it.
std::string Consequence(const Fault& fault) {
  if (fault.stage == FaultStage::VolumeInformation) {
    return "the volume serial number could not be read";
  }
  if (IsConnectionStage(fault.stage)) {
    return "WMI could not be reached";
  }
  if (!fault.adapter.empty()) {
    return "adapter " + fault.adapter + " could not be read";
  }
  return fault.stage == FaultStage::NextObject ? "a WMI query stopped early" : "a WMI query failed";
}

}  // namespace

std::string_view FaultCall(FaultStage stage) {
  switch (stage) {
    case FaultStage::ComInitialize:
      return "CoInitializeEx";
    case FaultStage::ComSecurity:
      return "CoInitializeSecurity";
    case FaultStage::CreateLocator:
      return "CoCreateInstance";
    case FaultStage::ConnectServer:
      return "ConnectServer";
    case FaultStage::ProxyBlanket:
      return "CoSetProxyBlanket";
    case FaultStage::ExecQuery:
      return "ExecQuery";
    case FaultStage::NextObject:
      return "Next";
    case FaultStage::GetProperty:
      return "Get";
    case FaultStage::VolumeInformation:
      return "GetVolumeInformationA";
  }
  return "unknown call";
}

bool IsConnectionStage(FaultStage stage) {
  switch (stage) {
    case FaultStage::ComInitialize:
    case FaultStage::ComSecurity:
    case FaultStage::CreateLocator:
    case FaultStage::ConnectServer:
    case FaultStage::ProxyBlanket:
      return true;
    case FaultStage::ExecQuery:
    case FaultStage::NextObject:
    case FaultStage::GetProperty:
    case FaultStage::VolumeInformation:
      break;
  }
  return false;
}

std::string_view FaultMessage(const Fault& fault) {
  return fault.stage == FaultStage::VolumeInformation ? Lookup(kSystemErrors, fault.code)
                                                      : Lookup(kComCodes, fault.code);
}

std::string FaultCode(const Fault& fault) {
  if (fault.stage == FaultStage::VolumeInformation) {
    return "error " + std::to_string(fault.code);
  }
  std::array<char, 11> hex{};
  static_cast<void>(std::snprintf(hex.data(), hex.size(), "0x%08X", fault.code));
  return hex.data();
}

std::string FaultText(const Fault& fault) {
  std::string text = Consequence(fault);
  text += ": ";
  text += FaultCall(fault.stage);
  if (fault.stage == FaultStage::GetProperty) {
    text += " of ";
    text += fault.property;
  }
  text += " failed with ";
  text += FaultCode(fault);
  if (const std::string_view message = FaultMessage(fault); !message.empty()) {
    text += ", ";
    text += message;
  }
  if (!fault.query.empty()) {
    text += "; query: ";
    text += fault.query;
  }
  return text;
}

}  // namespace hwid
