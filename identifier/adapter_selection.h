// Which network adapter addresses make up the identifier. One address counts as it is; of several,
// only those of adapters owning a hardware resource (IRQ, device memory, I/O ports) count, or all
// of them when none owns one. Every fact comes from WMI; results are tab-joined lists.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "Wmioperationsunit/wmi_operations.h"

namespace hwid {

// The fixed WQL texts.
inline constexpr std::string_view kAllAddressesQuery =
    "select * from Win32_NetworkAdapterConfiguration WHERE MACAddress<>null";
inline constexpr std::string_view kIndexesQuery =
    "select * from Win32_NetworkAdapterConfiguration where MACAddress<>null";
std::string AssociatedClassesQuery(std::string_view index);
std::string AdapterAddressQuery(std::string_view index);

// A property's values for a query, as narrow text.
std::string QueryProperty(TWMIOperations& wmi, std::string_view query, std::string_view property);

// Index texts of a tab-joined list, CR and LF tolerated, empty pieces dropped.
std::vector<std::string> SplitIndexList(std::string_view indexes);

// Whether associated class names name a hardware resource, in any letter case.
bool NamesHardwareResource(std::string classNames);

std::string AllAdapterAddresses(TWMIOperations& wmi);
std::string PhysicalAdapterAddresses(TWMIOperations& wmi);
std::string AdapterAddressText(TWMIOperations& wmi);

// The same, through the process-wide WMI service.
std::string AllAdapterAddresses();
std::string PhysicalAdapterAddresses();
std::string AdapterAddressText();

}  // namespace hwid
