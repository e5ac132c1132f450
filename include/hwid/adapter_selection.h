// Which network adapter addresses make up the identifier of this machine. One address counts as
// it is; of several, only those of adapters owning a hardware resource (IRQ, device memory, I/O
// ports) count, or all of them when none owns one. Every fact comes from WMI; address texts are
// tab-joined lists. The functions read this machine on the library's thread, as those of
// hwid/identifier.h do, and answer as if WMI reported no adapter when it did not answer in time.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace hwid {

std::string AllAdapterAddresses();
std::string PhysicalAdapterAddresses();
std::string AdapterAddressText();

// Why the chosen addresses are the ones that count.
enum class SelectionRule {
  NoAddress,      // WMI reports no address (or cannot be reached)
  SingleAddress,  // exactly one address: it counts whatever the adapter is
  OwnsResource,   // several: only adapters owning a hardware resource count
  AllAddresses,   // several, none owning a hardware resource: all count
};

struct AdapterSelection {
  SelectionRule rule = SelectionRule::NoAddress;
  std::string addressText;  // what AdapterAddressText() returns
};

// The selection AdapterAddressText() makes, with the rule that made it.
AdapterSelection SelectAdapterAddresses();

// One adapter configuration as WMI reports it, for explaining a selection.
struct AdapterConfiguration {
  std::string index;                         // Index of the configuration, DeviceID of the adapter
  std::string address;                       // MACAddress of the adapter
  std::vector<std::string> resourceClasses;  // associated classes naming a hardware resource
};

// Every configuration with an address, in WMI's order.
std::vector<AdapterConfiguration> AdapterConfigurations();

}  // namespace hwid
