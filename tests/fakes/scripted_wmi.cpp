#include "tests/fakes/scripted_wmi.h"

#include <algorithm>
#include <cstdio>

#include "platform/wbem_stubs.h"

namespace hwid::fakes {
namespace {

std::string Pointer(const void* pointer) { return pointer == nullptr ? "null" : "ptr"; }

std::string Quoted(const OLECHAR* text) {
  if (text == nullptr) {
    return "null";
  }
  return '"' + LogText(text) + '"';
}

std::string Hex(unsigned long value) {
  char buffer[16];
  // Sized for any unsigned long: the length returned says nothing new.
  static_cast<void>(std::snprintf(buffer, sizeof buffer, "0x%lx", value));
  return buffer;
}

std::string GuidName(const GUID& guid) {
  if (guid == CLSID_WbemLocator) {
    return "CLSID_WbemLocator";
  }
  if (guid == IID_IWbemLocator) {
    return "IID_IWbemLocator";
  }
  if (guid == IID_IUnknown) {
    return "IID_IUnknown";
  }
  return "other GUID";
}

// A COM object of the script: the ledger counts its references, the script frees it.
template <class Interface>
class Counted : public Interface, public ScriptedWmi::Owned {
 public:
  Counted(ScriptedWmi& script, const IID& iid, std::string_view kind, bool isServices = false)
      : script_(script), iid_(iid), entry_(script.NewLedgerEntry(kind, isServices)) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) {
      return E_POINTER;
    }
    if (iid == IID_IUnknown || iid == iid_) {
      *object = static_cast<Interface*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override {
    script_.Record("AddRef(" + entry_.name + ")");
    return static_cast<ULONG>(++entry_.references);
  }
  ULONG STDMETHODCALLTYPE Release() override {
    script_.Record("Release(" + entry_.name + ")");
    if (entry_.references <= 0) {
      ++entry_.overReleases;
      return 0;
    }
    return static_cast<ULONG>(--entry_.references);
  }

  [[nodiscard]] const IUnknown* Identity() const override {
    return static_cast<const Interface*>(this);
  }
  [[nodiscard]] const ScriptedWmi::LedgerEntry& Entry() const override { return entry_; }

 protected:
  [[nodiscard]] ScriptedWmi& Script() const { return script_; }
  [[nodiscard]] const std::string& Name() const { return entry_.name; }

 private:
  ScriptedWmi& script_;
  const IID& iid_;
  ScriptedWmi::LedgerEntry& entry_;
};

class ClassObject final : public Counted<WbemClassObjectStubs> {
 public:
  ClassObject(ScriptedWmi& script, const ScriptedObject& scripted)
      : Counted(script, IID_IWbemClassObject, "object"), scripted_(scripted) {}

  HRESULT STDMETHODCALLTYPE Get(LPCWSTR name, LONG flags, VARIANT* value, CIMTYPE* type,
                                LONG* flavor) override {
    Script().Record("Get(" + Name() + ", " + Quoted(name) + ", " + std::to_string(flags) + ", " +
                    Pointer(value) + ", " + Pointer(type) + ", " + Pointer(flavor) + ")");
    const HRESULT status = Script().NextStatus(Step::Get);
    if (FAILED(status)) {
      return status;
    }
    if (name == nullptr || value == nullptr) {
      return kWbemInvalidParameter;
    }
    const std::wstring_view wanted(name);
    const auto found =
        std::find_if(scripted_.properties.begin(), scripted_.properties.end(),
                     [wanted](const auto& property) { return property.first == wanted; });
    if (found == scripted_.properties.end()) {
      return kWbemNotFound;
    }
    WriteVariant(found->second, *value);
    return scripted_.getStatus;
  }

 private:
  const ScriptedObject& scripted_;
};

class Enumerator final : public Counted<EnumWbemClassObjectStubs> {
 public:
  Enumerator(ScriptedWmi& script, const std::vector<ScriptedObject>& objects)
      : Counted(script, IID_IEnumWbemClassObject, "enumerator"), objects_(objects) {}

  HRESULT STDMETHODCALLTYPE Next(LONG timeout, ULONG count, IWbemClassObject** objects,
                                 ULONG* returned) override {
    Script().Record("Next(" + Name() + ", " + std::to_string(timeout) + ", " +
                    std::to_string(count) + ", " + Pointer(objects) + ", " + Pointer(returned) +
                    ")");
    const HRESULT status = Script().NextStatus(Step::Next);
    if (objects == nullptr || returned == nullptr) {
      return kWbemInvalidParameter;
    }
    *returned = 0;
    for (ULONG i = 0; i < count; ++i) {
      objects[i] = nullptr;
    }
    if (FAILED(status)) {
      return status;
    }
    HRESULT answer = status;
    while (*returned < count && position_ < objects_.size()) {
      const ScriptedObject& scripted = objects_[position_++];
      objects[(*returned)++] = &Script().Make<ClassObject>(Script(), scripted);
      if (scripted.nextStatus != S_OK) {
        answer = scripted.nextStatus;
      }
    }
    // Fewer objects than asked for: WBEM_S_FALSE, as WMI answers at the end of the results.
    if (*returned < count && SUCCEEDED(answer)) {
      return S_FALSE;
    }
    return answer;
  }

 private:
  const std::vector<ScriptedObject>& objects_;
  std::size_t position_ = 0;
};

class Services final : public Counted<WbemServicesStubs> {
 public:
  explicit Services(ScriptedWmi& script)
      : Counted(script, IID_IWbemServices, "services", /*isServices=*/true) {}

  HRESULT STDMETHODCALLTYPE ExecQuery(const BSTR language, const BSTR query, LONG flags,
                                      IWbemContext* context,
                                      IEnumWbemClassObject** enumerator) override {
    Script().Record("ExecQuery(" + Name() + ", " + Quoted(language) + ", " + Quoted(query) + ", " +
                    Hex(static_cast<unsigned long>(flags)) + ", " + Pointer(context) + ")");
    Script().RecordQuery(query);
    const HRESULT status = Script().NextStatus(Step::ExecQuery);
    if (enumerator == nullptr) {
      return kWbemInvalidParameter;
    }
    *enumerator = nullptr;
    if (FAILED(status)) {
      return status;
    }
    const std::vector<ScriptedObject>* answer =
        query == nullptr ? nullptr : Script().AnswerTo(std::wstring_view(query));
    if (answer == nullptr) {
      return kWbemInvalidQuery;
    }
    *enumerator = &Script().Make<Enumerator>(Script(), *answer);
    return status;
  }
};

class Locator final : public Counted<IWbemLocator> {
 public:
  explicit Locator(ScriptedWmi& script) : Counted(script, IID_IWbemLocator, "locator") {}

  HRESULT STDMETHODCALLTYPE ConnectServer(const BSTR resource, const BSTR user, const BSTR password,
                                          const BSTR locale, LONG flags, const BSTR authority,
                                          IWbemContext* context,
                                          IWbemServices** services) override {
    Script().Record("ConnectServer(" + Name() + ", " + Quoted(resource) + ", " + Quoted(user) +
                    ", " + Quoted(password) + ", " + Quoted(locale) + ", " + std::to_string(flags) +
                    ", " + Quoted(authority) + ", " + Pointer(context) + ")");
    const HRESULT status = Script().NextStatus(Step::ConnectServer);
    if (services == nullptr) {
      return kWbemInvalidParameter;
    }
    *services = nullptr;
    if (FAILED(status)) {
      return status;
    }
    *services = &Script().Make<Services>(Script());
    return status;
  }
};

}  // namespace

void WriteVariant(const PropertyValue& property, VARIANT& value) {
  value.vt = property.type;
  switch (property.type) {
    case VT_BSTR:
      value.bstrVal =
          SysAllocStringLen(property.text.data(), static_cast<UINT>(property.text.size()));
      break;
    case VT_DATE:
      value.date = property.real;
      break;
    case VT_R8:
      value.dblVal = property.real;
      break;
    case VT_R4:
      value.fltVal = static_cast<float>(property.real);
      break;
    case VT_I4:
      value.lVal = static_cast<LONG>(property.integer);
      break;
    case VT_UINT:
      value.uintVal = static_cast<UINT>(property.integer);
      break;
    case VT_I2:
      value.iVal = static_cast<short>(property.integer);
      break;
    case VT_BOOL:
      value.boolVal = static_cast<VARIANT_BOOL>(property.integer);
      break;
    default:
      value.llVal = property.integer;
      break;
  }
}

std::string_view StepName(Step step) {
  switch (step) {
    case Step::CoInitializeEx:
      return "CoInitializeEx";
    case Step::CoInitializeSecurity:
      return "CoInitializeSecurity";
    case Step::CoCreateInstance:
      return "CoCreateInstance";
    case Step::ConnectServer:
      return "ConnectServer";
    case Step::CoSetProxyBlanket:
      return "CoSetProxyBlanket";
    case Step::ExecQuery:
      return "ExecQuery";
    case Step::Next:
      return "Next";
    case Step::Get:
      return "Get";
  }
  return "?";
}

PropertyValue PropertyValue::Bstr(std::wstring_view text) {
  PropertyValue value;
  value.type = VT_BSTR;
  value.text = text;
  return value;
}
PropertyValue PropertyValue::I4(std::int32_t value) { return Integer(VT_I4, value); }
PropertyValue PropertyValue::Uint(std::uint32_t value) { return Integer(VT_UINT, value); }
PropertyValue PropertyValue::Date(double dayNumber) { return Real(VT_DATE, dayNumber); }
PropertyValue PropertyValue::Null() { return Integer(VT_NULL, 0); }
PropertyValue PropertyValue::Integer(VARTYPE type, std::int64_t integer) {
  PropertyValue value;
  value.type = type;
  value.integer = integer;
  return value;
}
PropertyValue PropertyValue::Real(VARTYPE type, double real) {
  PropertyValue value;
  value.type = type;
  value.real = real;
  return value;
}

ScriptedObject WithProperty(std::wstring name, PropertyValue value) {
  ScriptedObject object;
  object.properties.emplace_back(std::move(name), std::move(value));
  return object;
}

ScriptedObject WithAddress(std::wstring_view address) {
  return WithProperty(L"MACAddress", PropertyValue::Bstr(address));
}

ScriptedObject ClassDefinition(std::wstring_view className) {
  return WithProperty(L"__CLASS", PropertyValue::Bstr(className));
}

std::string LogText(std::wstring_view text) {
  std::string narrow;
  narrow.reserve(text.size());
  for (const wchar_t unit : text) {
    narrow += static_cast<std::uint32_t>(unit) < 0x80 ? static_cast<char>(unit) : '?';
  }
  return narrow;
}

ScriptedWmi::ScriptedWmi() = default;
ScriptedWmi::~ScriptedWmi() = default;

void ScriptedWmi::Answer(std::wstring_view query, std::vector<ScriptedObject> objects) {
  answers_.insert_or_assign(std::wstring(query), std::move(objects));
}

void ScriptedWmi::SetStatus(Step step, int occurrence, HRESULT status) {
  statuses_[{step, occurrence}] = status;
}

std::vector<std::string> ScriptedWmi::Calls() const {
  std::vector<std::string> calls;
  std::copy_if(log_.begin(), log_.end(), std::back_inserter(calls), [](const std::string& call) {
    return !call.starts_with("AddRef(") && !call.starts_with("Release(");
  });
  return calls;
}

int ScriptedWmi::CallCount(Step step) const {
  const auto found = counts_.find(step);
  return found == counts_.end() ? 0 : found->second;
}

long ScriptedWmi::ReferencesHeld() const {
  long held = 0;
  for (const LedgerEntry& entry : ledger_) {
    held += entry.references;
  }
  return held;
}

int ScriptedWmi::OverReleases() const {
  int count = 0;
  for (const LedgerEntry& entry : ledger_) {
    count += entry.overReleases;
  }
  return count;
}

int ScriptedWmi::LiveConnections() const {
  return static_cast<int>(std::count_if(ledger_.begin(), ledger_.end(), [](const auto& entry) {
    return entry.isServices && entry.references > 0;
  }));
}

std::string ScriptedWmi::LedgerReport() const {
  std::string report;
  for (const LedgerEntry& entry : ledger_) {
    if (entry.references != 0 || entry.overReleases != 0) {
      report += entry.name + ": " + std::to_string(entry.references) + " held, " +
                std::to_string(entry.overReleases) + " released too often\n";
    }
  }
  return report;
}

HRESULT ScriptedWmi::InitializeEx(LPVOID reserved, DWORD coInit) {
  Record("CoInitializeEx(" + Pointer(reserved) + ", " + Hex(coInit) + ")");
  const HRESULT status = NextStatus(Step::CoInitializeEx);
  if (SUCCEEDED(status)) {
    ++successfulInitializations_;
  }
  return status;
}

HRESULT ScriptedWmi::InitializeSecurity(PSECURITY_DESCRIPTOR securityDescriptor, LONG authSvcCount,
                                        SOLE_AUTHENTICATION_SERVICE* authSvc, void* reserved1,
                                        DWORD authnLevel, DWORD impLevel, void* authList,
                                        DWORD capabilities, void* reserved3) {
  Record("CoInitializeSecurity(" + Pointer(securityDescriptor) + ", " +
         std::to_string(authSvcCount) + ", " + Pointer(authSvc) + ", " + Pointer(reserved1) + ", " +
         std::to_string(authnLevel) + ", " + std::to_string(impLevel) + ", " + Pointer(authList) +
         ", " + Hex(capabilities) + ", " + Pointer(reserved3) + ")");
  return NextStatus(Step::CoInitializeSecurity);
}

HRESULT ScriptedWmi::CreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID iid,
                                    LPVOID* object) {
  Record("CoCreateInstance(" + GuidName(clsid) + ", " + Pointer(outer) + ", " + Hex(context) +
         ", " + GuidName(iid) + ")");
  const HRESULT status = NextStatus(Step::CoCreateInstance);
  if (object == nullptr) {
    return E_POINTER;
  }
  *object = nullptr;
  if (FAILED(status)) {
    return status;
  }
  if (!(clsid == CLSID_WbemLocator) || outer != nullptr) {
    return REGDB_E_CLASSNOTREG;
  }
  if (!(iid == IID_IWbemLocator)) {
    return E_NOINTERFACE;
  }
  *object = static_cast<IWbemLocator*>(&Make<Locator>(*this));
  return status;
}

HRESULT ScriptedWmi::SetProxyBlanket(IUnknown* proxy, DWORD authnSvc, DWORD authzSvc,
                                     OLECHAR* serverPrincipalName, DWORD authnLevel, DWORD impLevel,
                                     RPC_AUTH_IDENTITY_HANDLE authInfo, DWORD capabilities) {
  Record("CoSetProxyBlanket(" + NameOf(proxy) + ", " + std::to_string(authnSvc) + ", " +
         std::to_string(authzSvc) + ", " + Quoted(serverPrincipalName) + ", " +
         std::to_string(authnLevel) + ", " + std::to_string(impLevel) + ", " + Pointer(authInfo) +
         ", " + Hex(capabilities) + ")");
  return NextStatus(Step::CoSetProxyBlanket);
}

void ScriptedWmi::Uninitialize() {
  Record("CoUninitialize()");
  ++uninitializations_;
}

ScriptedWmi::LedgerEntry& ScriptedWmi::NewLedgerEntry(std::string_view kind, bool isServices) {
  const int number = ++kindCounts_[std::string(kind)];
  // cppcheck-suppress returnTempReference ; emplace_back returns the element it stored
  return ledger_.emplace_back(
      LedgerEntry{.name = std::string(kind) + std::to_string(number), .isServices = isServices});
}

void Gate::Open() {
  {
    const std::lock_guard lock(mutex_);
    open_ = true;
  }
  opened_.notify_all();
}

void Gate::Wait() {
  std::unique_lock lock(mutex_);
  opened_.wait(lock, [this] { return open_; });
}

HRESULT ScriptedWmi::NextStatus(Step step) {
  const int occurrence = ++counts_[step];
  faultPoints_.push_back({step, occurrence});
  if (const auto hang = hangs_.find({step, occurrence}); hang != hangs_.end()) {
    hanging_.fetch_add(1, std::memory_order_release);
    hang->second->Wait();
    hanging_.fetch_sub(1, std::memory_order_relaxed);
  }
  const auto found = statuses_.find({step, occurrence});
  return found == statuses_.end() ? S_OK : found->second;
}

const std::vector<ScriptedObject>* ScriptedWmi::AnswerTo(std::wstring_view query) const {
  const auto found = answers_.find(query);
  return found == answers_.end() ? nullptr : &found->second;
}

std::string ScriptedWmi::NameOf(const IUnknown* object) const {
  for (const auto& owned : objects_) {
    if (owned->Identity() == object) {
      return owned->Entry().name;
    }
  }
  return object == nullptr ? "null" : "unknown";
}

}  // namespace hwid::fakes
