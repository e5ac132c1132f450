// What failed while the machine was read. A failed call never changes what `hwid` prints (an
// unreachable WMI gives no addresses, an unreadable volume the serial 0), so a reading records
// each failing call beside its text: a caller that must not take a degraded identifier for a
// good one checks the faults, and support staff read them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace hwid {

// The call that failed.
enum class FaultStage {
  ComInitialize,      // CoInitializeEx
  ComSecurity,        // CoInitializeSecurity
  CreateLocator,      // CoCreateInstance of WMI's locator
  ConnectServer,      // IWbemLocator::ConnectServer to ROOT\CIMV2
  ProxyBlanket,       // CoSetProxyBlanket on the connection
  ExecQuery,          // IWbemServices::ExecQuery
  NextObject,         // IEnumWbemClassObject::Next failed rather than ending the enumeration
  GetProperty,        // IWbemClassObject::Get of a property every result object has
  VolumeInformation,  // GetVolumeInformationA for "C:\"
};

struct Fault {
  FaultStage stage = FaultStage::ComInitialize;
  // The HRESULT; for VolumeInformation the system error code (GetLastError).
  std::uint32_t code = 0;
  std::string query;     // ExecQuery, NextObject, GetProperty: the WQL text
  std::string property;  // GetProperty: the property
  std::string adapter;   // the index of the adapter the query was about, if it was about one

  friend bool operator==(const Fault&, const Fault&) = default;
};

// The name of the failing call: "CoInitializeEx", ..., "Next", "Get", "GetVolumeInformationA".
std::string_view FaultCall(FaultStage stage);

// Whether the stage is part of reaching WMI at all, rather than of one query.
bool IsConnectionStage(FaultStage stage);

// The system's words for the fault's code, such as "access denied"; empty for a code it does not
// know.
std::string_view FaultMessage(const Fault& fault);

// The code as the system writes it: "0x80041003", or "error 21" for the volume.
std::string FaultCode(const Fault& fault);

// One line for a person: "WMI could not be reached: ConnectServer failed with 0x80041003,
// access denied".
std::string FaultText(const Fault& fault);

}  // namespace hwid
