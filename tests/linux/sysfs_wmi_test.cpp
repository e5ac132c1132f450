// The sysfs WMI provider on small sysfs trees, through the COM interfaces the tool uses, and the
// adapter selection running on it through TWMIOperations.
#include "platform/linux/sysfs_wmi.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Wmioperationsunit/wmi_operations.h"
#include "identifier/adapter_selection.h"
#include "platform/com.h"
#include "tests/case_name.h"
#include "tests/linux/sysfs_com_runtime.h"
#include "tests/linux/sysfs_tree.h"

namespace hwid {
namespace {

using testing::CaseName;
using testing::kArphrdEther;
using testing::kArphrdInfiniband;
using testing::kArphrdLoopback;
using testing::kArphrdNone;
using testing::SysfsTree;

constexpr wchar_t kConfigurations[] =
    L"select * from Win32_NetworkAdapterConfiguration WHERE MACAddress<>null";
constexpr wchar_t kAssociatorsOf7[] =
    L"associators of {Win32_NetworkAdapter.DeviceID='7'} WHERE ClassDefsOnly";
constexpr wchar_t kAdapter7[] = L"select * from win32_networkadapter where DeviceID='7'";

// One memory region, one I/O port region and an unused one, as a PCI NIC lists them.
constexpr char kMemoryAndPorts[] =
    "0x00000000f7e00000 0x00000000f7e1ffff 0x0000000000040200\n"
    "0x000000000000e000 0x000000000000e01f 0x0000000000040101\n"
    "0x0000000000000000 0x0000000000000000 0x0000000000000000\n";
constexpr char kNoRegions[] =
    "0x0000000000000000 0x0000000000000000 0x0000000000000000\n"
    "0x0000000000000000 0x0000000000000000 0x0000000000000000\n";
constexpr char kMemoryOnly[] =
    "0x0000004000100000 0x000000400017ffff 0x0000000000140204\n"
    "0x0000000000000000 0x0000000000000000 0x0000000000000000\n";

std::string Narrow(const wchar_t* text, UINT length) {
  std::string narrow;
  for (UINT i = 0; i < length; ++i) {
    narrow += static_cast<char>(text[i]);
  }
  return narrow;
}

// Integers print bare and strings quoted, so a row also shows each value's type.
std::string ValueText(IWbemClassObject& object, const wchar_t* property) {
  unique_variant value;
  if (FAILED(object.Get(property, 0, value.put(), nullptr, nullptr))) {
    return "(missing)";
  }
  switch (value.get().vt) {
    case VT_I4:
      return std::to_string(value.get().lVal);
    case VT_BSTR:
      return "'" + Narrow(value.get().bstrVal, SysStringLen(value.get().bstrVal)) + "'";
    default:
      return "(vt " + std::to_string(value.get().vt) + ")";
  }
}

struct Answer {
  HRESULT status = E_FAIL;
  std::vector<std::string> rows;  // per object, the properties asked for, space-separated
};

Answer Run(IWbemServices& services, const std::wstring& query,
           const std::vector<const wchar_t*>& properties, const wchar_t* language = L"WQL") {
  Answer answer;
  com_ptr<IEnumWbemClassObject> enumerator;
  const unique_bstr languageText(language);
  const unique_bstr queryText(query);
  answer.status = services.ExecQuery(languageText.get(), queryText.get(),
                                     WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY, nullptr,
                                     enumerator.put());
  if (FAILED(answer.status)) {
    EXPECT_FALSE(enumerator) << "a failed query hands out no enumerator";
    return answer;
  }
  for (;;) {
    com_ptr<IWbemClassObject> object;
    ULONG returned = 0;
    enumerator->Next(WBEM_INFINITE, 1, object.put(), &returned);
    if (returned == 0) {
      break;
    }
    std::string row;
    for (const wchar_t* property : properties) {
      row += (row.empty() ? "" : " ") + ValueText(*object.get(), property);
    }
    answer.rows.push_back(row);
  }
  return answer;
}

class SysfsProvider : public ::testing::Test {
 protected:
  com_ptr<IWbemServices> Connect(const wchar_t* wmiNamespace = L"ROOT\\CIMV2") {
    com_ptr<IWbemLocator> locator;
    *locator.put() = posix::NewSysfsWbemLocator(tree.Root().c_str());
    com_ptr<IWbemServices> services;
    const unique_bstr namespaceText(wmiNamespace);
    lastStatus = locator->ConnectServer(namespaceText.get(), nullptr, nullptr, nullptr, 0, nullptr,
                                        nullptr, services.put());
    return services;
  }

  Answer Run(const std::wstring& query, const std::vector<const wchar_t*>& properties,
             const wchar_t* language = L"WQL") {
    com_ptr<IWbemServices> services = Connect();
    if (!services) {
      ADD_FAILURE() << "ConnectServer failed with " << lastStatus;
      return {};
    }
    return hwid::Run(*services.get(), query, properties, language);
  }

  SysfsTree tree;
  HRESULT lastStatus = S_OK;
};

// One interface, index 7, sysfs address 0a:1b:2c:3d:4e:5f, of a given kind.
struct InterfaceCase {
  const char* name;
  void (*build)(SysfsTree& tree);
  bool listed;                       // reported as an adapter configuration
  std::vector<std::string> classes;  // what the associators query answers for it

  friend void PrintTo(const InterfaceCase& row, std::ostream* out) { *out << row.name; }
};

constexpr char kAddress[] = "0a:1b:2c:3d:4e:5f";

// A PCI function at devices/pci0000:00/<slot> with the irq and resource files given (none for
// null).
std::filesystem::path AddPciFunction(SysfsTree& tree, const std::string& slot, const char* irq,
                                     const char* resource) {
  auto device = tree.AddDevice("pci0000:00/" + slot, "pci");
  if (irq != nullptr) {
    tree.Write(device / "irq", irq);
  }
  if (resource != nullptr) {
    tree.Write(device / "resource", resource);
  }
  return device;
}

void BuildPciNic(SysfsTree& tree) {
  tree.AddInterface("eno1", 7, kArphrdEther, kAddress,
                    AddPciFunction(tree, "0000:00:1f.6", "16\n", kMemoryAndPorts));
}

void BuildMessageSignalledNic(SysfsTree& tree) {
  const auto device = AddPciFunction(tree, "0000:00:1c.0/0000:02:00.0", "0\n", kNoRegions);
  tree.Write(device / "msi_irqs" / "130", "msix\n");
  tree.Write(device / "msi_irqs" / "131", "msix\n");
  tree.AddInterface("enp2s0", 7, kArphrdEther, kAddress, device);
}

void BuildMemoryOnlyNic(SysfsTree& tree) {
  tree.AddInterface("ens5", 7, kArphrdEther, kAddress,
                    AddPciFunction(tree, "0000:00:05.0", "0\n", kMemoryOnly));
}

// The virtio device itself has no resources; the PCI function it sits on has them all.
void BuildVirtioNic(SysfsTree& tree) {
  AddPciFunction(tree, "0000:00:03.0", "11\n", kMemoryAndPorts);
  tree.AddInterface("eth0", 7, kArphrdEther, kAddress,
                    tree.AddDevice("pci0000:00/0000:00:03.0/virtio0", "virtio"));
}

// The USB interface owns nothing, although the host controller above it does.
void BuildUsbNic(SysfsTree& tree) {
  AddPciFunction(tree, "0000:00:14.0", "120\n", kMemoryAndPorts);
  tree.AddDevice("pci0000:00/0000:00:14.0/usb1/1-2", "usb");
  tree.AddInterface("enx0a1b2c3d4e5f", 7, kArphrdEther, kAddress,
                    tree.AddDevice("pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0", "usb"));
}

void BuildVeth(SysfsTree& tree) { tree.AddInterface("veth0", 7, kArphrdEther, kAddress); }

void AddBridge(SysfsTree& tree, const char* name, int index, const char* address) {
  const auto dir = tree.AddInterface(name, index, kArphrdEther, address);
  tree.Write(dir / "bridge" / "forward_delay", "1500\n");
}

void BuildBridge(SysfsTree& tree) { AddBridge(tree, "docker0", 7, kAddress); }

// A non-zero address, so only the interface type can exclude it.
void BuildLoopback(SysfsTree& tree) { tree.AddInterface("lo", 7, kArphrdLoopback, kAddress); }

void BuildAllZeroAddress(SysfsTree& tree) {
  tree.AddInterface("eno1", 7, kArphrdEther, "00:00:00:00:00:00",
                    AddPciFunction(tree, "0000:00:1f.6", "16\n", kMemoryAndPorts));
}

void BuildInfiniband(SysfsTree& tree) {
  tree.AddInterface("ib0", 7, kArphrdInfiniband,
                    "80:00:02:08:fe:80:00:00:00:00:00:00:00:02:c9:03:00:0e:5f:41",
                    AddPciFunction(tree, "0000:00:02.0/0000:03:00.0", "16\n", kMemoryAndPorts));
}

// Lines of another shape are not regions, even with a memory flag in them; a good line after
// them still counts.
void BuildMalformedResources(SysfsTree& tree) {
  tree.AddInterface("eno1", 7, kArphrdEther, kAddress,
                    AddPciFunction(tree, "0000:00:1f.6", "none\n",
                                   "not a region\n"
                                   "0x00000000f7e00000 0x00000000f7e1ffff 0xzz0200\n"
                                   "0x00000000f7e00000 0x00000000f7e1ffff 0x200 0x0\n"
                                   "0x00000000f7e00000 0x0000000000040200\n"
                                   "0x00000000f7e00000 0x00000000f7e1ffff 0000000000040200\n"
                                   "0x000000000000e000 0x000000000000e01f 0x0000000000040101\n"));
}

// A resource "file" that cannot be read as one still leaves the interrupt.
void BuildUnreadableResources(SysfsTree& tree) {
  const auto device = AddPciFunction(tree, "0000:00:1f.6", "19\n", nullptr);
  tree.Write(device / "resource" / "inside", "0x0 0x1 0x200\n");
  tree.AddInterface("eno1", 7, kArphrdEther, kAddress, device);
}

// Device-tree property values: only their length matters here, as for the kernel's files.
constexpr std::string_view kRegister("\0\0\0\0\xfd\x58\0\0\0\0\0\0\0\0\x10\0", 16);
constexpr std::string_view kInterruptCells("\0\0\0\0\0\0\0\x9d\0\0\0\x04", 12);
constexpr std::string_view kCompatible("brcm,bcm2711-genet-v5\0", 22);

// The on-chip Ethernet of a board: a platform device made from the device-tree node given.
void AddOnChipNic(SysfsTree& tree,
                  std::initializer_list<std::pair<std::string_view, std::string_view>> properties,
                  int index = 7, const char* address = kAddress) {
  const auto device = tree.AddDevice("platform/scb/fd580000.ethernet", "platform");
  SysfsTree::Link(device / "of_node", tree.AddDeviceTreeNode("scb/ethernet@7d580000", properties));
  tree.AddInterface("end0", index, kArphrdEther, address, device);
}

void BuildOnChipNic(SysfsTree& tree) {
  AddOnChipNic(tree,
               {{"compatible", kCompatible}, {"reg", kRegister}, {"interrupts", kInterruptCells}});
}

void BuildOnChipNicWithInterruptsOnly(SysfsTree& tree) {
  AddOnChipNic(tree, {{"compatible", kCompatible}, {"interrupts", kInterruptCells}});
}

void BuildOnChipNicWithRegOnly(SysfsTree& tree) {
  AddOnChipNic(tree, {{"compatible", kCompatible}, {"reg", kRegister}});
}

// The form that names its interrupt controller counts as well.
void BuildOnChipNicWithExtendedInterrupts(SysfsTree& tree) {
  AddOnChipNic(tree, {{"compatible", kCompatible}, {"interrupts-extended", kInterruptCells}});
}

void BuildOnChipNicWithNeither(SysfsTree& tree) {
  AddOnChipNic(tree, {{"compatible", kCompatible}});
}

// A property without a value (as `dma-coherent` is) declares nothing.
void BuildOnChipNicWithEmptyProperties(SysfsTree& tree) {
  AddOnChipNic(tree, {{"compatible", kCompatible}, {"reg", ""}, {"interrupts", ""}});
}

// Message-signalled interrupts of a platform device, with no interrupts in its node.
void BuildOnChipNicWithPlatformMsi(SysfsTree& tree) {
  BuildOnChipNicWithRegOnly(tree);
  tree.Write(tree.Root() / "devices/platform/scb/fd580000.ethernet/msi_irqs/48", "msi\n");
}

void BuildAmbaNic(SysfsTree& tree) {
  const auto device = tree.AddDevice("platform/soc/10010000.ethernet", "amba");
  SysfsTree::Link(device / "of_node",
                  tree.AddDeviceTreeNode("soc/ethernet@10010000",
                                         {{"reg", kRegister}, {"interrupts", kInterruptCells}}));
  tree.AddInterface("eth0", 7, kArphrdEther, kAddress, device);
}

// virtio over memory-mapped registers: the platform device it sits on has the resources.
void BuildVirtioMmioNic(SysfsTree& tree) {
  const auto transport = tree.AddDevice("platform/a003e00.virtio_mmio", "platform");
  SysfsTree::Link(transport / "of_node",
                  tree.AddDeviceTreeNode("virtio_mmio@a003e00",
                                         {{"reg", kRegister}, {"interrupts", kInterruptCells}}));
  tree.AddInterface("eth0", 7, kArphrdEther, kAddress,
                    tree.AddDevice("platform/a003e00.virtio_mmio/virtio0", "virtio"));
}

// An ACPI-enumerated platform device whose firmware node has a PnP view listing `resources`.
void AddAcpiNic(SysfsTree& tree, const char* resources) {
  const auto node = tree.AddDevice("LNXSYSTM:00/LNXSYBUS:00/BCM6E4E:00", "acpi");
  tree.Write(node / "hid", "BCM6E4E\n");
  const auto device = tree.AddDevice("platform/BCM6E4E:00", "platform");
  SysfsTree::Link(device / "firmware_node", node);
  SysfsTree::Link(node / "physical_node", device);
  if (resources != nullptr) {
    const auto pnp = tree.AddDevice("pnp0/00:05", "pnp");
    tree.Write(pnp / "resources", resources);
    SysfsTree::Link(pnp / "firmware_node", node);
    SysfsTree::Link(node / "physical_node1", pnp);
  }
  tree.AddInterface("eth0", 7, kArphrdEther, kAddress, device);
}

void BuildAcpiNic(SysfsTree& tree) {
  AddAcpiNic(tree, "state = active\nirq 26\nmem 0xfd580000-0xfd58ffff\nio 0x3f8-0x3ff\n");
}

void BuildAcpiNicWithDisabledResources(SysfsTree& tree) {
  AddAcpiNic(tree, "state = active\nirq disabled\nmem disabled\nio 0x3f8-0x3ff\ndma 2\n");
}

// sysfs shows no resources of a firmware node without a PnP view.
void BuildAcpiNicWithoutPnpView(SysfsTree& tree) { AddAcpiNic(tree, nullptr); }

// An ISA-era card enumerated on the PnP bus itself.
void BuildPnpNic(SysfsTree& tree) {
  const auto device = tree.AddDevice("pnp0/00:07", "pnp");
  tree.Write(device / "resources", "state = active\nio 0x300-0x31f\nirq 10\n");
  tree.AddInterface("eth0", 7, kArphrdEther, kAddress, device);
}

// The on-chip MMC host owns the resources; the Wi-Fi function on its SDIO bus owns none.
void AddSdioNic(SysfsTree& tree, int index, const char* address) {
  const auto host = tree.AddDevice("platform/soc/fe300000.mmcnr", "platform");
  SysfsTree::Link(host / "of_node",
                  tree.AddDeviceTreeNode("soc/mmcnr@7e300000",
                                         {{"reg", kRegister}, {"interrupts", kInterruptCells}}));
  tree.AddInterface(
      "wlan0", index, kArphrdEther, address,
      tree.AddDevice("platform/soc/fe300000.mmcnr/mmc_host/mmc1/mmc1:0001/mmc1:0001:1", "sdio"));
}

void BuildSdioNic(SysfsTree& tree) { AddSdioNic(tree, 7, kAddress); }

// A Hyper-V synthetic NIC sits on VMBus, whose devices own nothing.
std::filesystem::path AddVmbusNic(SysfsTree& tree, const char* name, int index,
                                  const char* address) {
  return tree.AddInterface(name, index, kArphrdEther, address,
                           tree.AddDevice("LNXSYSTM:00/LNXSYBUS:00/ACPI0004:00/VMBUS:00/"
                                          "000d3a6e-4548-000d-3a6e-4548000d3a6e",
                                          "vmbus"));
}

void BuildVmbusNic(SysfsTree& tree) { AddVmbusNic(tree, "eth0", 7, kAddress); }

void AddXenVif(SysfsTree& tree, int index, const char* address) {
  tree.AddInterface("eth0", index, kArphrdEther, address, tree.AddDevice("vif-0", "xen"));
}

void BuildXenVif(SysfsTree& tree) { AddXenVif(tree, 7, kAddress); }

// A tun interface has no hardware address: sysfs shows an empty line.
void BuildTun(SysfsTree& tree) { tree.AddInterface("tun0", 7, kArphrdNone, ""); }

const InterfaceCase kInterfaceCases[] = {
    {"PciNicWithIrqMemoryAndPorts",
     BuildPciNic,
     true,
     {"'Win32_IRQResource'", "'Win32_DeviceMemoryAddress'", "'Win32_PortResource'"}},
    {"PciNicWithOnlyMessageSignalledInterrupts",
     BuildMessageSignalledNic,
     true,
     {"'Win32_IRQResource'"}},
    {"PciNicWithOnlyMemory", BuildMemoryOnlyNic, true, {"'Win32_DeviceMemoryAddress'"}},
    {"VirtioNicCountsItsPciFunction",
     BuildVirtioNic,
     true,
     {"'Win32_IRQResource'", "'Win32_DeviceMemoryAddress'", "'Win32_PortResource'"}},
    {"UsbNicOwnsNothing", BuildUsbNic, true, {}},
    {"VethOwnsNothing", BuildVeth, true, {}},
    {"BridgeOwnsNothing", BuildBridge, true, {}},
    {"LoopbackIsNoAdapter", BuildLoopback, false, {}},
    {"AllZeroAddressIsNoAdapter", BuildAllZeroAddress, false, {}},
    {"TwentyByteAddressIsNoAdapter", BuildInfiniband, false, {}},
    {"MalformedResourceLinesAreSkipped", BuildMalformedResources, true, {"'Win32_PortResource'"}},
    {"TunIsNoAdapter", BuildTun, false, {}},
    {"OnChipNicWithRegAndInterrupts",
     BuildOnChipNic,
     true,
     {"'Win32_IRQResource'", "'Win32_DeviceMemoryAddress'"}},
    {"OnChipNicWithInterruptsOnly",
     BuildOnChipNicWithInterruptsOnly,
     true,
     {"'Win32_IRQResource'"}},
    {"OnChipNicWithRegOnly", BuildOnChipNicWithRegOnly, true, {"'Win32_DeviceMemoryAddress'"}},
    {"OnChipNicWithExtendedInterrupts",
     BuildOnChipNicWithExtendedInterrupts,
     true,
     {"'Win32_IRQResource'"}},
    {"OnChipNicWithNeither", BuildOnChipNicWithNeither, true, {}},
    {"OnChipNicWithEmptyProperties", BuildOnChipNicWithEmptyProperties, true, {}},
    {"OnChipNicWithPlatformMsi",
     BuildOnChipNicWithPlatformMsi,
     true,
     {"'Win32_IRQResource'", "'Win32_DeviceMemoryAddress'"}},
    {"AmbaNicWithRegAndInterrupts",
     BuildAmbaNic,
     true,
     {"'Win32_IRQResource'", "'Win32_DeviceMemoryAddress'"}},
    {"VirtioMmioNicCountsItsPlatformDevice",
     BuildVirtioMmioNic,
     true,
     {"'Win32_IRQResource'", "'Win32_DeviceMemoryAddress'"}},
    {"AcpiNicWithPnpView",
     BuildAcpiNic,
     true,
     {"'Win32_IRQResource'", "'Win32_DeviceMemoryAddress'", "'Win32_PortResource'"}},
    {"AcpiNicWithDisabledResources",
     BuildAcpiNicWithDisabledResources,
     true,
     {"'Win32_PortResource'"}},
    {"AcpiNicWithoutPnpViewOwnsNothing", BuildAcpiNicWithoutPnpView, true, {}},
    {"PnpNic", BuildPnpNic, true, {"'Win32_IRQResource'", "'Win32_PortResource'"}},
    {"SdioNicOwnsNothing", BuildSdioNic, true, {}},
    {"VmbusNicOwnsNothing", BuildVmbusNic, true, {}},
    {"XenVifOwnsNothing", BuildXenVif, true, {}},
};

class SysfsInterface : public SysfsProvider, public ::testing::WithParamInterface<InterfaceCase> {};

TEST_P(SysfsInterface, AnswersTheThreeQueriesForIt) {
  GetParam().build(tree);

  const Answer configurations = Run(kConfigurations, {L"Index", L"MACAddress"});
  const Answer classes = Run(kAssociatorsOf7, {L"__CLASS"});
  const Answer adapter = Run(kAdapter7, {L"DeviceID", L"MACAddress"});

  ASSERT_EQ(configurations.status, WBEM_S_NO_ERROR);
  ASSERT_EQ(classes.status, WBEM_S_NO_ERROR);
  ASSERT_EQ(adapter.status, WBEM_S_NO_ERROR);
  using Rows = std::vector<std::string>;
  EXPECT_EQ(configurations.rows, GetParam().listed ? Rows{"7 '0A:1B:2C:3D:4E:5F'"} : Rows{});
  EXPECT_EQ(adapter.rows, GetParam().listed ? Rows{"'7' '0A:1B:2C:3D:4E:5F'"} : Rows{});
  EXPECT_EQ(classes.rows, GetParam().classes);
}

INSTANTIATE_TEST_SUITE_P(Kinds, SysfsInterface, ::testing::ValuesIn(kInterfaceCases), CaseName());

TEST_F(SysfsProvider, ListsConfigurationsInAscendingNumericIndexOrder) {
  tree.AddInterface("lo", 1, kArphrdLoopback, "00:00:00:00:00:00");
  tree.AddInterface("a", 9, kArphrdEther, "02:00:00:00:00:09");
  tree.AddInterface("b", 2, kArphrdEther, "02:00:00:00:00:02");
  tree.AddInterface("c", 30, kArphrdEther, "02:00:00:00:00:1e");
  tree.AddInterface("d", 10, kArphrdEther, "02:00:00:00:00:0a");

  const Answer answer = Run(kConfigurations, {L"Index", L"MACAddress"});

  EXPECT_EQ(answer.rows,
            (std::vector<std::string>{"2 '02:00:00:00:00:02'", "9 '02:00:00:00:00:09'",
                                      "10 '02:00:00:00:00:0A'", "30 '02:00:00:00:00:1E'"}));
}

TEST_F(SysfsProvider, FindsAnAdapterOnlyByItsWholeIndex) {
  BuildPciNic(tree);

  EXPECT_EQ(Run(L"select * from win32_networkadapter where DeviceID='17'", {L"MACAddress"}).rows,
            std::vector<std::string>{});
  EXPECT_EQ(Run(L"select * from win32_networkadapter where DeviceID='07'", {L"MACAddress"}).rows,
            std::vector<std::string>{});
  EXPECT_EQ(
      Run(L"associators of {Win32_NetworkAdapter.DeviceID='1'} WHERE ClassDefsOnly", {L"__CLASS"})
          .rows,
      std::vector<std::string>{});
}

TEST_F(SysfsProvider, ReadsPropertiesByNameInAnyLetterCaseAndOnlyThose) {
  BuildPciNic(tree);

  EXPECT_EQ(Run(kConfigurations, {L"index", L"MACADDRESS", L"__class", L"Caption"}).rows,
            std::vector<std::string>{
                "7 '0A:1B:2C:3D:4E:5F' 'Win32_NetworkAdapterConfiguration' (missing)"});
}

TEST_F(SysfsProvider, AnEmptyClassDirectoryOrOneOfBrokenLinksListsNoAdapter) {
  Answer answer = Run(kConfigurations, {L"MACAddress"});
  EXPECT_EQ(answer.status, WBEM_S_NO_ERROR);
  EXPECT_EQ(answer.rows, std::vector<std::string>{});

  std::filesystem::create_directory_symlink("../../devices/virtual/net/gone",
                                            tree.Root() / "class" / "net" / "gone");
  answer = Run(kConfigurations, {L"MACAddress"});
  EXPECT_EQ(answer.status, WBEM_S_NO_ERROR);
  EXPECT_EQ(answer.rows, std::vector<std::string>{});
}

// No list of interfaces is not an empty one: the connection fails, as WMI's does when its
// provider cannot serve it, so a reading can tell "no adapter" from "adapters unknown".
TEST_F(SysfsProvider, AClassDirectoryThatCannotBeListedFailsTheConnection) {
  std::filesystem::remove(tree.Root() / "class" / "net");
  EXPECT_FALSE(Connect()) << "missing";
  EXPECT_EQ(lastStatus, WBEM_E_FAILED);

  tree.Write(tree.Root() / "class" / "net", "not a directory\n");
  EXPECT_FALSE(Connect()) << "a file";
  EXPECT_EQ(lastStatus, WBEM_E_FAILED);
}

// A resource file that is there but cannot be read leaves the adapter's resources unknown: its
// associators query fails, and the other queries answer as before.
TEST_F(SysfsProvider, AnUnreadableResourceFileFailsThatAdaptersAssociatorsQuery) {
  BuildUnreadableResources(tree);

  const Answer configurations = Run(kConfigurations, {L"Index", L"MACAddress"});
  const Answer classes = Run(kAssociatorsOf7, {L"__CLASS"});
  const Answer adapter = Run(kAdapter7, {L"MACAddress"});

  EXPECT_EQ(configurations.rows, std::vector<std::string>{"7 '0A:1B:2C:3D:4E:5F'"});
  EXPECT_EQ(classes.status, WBEM_E_FAILED);
  EXPECT_EQ(adapter.rows, std::vector<std::string>{"'0A:1B:2C:3D:4E:5F'"});
}

// The tool connects once and keeps the connection for its whole run, so one look at the tree
// when connecting answers every query: none of them reads sysfs again.
TEST_F(SysfsProvider, AnswersEveryQueryOfAConnectionFromOneLookAtTheTree) {
  BuildPciNic(tree);
  com_ptr<IWbemServices> services = Connect();
  ASSERT_TRUE(services);

  std::filesystem::remove_all(tree.Root() / "class");
  tree.Write(tree.Root() / "devices/pci0000:00/0000:00:1f.6/resource", kNoRegions);

  EXPECT_EQ(hwid::Run(*services.get(), kConfigurations, {L"Index", L"MACAddress"}).rows,
            std::vector<std::string>{"7 '0A:1B:2C:3D:4E:5F'"});
  EXPECT_EQ(hwid::Run(*services.get(), kAssociatorsOf7, {L"__CLASS"}).rows,
            (std::vector<std::string>{"'Win32_IRQResource'", "'Win32_DeviceMemoryAddress'",
                                      "'Win32_PortResource'"}));
  EXPECT_EQ(hwid::Run(*services.get(), kAdapter7, {L"MACAddress"}).rows,
            std::vector<std::string>{"'0A:1B:2C:3D:4E:5F'"});
  std::filesystem::create_directories(tree.Root() / "class" / "net");
  EXPECT_EQ(Run(kConfigurations, {L"MACAddress"}).rows, std::vector<std::string>{})
      << "a new connection looks again";
}

// Queries are WQL: keywords and class names in any letter case, any white space between words.
struct QueryCase {
  const char* name;
  const wchar_t* query;
  const wchar_t* property;
  std::vector<std::string> rows;  // for one PCI NIC at index 7

  friend void PrintTo(const QueryCase& row, std::ostream* out) { *out << row.name; }
};

const QueryCase kAcceptedQueries[] = {
    {"AllAddressesAsSent", kConfigurations, L"MACAddress", {"'0A:1B:2C:3D:4E:5F'"}},
    {"IndexesAsSent",
     L"select * from Win32_NetworkAdapterConfiguration where MACAddress<>null",
     L"Index",
     {"7"}},
    {"AssociatorsAsSent",
     kAssociatorsOf7,
     L"__CLASS",
     {"'Win32_IRQResource'", "'Win32_DeviceMemoryAddress'", "'Win32_PortResource'"}},
    {"AdapterAsSent", kAdapter7, L"MACAddress", {"'0A:1B:2C:3D:4E:5F'"}},
    {"ConfigurationsUpperCaseAndSpaced",
     L"SELECT * FROM WIN32_NETWORKADAPTERCONFIGURATION WHERE MACADDRESS <> NULL",
     L"Index",
     {"7"}},
    {"ConfigurationsOverLines",
     L"\t select\n*\r\nfrom   Win32_NetworkAdapterConfiguration where\tMACAddress<>null  ",
     L"Index",
     {"7"}},
    {"AssociatorsSpacedWithDoubleQuotes",
     L"ASSOCIATORS OF { win32_networkadapter . deviceid = \"7\" } where classdefsonly",
     L"__CLASS",
     {"'Win32_IRQResource'", "'Win32_DeviceMemoryAddress'", "'Win32_PortResource'"}},
    {"AdapterMixedCase",
     L"Select * From Win32_NetworkAdapter Where DeviceId = '7'",
     L"DeviceID",
     {"'7'"}},
};

class AcceptedQuery : public SysfsProvider, public ::testing::WithParamInterface<QueryCase> {};

TEST_P(AcceptedQuery, IsAnswered) {
  BuildPciNic(tree);

  const Answer answer = Run(GetParam().query, {GetParam().property});

  EXPECT_EQ(answer.status, WBEM_S_NO_ERROR);
  EXPECT_EQ(answer.rows, GetParam().rows);
}

INSTANTIATE_TEST_SUITE_P(Shapes, AcceptedQuery, ::testing::ValuesIn(kAcceptedQueries), CaseName());

struct RejectedCase {
  const char* name;
  const wchar_t* query;

  friend void PrintTo(const RejectedCase& row, std::ostream* out) { *out << row.name; }
};

const RejectedCase kRejectedQueries[] = {
    {"Empty", L""},
    {"OtherClass", L"select * from Win32_Process"},
    {"OtherClassSameShape", L"select * from Win32_NetworkAdapterSetting WHERE MACAddress<>null"},
    {"MissingWhere", L"select * from Win32_NetworkAdapterConfiguration"},
    {"OtherCondition", L"select * from Win32_NetworkAdapterConfiguration WHERE MACAddress=null"},
    {"TrailingWords",
     L"select * from Win32_NetworkAdapterConfiguration WHERE MACAddress<>null and Index=7"},
    {"UnterminatedQuote", L"select * from win32_networkadapter where DeviceID='7"},
    {"MismatchedQuotes", L"select * from win32_networkadapter where DeviceID='7\""},
    {"UnquotedDeviceId", L"select * from win32_networkadapter where DeviceID=7"},
    {"AssociatorsWithoutClassDefsOnly", L"associators of {Win32_NetworkAdapter.DeviceID='7'}"},
    {"AssociatorsUnclosedBrace",
     L"associators of {Win32_NetworkAdapter.DeviceID='7' WHERE ClassDefsOnly"},
    {"ReferencesOf", L"references of {Win32_NetworkAdapter.DeviceID='7'} WHERE ClassDefsOnly"},
};

class RejectedQuery : public SysfsProvider, public ::testing::WithParamInterface<RejectedCase> {};

TEST_P(RejectedQuery, IsAnInvalidQuery) {
  BuildPciNic(tree);

  EXPECT_EQ(Run(GetParam().query, {L"MACAddress"}).status, WBEM_E_INVALID_QUERY);
}

INSTANTIATE_TEST_SUITE_P(Shapes, RejectedQuery, ::testing::ValuesIn(kRejectedQueries), CaseName());

TEST_F(SysfsProvider, AcceptsOnlyTheWqlLanguage) {
  BuildPciNic(tree);

  EXPECT_EQ(Run(kConfigurations, {L"Index"}, L"wql").rows, std::vector<std::string>{"7"});
  EXPECT_LT(Run(kConfigurations, {L"Index"}, L"SQL").status, 0);
  EXPECT_LT(Run(kConfigurations, {L"Index"}, L"WQL ").status, 0);
  EXPECT_LT(Run(kConfigurations, {L"Index"}, L"").status, 0);
}

TEST_F(SysfsProvider, ServesOnlyTheCimv2Namespace) {
  for (const wchar_t* served : {L"ROOT\\CIMV2", L"root\\cimv2"}) {
    EXPECT_TRUE(Connect(served)) << "namespace " << Narrow(served, 10);
    EXPECT_EQ(lastStatus, WBEM_S_NO_ERROR);
  }
  for (const wchar_t* other : {L"ROOT\\DEFAULT", L"ROOT", L"ROOT \\ CIMV2", L""}) {
    EXPECT_FALSE(Connect(other));
    EXPECT_EQ(lastStatus, WBEM_E_INVALID_NAMESPACE);
  }
}

struct MachineCase {
  const char* name;
  void (*build)(SysfsTree& tree);
  const char* addressText;

  friend void PrintTo(const MachineCase& row, std::ostream* out) { *out << row.name; }
};

void AddVeth(SysfsTree& tree, int index, const char* address) {
  tree.AddInterface("veth" + std::to_string(index), index, kArphrdEther, address);
}

void AddPciNic(SysfsTree& tree, const char* slot, int index, const char* address) {
  tree.AddInterface("enp" + std::to_string(index), index, kArphrdEther, address,
                    AddPciFunction(tree, slot, "16\n", kMemoryAndPorts));
}

constexpr char kBoardEthernet[] = "dc:a6:32:01:02:03";
constexpr char kBoardWifi[] = "dc:a6:32:01:02:04";
constexpr char kDockerBridge[] = "02:42:ac:11:00:01";
constexpr char kCloudNic[] = "00:0d:3a:6e:45:48";

const MachineCase kMachines[] = {
    {"OnlyLoopback",
     [](SysfsTree& tree) { tree.AddInterface("lo", 1, kArphrdLoopback, "00:00:00:00:00:00"); }, ""},
    {"OneVirtualAdapterCountsAsItIs",
     [](SysfsTree& tree) { AddVeth(tree, 4, "fe:54:00:12:34:56"); }, "FE:54:00:12:34:56"},
    {"VirtualAdaptersOnlyGiveAllInIndexOrder",
     [](SysfsTree& tree) {
       AddVeth(tree, 12, "02:42:ac:11:00:02");
       AddVeth(tree, 3, "aa:00:00:00:00:01");
     },
     "AA:00:00:00:00:01\t02:42:AC:11:00:02"},
    {"OnePhysicalAmongVirtual",
     [](SysfsTree& tree) {
       AddVeth(tree, 2, "aa:00:00:00:00:02");
       AddPciNic(tree, "0000:00:1f.6", 5, "00:50:56:c0:00:08");
       BuildBridge(tree);
     },
     "00:50:56:C0:00:08"},
    {"TwoPhysicalInIndexOrder",
     [](SysfsTree& tree) {
       AddPciNic(tree, "0000:00:1f.6", 9, "00:0c:29:aa:bb:cc");
       BuildVirtioNic(tree);
       AddVeth(tree, 3, "aa:00:00:00:00:03");
     },
     "0A:1B:2C:3D:4E:5F\t00:0C:29:AA:BB:CC"},
    // A single-board computer: on-chip Ethernet, Wi-Fi on SDIO, and the bridge Docker makes
    // anew (with a new address) when it starts. Only the on-chip controller counts.
    {"BoardWithOnChipNicWithRegAndInterrupts",
     [](SysfsTree& tree) {
       AddOnChipNic(tree, {{"reg", kRegister}, {"interrupts", kInterruptCells}}, 2, kBoardEthernet);
       AddSdioNic(tree, 3, kBoardWifi);
       AddBridge(tree, "docker0", 4, kDockerBridge);
     },
     "DC:A6:32:01:02:03"},
    {"BoardWithOnChipNicWithInterruptsOnly",
     [](SysfsTree& tree) {
       AddOnChipNic(tree, {{"interrupts", kInterruptCells}}, 2, kBoardEthernet);
       AddSdioNic(tree, 3, kBoardWifi);
       AddBridge(tree, "docker0", 4, kDockerBridge);
     },
     "DC:A6:32:01:02:03"},
    {"BoardWithOnChipNicWithRegOnly",
     [](SysfsTree& tree) {
       AddOnChipNic(tree, {{"reg", kRegister}}, 2, kBoardEthernet);
       AddSdioNic(tree, 3, kBoardWifi);
     },
     "DC:A6:32:01:02:03"},
    {"BoardWhoseTreeDeclaresNoResourcesGivesAll",
     [](SysfsTree& tree) {
       AddOnChipNic(tree, {{"compatible", kCompatible}}, 2, kBoardEthernet);
       AddSdioNic(tree, 3, kBoardWifi);
       AddBridge(tree, "docker0", 4, kDockerBridge);
     },
     "DC:A6:32:01:02:03\tDC:A6:32:01:02:04\t02:42:AC:11:00:01"},
    // PCI Ethernet with I/O ports, PCI Wi-Fi with MSI-X and memory only, a libvirt bridge and a
    // VPN tun (no address, so no adapter).
    {"Laptop",
     [](SysfsTree& tree) {
       AddPciNic(tree, "0000:00:1f.6", 2, "8c:16:45:aa:bb:cc");
       const auto wifi = AddPciFunction(tree, "0000:00:1c.0/0000:03:00.0", "0\n", kMemoryOnly);
       tree.Write(wifi / "msi_irqs" / "140", "msix\n");
       tree.AddInterface("wlp3s0", 3, kArphrdEther, "f8:59:71:dd:ee:ff", wifi);
       AddBridge(tree, "virbr0", 4, "52:54:00:12:34:56");
       tree.AddInterface("tun0", 5, kArphrdNone, "");
     },
     "8C:16:45:AA:BB:CC\tF8:59:71:DD:EE:FF"},
    // Accelerated networking: the synthetic NIC and its PCI virtual function share the address;
    // the function owns the resources, so the address comes once.
    {"AzureVmWithVirtualFunction",
     [](SysfsTree& tree) {
       AddVmbusNic(tree, "eth0", 2, kCloudNic);
       AddPciNic(tree, "0000:00:02.0", 3, kCloudNic);
     },
     "00:0D:3A:6E:45:48"},
    {"AzureVmWithoutVirtualFunction",
     [](SysfsTree& tree) { AddVmbusNic(tree, "eth0", 2, kCloudNic); }, "00:0D:3A:6E:45:48"},
    {"AzureVmWithoutVirtualFunctionWithDocker",
     [](SysfsTree& tree) {
       AddVmbusNic(tree, "eth0", 2, kCloudNic);
       AddBridge(tree, "docker0", 3, kDockerBridge);
     },
     "00:0D:3A:6E:45:48\t02:42:AC:11:00:01"},
    {"XenVmWithDocker",
     [](SysfsTree& tree) {
       AddXenVif(tree, 2, "00:16:3e:11:22:33");
       AddBridge(tree, "docker0", 3, kDockerBridge);
     },
     "00:16:3E:11:22:33\t02:42:AC:11:00:01"},
    {"AcpiBoardWithDocker",
     [](SysfsTree& tree) {
       BuildAcpiNic(tree);
       AddBridge(tree, "docker0", 3, kDockerBridge);
     },
     "0A:1B:2C:3D:4E:5F"},
};

class SysfsMachine : public ::testing::TestWithParam<MachineCase> {};

TEST_P(SysfsMachine, AdapterAddressTextThroughTwmiOperations) {
  SysfsTree tree;
  GetParam().build(tree);
  testing::FixtureComRuntime com(tree.Root().string());
  TWMIOperations wmi(com);

  EXPECT_EQ(AdapterAddressText(wmi), GetParam().addressText);
}

INSTANTIATE_TEST_SUITE_P(Machines, SysfsMachine, ::testing::ValuesIn(kMachines), CaseName());

}  // namespace
}  // namespace hwid
