#include "Wmioperationsunit/com_runtime.h"

namespace hwid {
namespace {

class SystemRuntime final : public ComRuntime {
 public:
  HRESULT InitializeEx(LPVOID reserved, DWORD coInit) override {
    return CoInitializeEx(reserved, coInit);
  }
  HRESULT InitializeSecurity(PSECURITY_DESCRIPTOR securityDescriptor, LONG authSvcCount,
                             SOLE_AUTHENTICATION_SERVICE* authSvc, void* reserved1,
                             DWORD authnLevel, DWORD impLevel, void* authList, DWORD capabilities,
                             void* reserved3) override {
    return CoInitializeSecurity(securityDescriptor, authSvcCount, authSvc, reserved1, authnLevel,
                                impLevel, authList, capabilities, reserved3);
  }
  HRESULT CreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID iid,
                         LPVOID* object) override {
    return CoCreateInstance(clsid, outer, context, iid, object);
  }
  HRESULT SetProxyBlanket(IUnknown* proxy, DWORD authnSvc, DWORD authzSvc,
                          OLECHAR* serverPrincipalName, DWORD authnLevel, DWORD impLevel,
                          RPC_AUTH_IDENTITY_HANDLE authInfo, DWORD capabilities) override {
    return CoSetProxyBlanket(proxy, authnSvc, authzSvc, serverPrincipalName, authnLevel, impLevel,
                             authInfo, capabilities);
  }
  void Uninitialize() override { CoUninitialize(); }
};

}  // namespace

ComRuntime& SystemComRuntime() {
  static SystemRuntime runtime;
  return runtime;
}

}  // namespace hwid
