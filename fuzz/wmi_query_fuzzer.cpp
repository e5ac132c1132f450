// The Linux WMI provider's query parsing: any query text (narrow, converted as the tool converts
// its queries) against a small sysfs tree made at start-up. A query is either refused as invalid
// or has one of the shapes the tool sends, and its answer enumerates to the tree's facts.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Wmioperationsunit/ansi_text.h"
#include "fuzz/fuzz_check.h"
#include "identifier/adapter_selection.h"
#include "platform/com.h"
#include "platform/linux/sysfs_wmi.h"

namespace {

namespace fs = std::filesystem;
using hwid::fuzz::Check;

// More objects than any answer from the tree holds: an enumeration that goes on is broken.
constexpr int kObjectLimit = 16;

// The kinds of resource an adapter owns, in the order the provider lists them.
constexpr std::array<std::wstring_view, 3> kResourceClasses = {
    L"Win32_IRQResource", L"Win32_DeviceMemoryAddress", L"Win32_PortResource"};

struct FixtureAdapter {
  std::wstring_view deviceId;
  std::wstring_view macAddress;
  LONG index;
  std::size_t resourceCount;  // the first this many of kResourceClasses
};

// What the tree made below holds, in index order; the loopback device is not an adapter.
constexpr std::array<FixtureAdapter, 3> kAdapters = {{
    {L"2", L"52:54:00:12:34:56", 2, 3},
    {L"3", L"52:54:00:AB:CD:EF", 3, 2},
    {L"4", L"02:42:AC:11:00:02", 4, 0},
}};

fs::path fixtureRoot;

void WriteFile(const fs::path& file, std::string_view text) {
  fs::create_directories(file.parent_path());
  std::ofstream(file) << text;
}

// A PCI function with legacy interrupt, memory and I/O ranges; a virtio device on a PCI function
// with MSI interrupts and memory only (and one damaged flags column); a bridge without device; the
// loopback.
void MakeSysfsTree(const fs::path& root) {
  const fs::path net = root / "class" / "net";
  const fs::path nic = root / "devices" / "pci0000:00" / "0000:00:03.0";
  const fs::path virtioParent = root / "devices" / "pci0000:00" / "0000:00:04.0";
  const fs::path virtio = virtioParent / "virtio1";

  WriteFile(net / "lo" / "type", "772\n");
  WriteFile(net / "lo" / "ifindex", "1\n");
  WriteFile(net / "lo" / "address", "00:00:00:00:00:00\n");

  WriteFile(net / "eth0" / "type", "1\n");
  WriteFile(net / "eth0" / "ifindex", "2\n");
  WriteFile(net / "eth0" / "address", "52:54:00:12:34:56\n");
  WriteFile(nic / "irq", "11\n");
  WriteFile(nic / "resource",
            "0x00000000febc0000 0x00000000febdffff 0x0000000000040200\n"
            "0x000000000000c000 0x000000000000c03f 0x0000000000040101\n"
            "0x0000000000000000 0x0000000000000000 0x0000000000000000\n");
  fs::create_directory_symlink(nic, net / "eth0" / "device");
  // Resources are read by bus, as the kernel names it in each device's subsystem link.
  fs::create_directories(root / "bus" / "pci");
  fs::create_directory_symlink(root / "bus" / "pci", nic / "subsystem");

  WriteFile(net / "eth1" / "type", "1\n");
  WriteFile(net / "eth1" / "ifindex", "3\n");
  WriteFile(net / "eth1" / "address", "52:54:00:ab:cd:ef\n");
  WriteFile(virtioParent / "irq", "0\n");
  WriteFile(virtioParent / "msi_irqs" / "25", "msix\n");
  // The last region's flags are not hexadecimal: a damaged tree must not stop the provider.
  WriteFile(virtioParent / "resource",
            "0x00000000fe000000 0x00000000fe003fff 0x000000000014220c\n"
            "0x0000000000000000 0x0000000000000000 zz\n");
  fs::create_directory_symlink(root / "bus" / "pci", virtioParent / "subsystem");
  fs::create_directories(root / "bus" / "virtio");
  fs::create_directories(virtio);
  fs::create_directory_symlink(root / "bus" / "virtio", virtio / "subsystem");
  fs::create_directory_symlink(virtio, net / "eth1" / "device");

  WriteFile(net / "virbr0" / "type", "1\n");
  WriteFile(net / "virbr0" / "ifindex", "4\n");
  WriteFile(net / "virbr0" / "address", "02:42:ac:11:00:02\n");
}

void RemoveSysfsTree() {
  std::error_code ignored;
  fs::remove_all(fixtureRoot, ignored);
}

// The query with white space dropped and ASCII letters lower-cased outside quoted strings, each
// quoted string replaced by "?" and its content kept. Made without the provider's tokenizer: a
// query the provider accepts must reduce to the reduction of one the tool sends.
struct ReducedQuery {
  std::wstring shape;
  std::vector<std::wstring> quoted;
};

std::optional<ReducedQuery> Reduce(std::wstring_view query) {
  ReducedQuery reduced;
  for (std::size_t i = 0; i < query.size(); ++i) {
    const wchar_t c = query[i];
    if (c == L'\'' || c == L'"') {
      const std::size_t close = query.find(c, i + 1);
      if (close == std::wstring_view::npos) {
        return std::nullopt;
      }
      reduced.quoted.emplace_back(query.substr(i + 1, close - i - 1));
      reduced.shape += L'?';
      i = close;
    } else if (c == L' ' || (c >= L'\t' && c <= L'\r')) {
      continue;
    } else {
      reduced.shape += c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
    }
  }
  return reduced;
}

constexpr std::wstring_view kAllConfigurationsShape =
    L"select*fromwin32_networkadapterconfigurationwheremacaddress<>null";
constexpr std::wstring_view kAssociatorsShape =
    L"associatorsof{win32_networkadapter.deviceid=?}whereclassdefsonly";
constexpr std::wstring_view kAdapterShape = L"select*fromwin32_networkadapterwheredeviceid=?";

const FixtureAdapter* FindAdapter(std::wstring_view deviceId) {
  for (const FixtureAdapter& adapter : kAdapters) {
    if (adapter.deviceId == deviceId) {
      return &adapter;
    }
  }
  return nullptr;
}

std::wstring BstrProperty(IWbemClassObject& object, const wchar_t* name) {
  hwid::unique_variant value;
  const HRESULT status = object.Get(name, 0, value.put(), nullptr, nullptr);
  Check(SUCCEEDED(status), "every object has the properties of its class");
  Check(value.get().vt == VT_BSTR && value.get().bstrVal != nullptr, "text properties are BSTRs");
  return {value.get().bstrVal, SysStringLen(value.get().bstrVal)};
}

LONG NumberProperty(IWbemClassObject& object, const wchar_t* name) {
  hwid::unique_variant value;
  Check(SUCCEEDED(object.Get(name, 0, value.put(), nullptr, nullptr)) && value.get().vt == VT_I4,
        "Index is a VT_I4");
  return value.get().lVal;
}

// Every object the enumerator hands out, one at a time, then a second end to show it stays ended.
std::vector<hwid::com_ptr<IWbemClassObject>> EnumerateAll(IEnumWbemClassObject& enumerator) {
  std::vector<hwid::com_ptr<IWbemClassObject>> objects;
  for (;;) {
    hwid::com_ptr<IWbemClassObject> object;
    ULONG returned = 0;
    const HRESULT status = enumerator.Next(WBEM_INFINITE, 1, object.put(), &returned);
    if (returned == 0) {
      Check(status == WBEM_S_FALSE && !object, "the end hands out nothing");
      break;
    }
    Check(status == WBEM_S_NO_ERROR && returned == 1 && object, "one object per call");
    Check(objects.size() < kObjectLimit, "the enumeration ends");
    objects.push_back(std::move(object));
  }
  hwid::com_ptr<IWbemClassObject> past;
  ULONG returned = 0;
  Check(enumerator.Next(WBEM_INFINITE, 1, past.put(), &returned) == WBEM_S_FALSE && returned == 0,
        "an ended enumeration stays ended");
  return objects;
}

void CheckAllConfigurations(const std::vector<hwid::com_ptr<IWbemClassObject>>& objects) {
  Check(objects.size() == kAdapters.size(), "one configuration per adapter");
  for (std::size_t i = 0; i < objects.size(); ++i) {
    IWbemClassObject& object = *objects[i].get();
    Check(BstrProperty(object, L"__CLASS") == L"Win32_NetworkAdapterConfiguration",
          "configurations are Win32_NetworkAdapterConfiguration");
    Check(BstrProperty(object, L"MACAddress") == kAdapters[i].macAddress,
          "addresses in upper case, in index order");
    Check(NumberProperty(object, L"index") == kAdapters[i].index, "property names ignore case");
  }
}

void CheckAssociators(const std::vector<hwid::com_ptr<IWbemClassObject>>& objects,
                      const std::wstring& deviceId) {
  const FixtureAdapter* adapter = FindAdapter(deviceId);
  const std::size_t expected = adapter == nullptr ? 0 : adapter->resourceCount;
  Check(objects.size() == expected, "one class per kind of resource the adapter owns");
  for (std::size_t i = 0; i < objects.size(); ++i) {
    Check(BstrProperty(*objects[i].get(), L"__CLASS") == kResourceClasses[i],
          "the resource classes of that adapter");
  }
}

void CheckAdapter(const std::vector<hwid::com_ptr<IWbemClassObject>>& objects,
                  const std::wstring& deviceId) {
  const FixtureAdapter* adapter = FindAdapter(deviceId);
  Check(objects.size() == (adapter == nullptr ? 0U : 1U), "one adapter per known device ID");
  if (adapter != nullptr) {
    IWbemClassObject& object = *objects.front().get();
    Check(BstrProperty(object, L"DeviceID") == deviceId, "the adapter asked for");
    Check(BstrProperty(object, L"MACAddress") == adapter->macAddress, "that adapter's address");
    hwid::unique_variant missing;
    Check(object.Get(L"NoSuchProperty", 0, missing.put(), nullptr, nullptr) == WBEM_E_NOT_FOUND &&
              missing.get().vt == VT_EMPTY,
          "an unknown property is not found and leaves the value empty");
  }
}

// The texts the tool sends, for the device ID the query names (if any).
bool IsToolQuery(std::string_view query, const std::optional<ReducedQuery>& reduced) {
  if (query == hwid::kAllAddressesQuery || query == hwid::kIndexesQuery) {
    return true;
  }
  if (!reduced || reduced->quoted.size() != 1) {
    return false;
  }
  const std::string deviceId = hwid::NarrowText(reduced->quoted.front());
  return query == hwid::AssociatedClassesQuery(deviceId) ||
         query == hwid::AdapterAddressQuery(deviceId);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  std::string pattern = (fs::temp_directory_path() / "hwid-sysfs-XXXXXX").string();
  Check(mkdtemp(pattern.data()) != nullptr, "a temporary directory for the sysfs tree");
  fixtureRoot = pattern;
  MakeSysfsTree(fixtureRoot);
  Check(std::atexit(RemoveSysfsTree) == 0, "the sysfs tree is removed at exit");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view narrowQuery(reinterpret_cast<const char*>(data), size);
  const std::wstring query = hwid::WideText(narrowQuery);

  hwid::com_ptr<IWbemLocator> locator;
  *locator.put() = hwid::posix::NewSysfsWbemLocator(fixtureRoot.c_str());
  hwid::com_ptr<IWbemServices> services;
  const hwid::unique_bstr wmiNamespace(L"ROOT\\CIMV2");
  Check(SUCCEEDED(locator->ConnectServer(wmiNamespace.get(), nullptr, nullptr, nullptr, 0, nullptr,
                                         nullptr, services.put())),
        "the provider serves ROOT\\CIMV2");

  const hwid::unique_bstr language(L"WQL");
  const hwid::unique_bstr queryText(query);
  hwid::com_ptr<IEnumWbemClassObject> enumerator;
  const HRESULT status = services->ExecQuery(language.get(), queryText.get(),
                                             WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY,
                                             nullptr, enumerator.put());

  const std::optional<ReducedQuery> reduced = Reduce(query);
  if (IsToolQuery(narrowQuery, reduced)) {
    Check(SUCCEEDED(status), "every query the tool sends is answered");
  }
  if (FAILED(status)) {
    Check(status == WBEM_E_INVALID_QUERY, "a refused query is an invalid query");
    Check(!enumerator, "a refused query hands out no enumerator");
    return 0;
  }
  Check(enumerator && reduced.has_value(), "an answered query has an enumerator and no open quote");
  const std::vector<hwid::com_ptr<IWbemClassObject>> objects = EnumerateAll(*enumerator.get());
  if (reduced->shape == kAllConfigurationsShape) {
    CheckAllConfigurations(objects);
  } else if (reduced->shape == kAssociatorsShape) {
    CheckAssociators(objects, reduced->quoted.front());
  } else {
    Check(reduced->shape == kAdapterShape, "only the tool's query shapes are answered");
    CheckAdapter(objects, reduced->quoted.front());
  }
  return 0;
}
