#include "Wmioperationsunit/wmi_operations.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <utility>

#include "Wmioperationsunit/ansi_text.h"
#include "Wmioperationsunit/variant_text.h"

namespace hwid {
namespace {

constexpr wchar_t kNamespace[] = L"ROOT\\CIMV2";
constexpr wchar_t kQueryLanguage[] = L"WQL";
constexpr wchar_t kClassProperty[] = L"__CLASS";

void AppendListItem(std::wstring& list, const std::string& narrowValue) {
  if (!narrowValue.empty()) {
    list += WideText(narrowValue);
    list += L'\t';
  }
}

}  // namespace

TWMIOperations::TWMIOperations(ComRuntime& runtime) : com(runtime) {}

void TWMIOperations::Disconnect() {
  services.reset();
  locator.reset();
  com.Uninitialize();
}

IWbemServices* TWMIOperations::ConnectionFailed(FaultStage stage, HRESULT status) {
  Record(stage, status);
  Disconnect();
  return nullptr;
}

void TWMIOperations::Record(FaultStage stage, HRESULT status, const std::wstring& query,
                            std::wstring_view property) {
  Fault fault{stage, static_cast<std::uint32_t>(status), NarrowText(query), NarrowText(property),
              IsConnectionStage(stage) ? std::string() : adapter};
  // A connection that cannot be made fails again for every query of the run: once says it.
  if (std::find(faults.begin(), faults.end(), fault) == faults.end()) {
    faults.push_back(std::move(fault));
  }
}

void TWMIOperations::TakeFaults(std::vector<Fault>& into) {
  into.insert(into.end(), std::make_move_iterator(faults.begin()),
              std::make_move_iterator(faults.end()));
  faults.clear();
}

TWMIOperations::AdapterScope TWMIOperations::AboutAdapter(std::string_view index) {
  adapter = index;
  return AdapterScope(*this);
}

IWbemServices* TWMIOperations::Connect() {
  if (services) {
    return services.get();
  }
  if (const HRESULT status = com.InitializeEx(nullptr, COINIT_APARTMENTTHREADED); FAILED(status)) {
    Record(FaultStage::ComInitialize, status);
    return nullptr;
  }
  if (!securityInitialised) {
    securityInitialised = true;
    if (const HRESULT status =
            com.InitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT,
                                   RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr);
        FAILED(status)) {
      return ConnectionFailed(FaultStage::ComSecurity, status);
    }
  }
  if (const HRESULT status = com.CreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER,
                                                IID_IWbemLocator, locator.put_void());
      FAILED(status)) {
    return ConnectionFailed(FaultStage::CreateLocator, status);
  }
  const unique_bstr wmiNamespace(kNamespace);
  if (const HRESULT status = locator->ConnectServer(wmiNamespace.get(), nullptr, nullptr, nullptr,
                                                    0, nullptr, nullptr, services.put());
      FAILED(status)) {
    return ConnectionFailed(FaultStage::ConnectServer, status);
  }
  if (const HRESULT status = com.SetProxyBlanket(services.get(), RPC_C_AUTHN_WINNT,
                                                 RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                                                 RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
      FAILED(status)) {
    return ConnectionFailed(FaultStage::ProxyBlanket, status);
  }
  return services.get();
}

template <class ReadValue>
std::wstring TWMIOperations::Enumerate(const std::wstring& query, ReadValue readValue) {
  std::wstring result;
  IWbemServices* const connection = Connect();
  if (connection == nullptr) {
    return result;
  }
  com_ptr<IEnumWbemClassObject> enumerator;
  const unique_bstr language(kQueryLanguage);
  const unique_bstr queryText(query);
  if (const HRESULT status = connection->ExecQuery(
          language.get(), queryText.get(), WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY,
          nullptr, enumerator.put());
      FAILED(status)) {
    Record(FaultStage::ExecQuery, status, query);
    Disconnect();
    return result;
  }
  unique_variant value;
  for (;;) {
    com_ptr<IWbemClassObject> object;
    ULONG returned = 0;
    // The SDK's WBEM_INFINITE is an enumerator of value 0xFFFFFFFF; the parameter is a LONG.
    const HRESULT nextStatus =
        enumerator->Next(static_cast<LONG>(WBEM_INFINITE), 1, object.put(), &returned);
    // WBEM_S_FALSE ends the enumeration; a failure may end it or only spoil this object.
    if (FAILED(nextStatus)) {
      Record(FaultStage::NextObject, nextStatus, query);
    }
    if (returned == 0 || !object) {
      break;
    }
    AppendListItem(result, readValue(*object.get(), nextStatus, value));
    value.reset();
  }
  if (!result.empty() && result.back() == L'\t') {
    result.pop_back();
  }
  return result;
}

std::wstring TWMIOperations::QueryPropertyText(const std::wstring& query,
                                               const std::wstring& property) {
  return Enumerate(query, [this, &query, &property](IWbemClassObject& object,
                                                    HRESULT /*nextStatus*/, unique_variant& value) {
    // A failed Get leaves no usable value, whatever it wrote. Every object of these queries has
    // the property, so its absence is a fault too.
    if (const HRESULT status = object.Get(property.c_str(), 0, value.put(), nullptr, nullptr);
        FAILED(status)) {
      Record(FaultStage::GetProperty, status, query, property);
      return std::string();
    }
    return VariantText(value.get());
  });
}

std::wstring TWMIOperations::QueryClassNames(const std::wstring& query) {
  return Enumerate(
      query, [this, &query](IWbemClassObject& object, HRESULT nextStatus, unique_variant& value) {
        const HRESULT getStatus = [&] {
          const unique_bstr name(kClassProperty);
          return object.Get(name.get(), 0, value.put(), nullptr, nullptr);
        }();
        if (FAILED(getStatus)) {
          Record(FaultStage::GetProperty, getStatus, query, kClassProperty);
        }
        if (FAILED(nextStatus) || FAILED(getStatus) || value.get().vt != VT_BSTR ||
            value.get().bstrVal == nullptr) {
          return std::string();
        }
        return NarrowText({value.get().bstrVal, SysStringLen(value.get().bstrVal)});
      });
}

namespace {

CRITICAL_SECTION instanceLock;
TWMIOperations* instance = nullptr;
int initializationCounter = 0;

// Runs the module hooks around the program's lifetime, the way start-up and exit code do, so
// every executable and test binary that links this module has its lock before first use.
struct ModuleLifetime {
  // Creating the lock cannot fail in a way start-up could recover from.
  ModuleLifetime() noexcept { WmioperationsunitInitialize(); }
  ~ModuleLifetime() { WmioperationsunitFinalize(); }
  ModuleLifetime(const ModuleLifetime&) = delete;
  ModuleLifetime& operator=(const ModuleLifetime&) = delete;
};
const ModuleLifetime moduleLifetime;

}  // namespace

TWMIOperations& GetWMIOperations() {
  EnterCriticalSection(&instanceLock);
  if (instance == nullptr) {
    // Never destroyed: the connection lives until the process ends.
    instance = new TWMIOperations();
  }
  LeaveCriticalSection(&instanceLock);
  return *instance;
}

extern "C" void WmioperationsunitInitialize() {
  if (initializationCounter-- == 0) {
    InitializeCriticalSection(&instanceLock);
  }
}

extern "C" void WmioperationsunitFinalize() { ++initializationCounter; }

}  // namespace hwid
