#include "identifier/adapter_selection.h"

#include <algorithm>
#include <array>
#include <climits>

#include "Wmioperationsunit/ansi_text.h"
#include "platform/win32.h"

namespace hwid {
namespace {

constexpr std::array<std::string_view, 3> kResourceClassMarkers = {
    "win32_irqresource", "win32_devicememoryaddress", "win32_portresource"};

void RemoveTabs(std::string& text) { std::erase(text, '\t'); }

std::string AssociatedClassNames(TWMIOperations& wmi, std::string_view index) {
  const auto scope = wmi.AboutAdapter(index);
  return NarrowText(wmi.QueryClassNames(WideText(AssociatedClassesQuery(index))));
}

std::string AdapterAddress(TWMIOperations& wmi, std::string_view index) {
  const auto scope = wmi.AboutAdapter(index);
  return QueryProperty(wmi, AdapterAddressQuery(index), "MACAddress");
}

}  // namespace

std::string AssociatedClassesQuery(std::string_view index) {
  std::string query = "associators of {Win32_NetworkAdapter.DeviceID='";
  query += index;
  query += "'} WHERE ClassDefsOnly";
  return query;
}

std::string AdapterAddressQuery(std::string_view index) {
  std::string query = "select * from win32_networkadapter where DeviceID='";
  query += index;
  query += "'";
  return query;
}

std::string QueryProperty(TWMIOperations& wmi, std::string_view query, std::string_view property) {
  return NarrowText(wmi.QueryPropertyText(WideText(query), WideText(property)));
}

std::vector<std::string> SplitIndexList(std::string_view indexes) {
  std::vector<std::string> list;
  std::size_t position = 0;
  while (position < indexes.size()) {
    position = std::min(indexes.find_first_not_of("\r\n", position), indexes.size());
    const std::size_t end = std::min(indexes.find_first_of("\t\r\n", position), indexes.size());
    if (end > position) {
      list.emplace_back(indexes.substr(position, end - position));
    }
    position = end + 1;
  }
  return list;
}

bool NamesHardwareResource(std::string classNames) {
  if (!classNames.empty()) {
    CharLowerBuffA(classNames.data(),
                   static_cast<DWORD>(std::min<std::size_t>(classNames.size(), UINT_MAX)));
  }
  return std::any_of(kResourceClassMarkers.begin(), kResourceClassMarkers.end(),
                     [&classNames](std::string_view marker) {
                       return classNames.find(marker) != std::string::npos;
                     });
}

std::vector<std::string> ResourceClassNames(std::string_view classNames) {
  std::vector<std::string> names = SplitIndexList(classNames);
  std::erase_if(names, [](const std::string& name) { return !NamesHardwareResource(name); });
  return names;
}

std::string AllAdapterAddresses(TWMIOperations& wmi) {
  return QueryProperty(wmi, kAllAddressesQuery, "MACAddress");
}

std::string PhysicalAdapterAddresses(TWMIOperations& wmi) {
  std::vector<std::string> physicalIndexes;
  for (std::string& index : SplitIndexList(QueryProperty(wmi, kIndexesQuery, "Index"))) {
    if (NamesHardwareResource(AssociatedClassNames(wmi, index))) {
      physicalIndexes.push_back(std::move(index));
    }
  }
  std::string result;
  for (const std::string& index : physicalIndexes) {
    std::string address = AdapterAddress(wmi, index);
    RemoveTabs(address);
    if (!address.empty()) {
      result += address;
      result += '\t';
    }
  }
  if (!result.empty() && result.back() == '\t') {
    result.pop_back();
  }
  return result;
}

AdapterSelection SelectAdapterAddresses(TWMIOperations& wmi) {
  std::string all = AllAdapterAddresses(wmi);
  if (!all.empty() && all.find('\t') == std::string::npos) {
    return {SelectionRule::SingleAddress, std::move(all)};
  }
  std::string physical = PhysicalAdapterAddresses(wmi);
  if (!physical.empty()) {
    return {SelectionRule::OwnsResource, std::move(physical)};
  }
  return {all.empty() ? SelectionRule::NoAddress : SelectionRule::AllAddresses, std::move(all)};
}

std::string AdapterAddressText(TWMIOperations& wmi) {
  return SelectAdapterAddresses(wmi).addressText;
}

std::vector<AdapterConfiguration> AdapterConfigurations(TWMIOperations& wmi) {
  std::vector<AdapterConfiguration> configurations;
  for (std::string& index : SplitIndexList(QueryProperty(wmi, kIndexesQuery, "Index"))) {
    AdapterConfiguration configuration;
    configuration.address = AdapterAddress(wmi, index);
    configuration.resourceClasses = ResourceClassNames(AssociatedClassNames(wmi, index));
    configuration.index = std::move(index);
    configurations.push_back(std::move(configuration));
  }
  return configurations;
}

}  // namespace hwid
