#include "Wmioperationsunit/wmi_operations.h"

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

IWbemServices* TWMIOperations::Connect() {
  if (services) {
    return services.get();
  }
  if (FAILED(com.InitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
    return nullptr;
  }
  if (!securityInitialised) {
    securityInitialised = true;
    if (FAILED(com.InitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT,
                                      RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr))) {
      Disconnect();
      return nullptr;
    }
  }
  if (FAILED(com.CreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                                locator.put_void()))) {
    Disconnect();
    return nullptr;
  }
  const unique_bstr wmiNamespace(kNamespace);
  if (FAILED(locator->ConnectServer(wmiNamespace.get(), nullptr, nullptr, nullptr, 0, nullptr,
                                    nullptr, services.put()))) {
    Disconnect();
    return nullptr;
  }
  if (FAILED(com.SetProxyBlanket(services.get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr,
                                 RPC_C_AUTHN_LEVEL_CALL, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr,
                                 EOAC_NONE))) {
    Disconnect();
    return nullptr;
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
  if (FAILED(connection->ExecQuery(language.get(), queryText.get(),
                                   WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY, nullptr,
                                   enumerator.put()))) {
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
  return Enumerate(
      query, [&property](IWbemClassObject& object, HRESULT /*nextStatus*/, unique_variant& value) {
        // A failed Get leaves no usable value, whatever it wrote.
        if (FAILED(object.Get(property.c_str(), 0, value.put(), nullptr, nullptr))) {
          return std::string();
        }
        return VariantText(value.get());
      });
}

std::wstring TWMIOperations::QueryClassNames(const std::wstring& query) {
  return Enumerate(query, [](IWbemClassObject& object, HRESULT nextStatus, unique_variant& value) {
    const HRESULT getStatus = [&] {
      const unique_bstr name(kClassProperty);
      return object.Get(name.get(), 0, value.put(), nullptr, nullptr);
    }();
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
