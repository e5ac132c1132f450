// Linux stand-in only: a WMI provider for the four WQL queries the tool sends, answered from the
// network devices under <sysfs>/class/net. Anything else is an invalid query, as WMI says.

#include "platform/linux/sysfs_wmi.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/com.h"
#include "platform/com_object.h"
#include "platform/wbem_stubs.h"

namespace hwid::posix {
namespace {

namespace fs = std::filesystem;

constexpr unsigned long kArphrdLoopback = 772;
constexpr unsigned long kResourceIo = 0x100;   // IORESOURCE_IO
constexpr unsigned long kResourceMem = 0x200;  // IORESOURCE_MEM

// What WMI answers when the provider cannot read what it serves: Windows refuses a caller without
// the right with access denied, and fails anything else generically.
HRESULT ReadFailure(int error) {
  return error == EACCES || error == EPERM ? WBEM_E_ACCESS_DENIED : WBEM_E_FAILED;
}

// What Windows would list for an adapter's device, in the order its associators come.
struct Resources {
  bool interrupt = false;
  bool memory = false;
  bool port = false;
  // A resource file that exists but cannot be read (errno), so the list may lack what it holds.
  int unreadable = 0;

  Resources& operator|=(const Resources& other) {
    interrupt = interrupt || other.interrupt;
    memory = memory || other.memory;
    port = port || other.port;
    unreadable = unreadable != 0 ? unreadable : other.unreadable;
    return *this;
  }
};

struct Adapter {
  DWORD index = 0;
  std::wstring macAddress;  // six upper-case hex pairs joined by colons
  std::vector<std::wstring> resourceClasses;
  HRESULT associatorsStatus = WBEM_S_NO_ERROR;  // a failure when its resources could not be read
};

// Calls visit(entry) for every entry of `dir`; a missing or unreadable directory has none.
// The error_code overloads keep std::filesystem from throwing.
template <class Visit>
void ForEachEntry(const fs::path& dir, Visit visit) {
  std::error_code error;
  for (fs::directory_iterator entry(dir, error); !error && entry != fs::directory_iterator();
       entry.increment(error)) {
    visit(*entry);
  }
}

bool HasEntries(const fs::path& dir) {
  std::error_code error;
  return fs::directory_iterator(dir, error) != fs::directory_iterator();
}

// A whole sysfs attribute (they are at most a page), or nothing when it cannot be read; then
// `*unreadable` is set to the errno of an attribute that is there but cannot be read. Plain
// read(2): a stdio stream would cost a buffer and a stat per file.
std::optional<std::string> ReadText(const fs::path& file, int* unreadable = nullptr) {
  const auto failed = [unreadable] {
    if (unreadable != nullptr && errno != ENOENT) {
      *unreadable = errno;
    }
    return std::nullopt;
  };
  const int descriptor = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) {
    return failed();
  }
  std::string text;
  char buffer[4096];
  ssize_t count = 0;
  while ((count = ::read(descriptor, buffer, sizeof buffer)) > 0) {
    text.append(buffer, static_cast<std::size_t>(count));
  }
  const int readError = errno;
  // Read-only: nothing is waiting to be written, so a failing close loses nothing.
  static_cast<void>(::close(descriptor));
  if (count < 0) {
    errno = readError;
    return failed();
  }
  return text;
}

std::optional<std::string> ReadFirstLine(const fs::path& file, int* unreadable = nullptr) {
  std::optional<std::string> text = ReadText(file, unreadable);
  if (text) {
    text->erase(std::min(text->find('\n'), text->size()));
  }
  return text;
}

// The whole of `text` as a number, or nothing when anything else is in it.
std::optional<unsigned long> ParseNumber(std::string_view text, int base) {
  unsigned long value = 0;
  const char* const last = text.data() + text.size();
  const auto [end, error] = std::from_chars(text.data(), last, value, base);
  if (error != std::errc() || end != last || text.empty()) {
    return std::nullopt;
  }
  return value;
}

std::optional<unsigned long> ReadNumber(const fs::path& file, int* unreadable = nullptr) {
  const std::optional<std::string> line = ReadFirstLine(file, unreadable);
  return line ? ParseNumber(*line, 10) : std::nullopt;
}

// "AA:BB:CC:DD:EE:FF" as WMI reports it, from sysfs's lower-case text; nothing for any other
// length (infiniband has 20 bytes) or an all-zero address.
std::optional<std::wstring> MacAddressText(const std::string& sysfsAddress) {
  constexpr std::size_t kLength = 17;
  if (sysfsAddress.size() != kLength) {
    return std::nullopt;
  }
  std::wstring text;
  bool allZero = true;
  for (std::size_t i = 0; i < kLength; ++i) {
    const char character = sysfsAddress[i];
    if (i % 3 == 2) {
      if (character != ':') {
        return std::nullopt;
      }
      text += L':';
      continue;
    }
    if (std::isxdigit(static_cast<unsigned char>(character)) == 0) {
      return std::nullopt;
    }
    allZero = allZero && character == '0';
    text += static_cast<wchar_t>(std::toupper(static_cast<unsigned char>(character)));
  }
  if (allZero) {
    return std::nullopt;
  }
  return text;
}

// The non-empty pieces of `text` between separators.
std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> pieces;
  while (!text.empty()) {
    const std::size_t end = std::min(text.find(separator), text.size());
    if (end > 0) {
      pieces.push_back(text.substr(0, end));
    }
    text.remove_prefix(std::min(end + 1, text.size()));
  }
  return pieces;
}

// The bus a device sits on: the last name of its subsystem link ("../../bus/pci" is "pci").
std::string Bus(const fs::path& device) {
  std::error_code error;
  const fs::path subsystem = fs::read_symlink(device / "subsystem", error);
  return error ? std::string() : subsystem.filename().string();
}

// A PCI function: `irq` other than 0 or any message-signalled interrupt (Windows lists those as
// IRQ resources too), and one "0xstart 0xend 0xflags" line per region in `resource`, whose flags
// tell memory from I/O. A line of another shape is not a region.
Resources PciResources(const fs::path& device) {
  Resources resources;
  const std::optional<unsigned long> irq = ReadNumber(device / "irq", &resources.unreadable);
  resources.interrupt = (irq.has_value() && *irq != 0) || HasEntries(device / "msi_irqs");
  const std::string text =
      ReadText(device / "resource", &resources.unreadable).value_or(std::string());
  for (const std::string_view line : Split(text, '\n')) {
    const std::vector<std::string_view> columns = Split(line, ' ');
    if (columns.size() != 3 || !columns[2].starts_with("0x")) {
      continue;
    }
    if (const std::optional<unsigned long> flags = ParseNumber(columns[2].substr(2), 16)) {
      resources.memory = resources.memory || (*flags & kResourceMem) != 0;
      resources.port = resources.port || (*flags & kResourceIo) != 0;
    }
  }
  return resources;
}

// A property of a device-tree node is a file as long as its value; an empty one says nothing.
bool HasProperty(const fs::path& node, const char* name) {
  std::error_code error;
  const std::uintmax_t size = fs::file_size(node / name, error);
  return !error && size > 0;
}

// A device-tree node: `reg` of a memory-mapped device is its register window, and `interrupts`
// or `interrupts-extended` (the form naming another interrupt controller) its interrupt lines.
Resources DeviceTreeResources(const fs::path& node) {
  Resources resources;
  resources.interrupt = HasProperty(node, "interrupts") || HasProperty(node, "interrupts-extended");
  resources.memory = HasProperty(node, "reg");
  return resources;
}

// A PnP device's `resources` lists what its firmware assigned, one "io|mem|irq|dma ..." line
// each, "disabled" for one that is switched off.
Resources PnpResources(const fs::path& device) {
  Resources resources;
  const std::string text =
      ReadText(device / "resources", &resources.unreadable).value_or(std::string());
  for (const std::string_view line : Split(text, '\n')) {
    const std::vector<std::string_view> words = Split(line, ' ');
    if (words.size() < 2 || words[1] == "disabled") {
      continue;
    }
    resources.interrupt = resources.interrupt || words[0] == "irq";
    resources.memory = resources.memory || words[0] == "mem";
    resources.port = resources.port || words[0] == "io";
  }
  return resources;
}

// An on-chip device: its device-tree node when it came from one; when ACPI enumerated it, the
// PnP view of the same firmware node, the one place sysfs shows a node's resources. Platform MSI
// vectors are interrupts either way.
Resources PlatformResources(const fs::path& device) {
  Resources resources;
  resources.interrupt = HasEntries(device / "msi_irqs");
  std::error_code error;
  const fs::path treeNode = fs::canonical(device / "of_node", error);
  if (!error) {
    return resources |= DeviceTreeResources(treeNode);
  }
  const fs::path firmwareNode = fs::canonical(device / "firmware_node", error);
  if (error) {
    return resources;
  }
  ForEachEntry(firmwareNode, [&resources](const fs::directory_entry& entry) {
    if (!entry.path().filename().string().starts_with("physical_node")) {
      return;
    }
    std::error_code linkError;
    const fs::path physical = fs::canonical(entry.path(), linkError);
    if (!linkError && Bus(physical) == "pnp") {
      resources |= PnpResources(physical);
    }
  });
  return resources;
}

// The resources of a bus device as its bus records them. Devices on USB, SDIO, VMBus, Xen and
// every other bus reach the machine through a host controller, which owns the resources itself.
Resources BusDeviceResources(const fs::path& device) {
  const std::string bus = Bus(device);
  if (bus == "pci") {
    return PciResources(device);
  }
  if (bus == "platform" || bus == "amba") {
    return PlatformResources(device);
  }
  if (bus == "pnp") {
    return PnpResources(device);
  }
  return {};
}

// Virtual interfaces (veth, bridge, tun) have no device link and so no resources. A virtio
// device is the transport's child: the PCI function or memory-mapped device it sits on has them.
Resources InterfaceResources(const fs::path& interfaceDir) {
  std::error_code error;
  const fs::path device = fs::canonical(interfaceDir / "device", error);
  if (error) {
    return {};
  }
  return BusDeviceResources(Bus(device) == "virtio" ? device.parent_path() : device);
}

// The resource classes of the adapter's device, or the failure of its associators query.
std::vector<std::wstring> ResourceClasses(const fs::path& interfaceDir, HRESULT& status) {
  const Resources resources = InterfaceResources(interfaceDir);
  status = resources.unreadable != 0 ? ReadFailure(resources.unreadable) : WBEM_S_NO_ERROR;
  std::vector<std::wstring> classes;
  if (resources.interrupt) {
    classes.emplace_back(L"Win32_IRQResource");
  }
  if (resources.memory) {
    classes.emplace_back(L"Win32_DeviceMemoryAddress");
  }
  if (resources.port) {
    classes.emplace_back(L"Win32_PortResource");
  }
  return classes;
}

// Interfaces with a 6-byte non-zero address, loopback excluded, in ascending index order as
// Windows lists adapter configurations, with their resources. Fails when the list of interfaces
// cannot be read, as WMI fails a connection it cannot serve: no adapter is not the same answer.
HRESULT ReadAdapters(const fs::path& sysfsRoot, std::vector<Adapter>& adapters) {
  std::error_code error;
  for (fs::directory_iterator entry(sysfsRoot / "class" / "net", error);
       !error && entry != fs::directory_iterator(); entry.increment(error)) {
    const fs::path& dir = entry->path();
    const std::optional<unsigned long> type = ReadNumber(dir / "type");
    if (!type || *type == kArphrdLoopback) {
      continue;
    }
    const std::optional<unsigned long> index = ReadNumber(dir / "ifindex");
    const std::optional<std::string> address = ReadFirstLine(dir / "address");
    if (!index || !address) {
      continue;
    }
    std::optional<std::wstring> mac = MacAddressText(*address);
    if (mac) {
      Adapter& adapter = adapters.emplace_back();
      adapter.index = static_cast<DWORD>(*index);
      adapter.macAddress = std::move(*mac);
      adapter.resourceClasses = ResourceClasses(dir, adapter.associatorsStatus);
    }
  }
  if (error) {
    adapters.clear();
    return ReadFailure(error.value());
  }
  std::sort(adapters.begin(), adapters.end(),
            [](const Adapter& left, const Adapter& right) { return left.index < right.index; });
  return WBEM_S_NO_ERROR;
}

// WQL is ASCII; nothing else is a word character or has a letter case here.
bool IsWordCharacter(wchar_t c) {
  return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') ||
         c == L'_';
}

wchar_t AsciiLower(wchar_t c) { return c >= L'A' && c <= L'Z' ? c + (L'a' - L'A') : c; }

bool EqualsIgnoringCase(std::wstring_view left, std::wstring_view right) {
  return left.size() == right.size() &&
         std::equal(left.begin(), left.end(), right.begin(),
                    [](wchar_t a, wchar_t b) { return AsciiLower(a) == AsciiLower(b); });
}

bool IsSpace(wchar_t c) { return c == L' ' || (c >= L'\t' && c <= L'\r'); }

// One result object: named values of type VT_BSTR or VT_I4.
class PropertyObject final : public RefCounted<WbemClassObjectStubs, IID_IWbemClassObject> {
 public:
  struct Property {
    std::wstring name;
    // cppcheck-suppress unusedStructMember ; read through an iterator, which cppcheck misses
    std::wstring text;
    std::optional<LONG> number;
  };

  explicit PropertyObject(std::vector<Property> properties) : properties_(std::move(properties)) {}

  HRESULT STDMETHODCALLTYPE Get(LPCWSTR name, LONG /*flags*/, VARIANT* value, CIMTYPE* type,
                                LONG* flavor) override {
    if (name == nullptr) {
      return WBEM_E_INVALID_PARAMETER;
    }
    const auto found =
        std::find_if(properties_.begin(), properties_.end(),
                     [name](const Property& p) { return EqualsIgnoringCase(p.name, name); });
    if (found == properties_.end()) {
      return WBEM_E_NOT_FOUND;
    }
    if (type != nullptr) {
      *type = 0;
    }
    if (flavor != nullptr) {
      *flavor = 0;
    }
    if (value != nullptr) {
      VariantInit(value);
      if (found->number) {
        value->vt = VT_I4;
        value->lVal = *found->number;
      } else {
        value->bstrVal =
            SysAllocStringLen(found->text.data(), static_cast<UINT>(found->text.size()));
        if (value->bstrVal == nullptr) {
          return E_OUTOFMEMORY;
        }
        value->vt = VT_BSTR;
      }
    }
    return WBEM_S_NO_ERROR;
  }

 private:
  std::vector<Property> properties_;
};

class ObjectEnumerator final
    : public RefCounted<EnumWbemClassObjectStubs, IID_IEnumWbemClassObject> {
 public:
  explicit ObjectEnumerator(std::vector<std::vector<PropertyObject::Property>> objects)
      : objects_(std::move(objects)) {}

  HRESULT STDMETHODCALLTYPE Next(LONG /*timeout*/, ULONG count, IWbemClassObject** objects,
                                 ULONG* returned) override {
    if (objects == nullptr || returned == nullptr) {
      return WBEM_E_INVALID_PARAMETER;
    }
    ULONG handed = 0;
    while (handed < count && next_ < objects_.size()) {
      objects[handed++] = new PropertyObject(std::move(objects_[next_++]));
    }
    *returned = handed;
    return handed == count ? WBEM_S_NO_ERROR : WBEM_S_FALSE;
  }

 private:
  std::vector<std::vector<PropertyObject::Property>> objects_;
  std::size_t next_ = 0;
};

// WQL split into words (lower-cased), quoted strings (kept as written) and symbols.
std::vector<std::wstring> Tokens(std::wstring_view query) {
  std::vector<std::wstring> tokens;
  std::size_t i = 0;
  while (i < query.size()) {
    const wchar_t c = query[i];
    if (IsSpace(c)) {
      ++i;
    } else if (IsWordCharacter(c)) {
      std::wstring word;
      while (i < query.size() && IsWordCharacter(query[i])) {
        word += AsciiLower(query[i++]);
      }
      tokens.push_back(std::move(word));
    } else if (c == L'\'' || c == L'"') {
      const std::size_t close = query.find(c, i + 1);
      if (close == std::wstring_view::npos) {
        return {};  // an unterminated string is not WQL
      }
      tokens.emplace_back(query.substr(i, close - i + 1));
      i = close + 1;
    } else if (c == L'<' && i + 1 < query.size() && query[i + 1] == L'>') {
      tokens.emplace_back(L"<>");
      i += 2;
    } else {
      tokens.emplace_back(1, c);
      ++i;
    }
  }
  return tokens;
}

// Matches `tokens` against `shape`, where "?" stands for one quoted string, whose content is
// returned.
std::optional<std::wstring> Match(const std::vector<std::wstring>& tokens,
                                  std::initializer_list<std::wstring_view> shape) {
  if (tokens.size() != shape.size()) {
    return std::nullopt;
  }
  std::wstring argument;
  auto token = tokens.begin();
  for (const std::wstring_view expected : shape) {
    if (expected == L"?") {
      if (token->size() < 2 || (token->front() != L'\'' && token->front() != L'"')) {
        return std::nullopt;
      }
      argument = token->substr(1, token->size() - 2);
    } else if (*token != expected) {
      return std::nullopt;
    }
    ++token;
  }
  return argument;
}

class SysfsServices final : public RefCounted<WbemServicesStubs, IID_IWbemServices> {
 public:
  // One look at sysfs per connection, and the tool keeps its connection for the whole run: every
  // query sees the same adapters, and none reads the tree again.
  explicit SysfsServices(std::vector<Adapter> adapters) : adapters_(std::move(adapters)) {}

  HRESULT STDMETHODCALLTYPE ExecQuery(const BSTR language, const BSTR query, LONG /*flags*/,
                                      IWbemContext* /*context*/,
                                      IEnumWbemClassObject** enumerator) override {
    if (enumerator == nullptr) {
      return WBEM_E_INVALID_PARAMETER;
    }
    *enumerator = nullptr;
    if (language == nullptr || query == nullptr ||
        !EqualsIgnoringCase({language, SysStringLen(language)}, L"WQL")) {
      return WBEM_E_INVALID_QUERY_TYPE;
    }
    std::vector<Object> objects;
    const HRESULT status = Answer(Tokens({query, SysStringLen(query)}), objects);
    if (FAILED(status)) {
      return status;
    }
    *enumerator = new ObjectEnumerator(std::move(objects));
    return WBEM_S_NO_ERROR;
  }

 private:
  using Object = std::vector<PropertyObject::Property>;

  HRESULT Answer(const std::vector<std::wstring>& tokens, std::vector<Object>& objects) const {
    if (Match(tokens, {L"select", L"*", L"from", L"win32_networkadapterconfiguration", L"where",
                       L"macaddress", L"<>", L"null"})) {
      for (const Adapter& adapter : adapters_) {
        objects.push_back({{L"__CLASS", L"Win32_NetworkAdapterConfiguration", std::nullopt},
                           {L"Index", {}, static_cast<LONG>(adapter.index)},
                           {L"MACAddress", adapter.macAddress, std::nullopt}});
      }
      return WBEM_S_NO_ERROR;
    }
    if (const std::optional<std::wstring> id =
            Match(tokens, {L"associators", L"of", L"{", L"win32_networkadapter", L".", L"deviceid",
                           L"=", L"?", L"}", L"where", L"classdefsonly"})) {
      if (const Adapter* const adapter = FindAdapter(*id)) {
        if (FAILED(adapter->associatorsStatus)) {
          return adapter->associatorsStatus;
        }
        for (const std::wstring& resourceClass : adapter->resourceClasses) {
          objects.push_back({{L"__CLASS", resourceClass, std::nullopt}});
        }
      }
      return WBEM_S_NO_ERROR;
    }
    if (const std::optional<std::wstring> id =
            Match(tokens, {L"select", L"*", L"from", L"win32_networkadapter", L"where", L"deviceid",
                           L"=", L"?"})) {
      if (const Adapter* const adapter = FindAdapter(*id)) {
        objects.push_back({{L"__CLASS", L"Win32_NetworkAdapter", std::nullopt},
                           {L"DeviceID", *id, std::nullopt},
                           {L"Index", {}, static_cast<LONG>(adapter->index)},
                           {L"MACAddress", adapter->macAddress, std::nullopt}});
      }
      return WBEM_S_NO_ERROR;
    }
    return WBEM_E_INVALID_QUERY;
  }

  [[nodiscard]] const Adapter* FindAdapter(const std::wstring& deviceId) const {
    const auto found = std::find_if(
        adapters_.begin(), adapters_.end(),
        [&deviceId](const Adapter& adapter) { return std::to_wstring(adapter.index) == deviceId; });
    return found == adapters_.end() ? nullptr : &*found;
  }

  std::vector<Adapter> adapters_;
};

class SysfsLocator final : public RefCounted<IWbemLocator, IID_IWbemLocator> {
 public:
  explicit SysfsLocator(fs::path sysfsRoot) : sysfsRoot_(std::move(sysfsRoot)) {}

  HRESULT STDMETHODCALLTYPE ConnectServer(const BSTR networkResource, const BSTR /*user*/,
                                          const BSTR /*password*/, const BSTR /*locale*/,
                                          LONG /*securityFlags*/, const BSTR /*authority*/,
                                          IWbemContext* /*context*/,
                                          IWbemServices** services) override {
    if (services == nullptr) {
      return WBEM_E_INVALID_PARAMETER;
    }
    *services = nullptr;
    if (networkResource == nullptr ||
        !EqualsIgnoringCase({networkResource, SysStringLen(networkResource)}, L"ROOT\\CIMV2")) {
      return WBEM_E_INVALID_NAMESPACE;
    }
    std::vector<Adapter> adapters;
    if (const HRESULT status = ReadAdapters(sysfsRoot_, adapters); FAILED(status)) {
      return status;
    }
    *services = new SysfsServices(std::move(adapters));
    return WBEM_S_NO_ERROR;
  }

 private:
  fs::path sysfsRoot_;
};

}  // namespace

IWbemLocator* NewSysfsWbemLocator(const char* sysfsRoot) { return new SysfsLocator(sysfsRoot); }

}  // namespace hwid::posix
