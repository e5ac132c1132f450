// Linux stand-in only: a WMI provider for the four WQL queries the tool sends, answered from the
// network devices under <sysfs>/class/net. Anything else is an invalid query, as WMI says.

#include "platform/linux/sysfs_wmi.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/com.h"
#include "platform/com_object.h"
#include "platform/wbem_stubs.h"

namespace hwid::posix {
namespace {

namespace fs = std::filesystem;

constexpr int kArphrdLoopback = 772;
constexpr unsigned long kResourceIo = 0x100;   // IORESOURCE_IO
constexpr unsigned long kResourceMem = 0x200;  // IORESOURCE_MEM

struct Adapter {
  DWORD index = 0;
  std::wstring macAddress;  // six upper-case hex pairs joined by colons
  std::vector<std::wstring> resourceClasses;
};

std::optional<std::string> ReadFirstLine(const fs::path& file) {
  std::ifstream stream(file);
  std::string line;
  if (!stream || !std::getline(stream, line)) {
    return std::nullopt;
  }
  return line;
}

std::optional<unsigned long> ReadNumber(const fs::path& file) {
  const std::optional<std::string> line = ReadFirstLine(file);
  if (!line) {
    return std::nullopt;
  }
  unsigned long value = 0;
  const auto [end, error] = std::from_chars(line->data(), line->data() + line->size(), value);
  if (error != std::errc() || end == line->data()) {
    return std::nullopt;
  }
  return value;
}

// "aa:bb:cc:dd:ee:ff" as WMI reports it, or nothing for any other length or an all-zero address.
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

bool HasInterrupt(const fs::path& device) {
  std::error_code error;
  if (fs::is_directory(device / "msi_irqs", error) &&
      fs::directory_iterator(device / "msi_irqs", error) != fs::directory_iterator()) {
    return true;
  }
  const std::optional<unsigned long> irq = ReadNumber(device / "irq");
  return irq.has_value() && *irq != 0;
}

// The flags column of a PCI resource file ("start end flags" per region) tells memory from I/O.
std::pair<bool, bool> MemoryAndPortRanges(const fs::path& device) {
  bool memory = false;
  bool port = false;
  std::ifstream stream(device / "resource");
  std::string start;
  std::string end;
  std::string flags;
  while (stream >> start >> end >> flags) {
    const unsigned long value = std::stoul(flags, nullptr, 16);
    memory = memory || (value & kResourceMem) != 0;
    port = port || (value & kResourceIo) != 0;
  }
  return {memory, port};
}

// The bus device that owns the interface's resources; a virtio device sits on a PCI function.
std::optional<fs::path> ResourceOwner(const fs::path& interfaceDir) {
  std::error_code error;
  fs::path device = fs::canonical(interfaceDir / "device", error);
  if (error) {
    return std::nullopt;
  }
  const fs::path subsystem = fs::canonical(device / "subsystem", error);
  if (!error && subsystem.filename() == "virtio") {
    device = device.parent_path();
  }
  return device;
}

std::vector<std::wstring> ResourceClasses(const fs::path& interfaceDir) {
  std::vector<std::wstring> classes;
  const std::optional<fs::path> owner = ResourceOwner(interfaceDir);
  if (!owner) {
    return classes;
  }
  const auto [memory, port] = MemoryAndPortRanges(*owner);
  if (HasInterrupt(*owner)) {
    classes.emplace_back(L"Win32_IRQResource");
  }
  if (memory) {
    classes.emplace_back(L"Win32_DeviceMemoryAddress");
  }
  if (port) {
    classes.emplace_back(L"Win32_PortResource");
  }
  return classes;
}

std::vector<Adapter> ReadAdapters(const fs::path& sysfsRoot) {
  std::vector<Adapter> adapters;
  std::error_code error;
  for (const fs::directory_entry& entry :
       fs::directory_iterator(sysfsRoot / "class" / "net", error)) {
    const fs::path dir = entry.path();
    const std::optional<unsigned long> type = ReadNumber(dir / "type");
    const std::optional<unsigned long> index = ReadNumber(dir / "ifindex");
    const std::optional<std::string> address = ReadFirstLine(dir / "address");
    if (!type || *type == kArphrdLoopback || !index || !address) {
      continue;
    }
    std::optional<std::wstring> mac = MacAddressText(*address);
    if (!mac) {
      continue;
    }
    adapters.push_back({static_cast<DWORD>(*index), std::move(*mac), ResourceClasses(dir)});
  }
  std::sort(adapters.begin(), adapters.end(),
            [](const Adapter& left, const Adapter& right) { return left.index < right.index; });
  return adapters;
}

bool EqualsIgnoringCase(std::wstring_view left, std::wstring_view right);

// One result object: named values of type VT_BSTR or VT_I4.
class PropertyObject final : public RefCounted<WbemClassObjectStubs, IID_IWbemClassObject> {
 public:
  struct Property {
    std::wstring name;
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
        value->vt = VT_BSTR;
        value->bstrVal =
            SysAllocStringLen(found->text.data(), static_cast<UINT>(found->text.size()));
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
  explicit SysfsServices(fs::path sysfsRoot) : sysfsRoot_(std::move(sysfsRoot)) {}

  HRESULT STDMETHODCALLTYPE ExecQuery(const BSTR language, const BSTR query, LONG /*flags*/,
                                      IWbemContext* /*context*/,
                                      IEnumWbemClassObject** enumerator) override {
    if (enumerator == nullptr) {
      return WBEM_E_INVALID_PARAMETER;
    }
    *enumerator = nullptr;
    if (language == nullptr || query == nullptr ||
        Tokens({language, SysStringLen(language)}) != std::vector<std::wstring>{L"wql"}) {
      return WBEM_E_INVALID_QUERY_TYPE;
    }
    std::optional<std::vector<std::vector<PropertyObject::Property>>> objects =
        Answer(Tokens({query, SysStringLen(query)}));
    if (!objects) {
      return WBEM_E_INVALID_QUERY;
    }
    *enumerator = new ObjectEnumerator(std::move(*objects));
    return WBEM_S_NO_ERROR;
  }

 private:
  using Object = std::vector<PropertyObject::Property>;

  std::optional<std::vector<Object>> Answer(const std::vector<std::wstring>& tokens) const {
    if (Match(tokens, {L"select", L"*", L"from", L"win32_networkadapterconfiguration", L"where",
                       L"macaddress", L"<>", L"null"})) {
      std::vector<Object> objects;
      for (const Adapter& adapter : ReadAdapters(sysfsRoot_)) {
        objects.push_back({{L"__CLASS", L"Win32_NetworkAdapterConfiguration", std::nullopt},
                           {L"Index", {}, static_cast<LONG>(adapter.index)},
                           {L"MACAddress", adapter.macAddress, std::nullopt}});
      }
      return objects;
    }
    if (const std::optional<std::wstring> id =
            Match(tokens, {L"associators", L"of", L"{", L"win32_networkadapter", L".", L"deviceid",
                           L"=", L"?", L"}", L"where", L"classdefsonly"})) {
      std::vector<Object> objects;
      if (const std::optional<Adapter> adapter = FindAdapter(*id)) {
        for (const std::wstring& resourceClass : adapter->resourceClasses) {
          objects.push_back({{L"__CLASS", resourceClass, std::nullopt}});
        }
      }
      return objects;
    }
    if (const std::optional<std::wstring> id =
            Match(tokens, {L"select", L"*", L"from", L"win32_networkadapter", L"where", L"deviceid",
                           L"=", L"?"})) {
      std::vector<Object> objects;
      if (const std::optional<Adapter> adapter = FindAdapter(*id)) {
        objects.push_back({{L"__CLASS", L"Win32_NetworkAdapter", std::nullopt},
                           {L"DeviceID", *id, std::nullopt},
                           {L"Index", {}, static_cast<LONG>(adapter->index)},
                           {L"MACAddress", adapter->macAddress, std::nullopt}});
      }
      return objects;
    }
    return std::nullopt;
  }

  std::optional<Adapter> FindAdapter(const std::wstring& deviceId) const {
    for (Adapter& adapter : ReadAdapters(sysfsRoot_)) {
      if (std::to_wstring(adapter.index) == deviceId) {
        return std::move(adapter);
      }
    }
    return std::nullopt;
  }

  fs::path sysfsRoot_;
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
    if (networkResource == nullptr || Tokens({networkResource, SysStringLen(networkResource)}) !=
                                          std::vector<std::wstring>{L"root", L"\\", L"cimv2"}) {
      return WBEM_E_INVALID_NAMESPACE;
    }
    *services = new SysfsServices(sysfsRoot_);
    return WBEM_S_NO_ERROR;
  }

 private:
  fs::path sysfsRoot_;
};

}  // namespace

IWbemLocator* NewSysfsWbemLocator(const char* sysfsRoot) { return new SysfsLocator(sysfsRoot); }

}  // namespace hwid::posix
