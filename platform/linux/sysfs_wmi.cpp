// Linux stand-in only: a WMI provider for the four WQL queries the tool sends, answered from the
// network devices under <sysfs>/class/net. Anything else is an invalid query, as WMI says.

#include "platform/linux/sysfs_wmi.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <memory>
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

struct Adapter {
  DWORD index = 0;
  std::wstring macAddress;  // six upper-case hex pairs joined by colons
  fs::path dir;             // <sysfs>/class/net/<name>
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

struct FileCloser {
  // Read-only: nothing is waiting to be written, so a failing close loses nothing.
  void operator()(std::FILE* stream) const { static_cast<void>(std::fclose(stream)); }
};

// A whole sysfs attribute (they are at most a page), or nothing when it cannot be read.
std::optional<std::string> ReadText(const fs::path& file) {
  const std::unique_ptr<std::FILE, FileCloser> stream(std::fopen(file.c_str(), "r"));
  if (!stream) {
    return std::nullopt;
  }
  std::string text;
  char buffer[4096];
  std::size_t count = 0;
  while ((count = std::fread(buffer, 1, sizeof buffer, stream.get())) > 0) {
    text.append(buffer, count);
  }
  if (std::ferror(stream.get()) != 0) {
    return std::nullopt;
  }
  return text;
}

std::optional<std::string> ReadFirstLine(const fs::path& file) {
  std::optional<std::string> text = ReadText(file);
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

std::optional<unsigned long> ReadNumber(const fs::path& file) {
  const std::optional<std::string> line = ReadFirstLine(file);
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

// Windows lists message-signalled interrupts as IRQ resources too.
bool HasInterrupt(const fs::path& device) {
  bool anyMessageSignalled = false;
  ForEachEntry(device / "msi_irqs",
               [&](const fs::directory_entry&) { anyMessageSignalled = true; });
  const std::optional<unsigned long> irq = ReadNumber(device / "irq");
  return anyMessageSignalled || (irq.has_value() && *irq != 0);
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

struct Ranges {
  bool memory = false;
  bool port = false;
};

// A PCI resource file has one "0xstart 0xend 0xflags" line per region; the flags tell memory from
// I/O. A line of another shape is not a region.
Ranges MemoryAndPortRanges(const fs::path& device) {
  Ranges ranges;
  const std::string text = ReadText(device / "resource").value_or(std::string());
  for (const std::string_view line : Split(text, '\n')) {
    const std::vector<std::string_view> columns = Split(line, ' ');
    if (columns.size() != 3 || !columns[2].starts_with("0x")) {
      continue;
    }
    if (const std::optional<unsigned long> flags = ParseNumber(columns[2].substr(2), 16)) {
      ranges.memory = ranges.memory || (*flags & kResourceMem) != 0;
      ranges.port = ranges.port || (*flags & kResourceIo) != 0;
    }
  }
  return ranges;
}

// The bus device that owns the interface's resources; a virtio device sits on a PCI function.
// Virtual interfaces (veth, bridge, tun) have no device link and so no owner.
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
  if (HasInterrupt(*owner)) {
    classes.emplace_back(L"Win32_IRQResource");
  }
  const Ranges ranges = MemoryAndPortRanges(*owner);
  if (ranges.memory) {
    classes.emplace_back(L"Win32_DeviceMemoryAddress");
  }
  if (ranges.port) {
    classes.emplace_back(L"Win32_PortResource");
  }
  return classes;
}

// Interfaces with a 6-byte non-zero address, loopback excluded, in ascending index order as
// Windows lists adapter configurations.
std::vector<Adapter> ReadAdapters(const fs::path& sysfsRoot) {
  std::vector<Adapter> adapters;
  ForEachEntry(sysfsRoot / "class" / "net", [&adapters](const fs::directory_entry& entry) {
    const fs::path& dir = entry.path();
    const std::optional<unsigned long> type = ReadNumber(dir / "type");
    const std::optional<unsigned long> index = ReadNumber(dir / "ifindex");
    const std::optional<std::string> address = ReadFirstLine(dir / "address");
    if (!type || *type == kArphrdLoopback || !index || !address) {
      return;
    }
    std::optional<std::wstring> mac = MacAddressText(*address);
    if (mac) {
      adapters.push_back({static_cast<DWORD>(*index), std::move(*mac), dir});
    }
  });
  std::sort(adapters.begin(), adapters.end(),
            [](const Adapter& left, const Adapter& right) { return left.index < right.index; });
  return adapters;
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
  explicit SysfsServices(fs::path sysfsRoot) : sysfsRoot_(std::move(sysfsRoot)) {}

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

  [[nodiscard]] std::optional<std::vector<Object>> Answer(
      const std::vector<std::wstring>& tokens) const {
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
        for (std::wstring& resourceClass : ResourceClasses(adapter->dir)) {
          objects.push_back({{L"__CLASS", std::move(resourceClass), std::nullopt}});
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

  [[nodiscard]] std::optional<Adapter> FindAdapter(const std::wstring& deviceId) const {
    for (Adapter& adapter : ReadAdapters(sysfsRoot_)) {
      if (std::to_wstring(adapter.index) == deviceId) {
        // cppcheck-suppress returnStdMoveLocal ; a reference into the list, not a local
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
    if (networkResource == nullptr ||
        !EqualsIgnoringCase({networkResource, SysStringLen(networkResource)}, L"ROOT\\CIMV2")) {
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
