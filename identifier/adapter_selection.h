// The adapter selection on a given WMI query service, and its steps; the functions the library
// offers, run on its own thread, are in hwid/adapter_selection.h.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "Wmioperationsunit/wmi_operations.h"
#include "hwid/adapter_selection.h"

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

// The names of a tab-joined class list that name a hardware resource, as reported.
std::vector<std::string> ResourceClassNames(std::string_view classNames);

std::string AllAdapterAddresses(TWMIOperations& wmi);
std::string PhysicalAdapterAddresses(TWMIOperations& wmi);
std::string AdapterAddressText(TWMIOperations& wmi);
AdapterSelection SelectAdapterAddresses(TWMIOperations& wmi);
std::vector<AdapterConfiguration> AdapterConfigurations(TWMIOperations& wmi);

}  // namespace hwid
