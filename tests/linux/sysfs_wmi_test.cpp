// The sysfs WMI provider on small sysfs trees, through the COM interfaces the tool uses, and the
// adapter selection running on it through TWMIOperations.
#include "platform/linux/sysfs_wmi.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "Wmioperationsunit/wmi_operations.h"
#include "identifier/adapter_selection.h"
#include "platform/com.h"
#include "tests/case_name.h"
#include "tests/linux/sysfs_tree.h"

namespace hwid {
namespace {

using testing::CaseName;
using testing::kArphrdEther;
using testing::kArphrdInfiniband;
using testing::kArphrdLoopback;
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

void BuildBridge(SysfsTree& tree) {
  const auto dir = tree.AddInterface("docker0", 7, kArphrdEther, kAddress);
  tree.Write(dir / "bridge" / "forward_delay", "1500\n");
}

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
    {"UnreadableResourceFileLeavesTheIrq", BuildUnreadableResources, true, {"'Win32_IRQResource'"}},
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

TEST_F(SysfsProvider, AMissingClassDirectoryListsNoAdapter) {
  const Answer answer = Run(kConfigurations, {L"MACAddress"});

  EXPECT_EQ(answer.status, WBEM_S_NO_ERROR);
  EXPECT_EQ(answer.rows, std::vector<std::string>{});
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

// COM for TWMIOperations: every call succeeds, and the locator it creates reads the test's tree.
class FixtureComRuntime final : public ComRuntime {
 public:
  explicit FixtureComRuntime(std::string sysfsRoot) : sysfsRoot_(std::move(sysfsRoot)) {}

  HRESULT InitializeEx(LPVOID /*reserved*/, DWORD /*coInit*/) override { return S_OK; }
  HRESULT InitializeSecurity(PSECURITY_DESCRIPTOR /*descriptor*/, LONG /*count*/,
                             SOLE_AUTHENTICATION_SERVICE* /*services*/, void* /*reserved1*/,
                             DWORD /*authnLevel*/, DWORD /*impLevel*/, void* /*authList*/,
                             DWORD /*capabilities*/, void* /*reserved3*/) override {
    return S_OK;
  }
  HRESULT CreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD /*context*/, REFIID iid,
                         LPVOID* object) override {
    if (!(clsid == CLSID_WbemLocator) || outer != nullptr) {
      return REGDB_E_CLASSNOTREG;
    }
    com_ptr<IWbemLocator> locator;
    *locator.put() = posix::NewSysfsWbemLocator(sysfsRoot_.c_str());
    return locator->QueryInterface(iid, object);
  }
  HRESULT SetProxyBlanket(IUnknown* /*proxy*/, DWORD /*authnSvc*/, DWORD /*authzSvc*/,
                          OLECHAR* /*principal*/, DWORD /*authnLevel*/, DWORD /*impLevel*/,
                          RPC_AUTH_IDENTITY_HANDLE /*authInfo*/, DWORD /*capabilities*/) override {
    return S_OK;
  }
  void Uninitialize() override {}

 private:
  std::string sysfsRoot_;
};

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
};

class SysfsMachine : public ::testing::TestWithParam<MachineCase> {};

TEST_P(SysfsMachine, AdapterAddressTextThroughTwmiOperations) {
  SysfsTree tree;
  GetParam().build(tree);
  FixtureComRuntime com(tree.Root().string());
  TWMIOperations wmi(com);

  EXPECT_EQ(AdapterAddressText(wmi), GetParam().addressText);
}

INSTANTIATE_TEST_SUITE_P(Machines, SysfsMachine, ::testing::ValuesIn(kMachines), CaseName());

}  // namespace
}  // namespace hwid
