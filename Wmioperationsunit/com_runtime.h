// The COM library calls TWMIOperations makes, behind an interface so tests can script every
// answer. The system runtime forwards to the platform's Co* functions.
#pragma once

#include "platform/win32.h"

namespace hwid {

class ComRuntime {
 public:
  ComRuntime() = default;
  ComRuntime(const ComRuntime&) = delete;
  ComRuntime& operator=(const ComRuntime&) = delete;

  virtual HRESULT InitializeEx(LPVOID reserved, DWORD coInit) = 0;
  virtual HRESULT InitializeSecurity(PSECURITY_DESCRIPTOR securityDescriptor, LONG authSvcCount,
                                     SOLE_AUTHENTICATION_SERVICE* authSvc, void* reserved1,
                                     DWORD authnLevel, DWORD impLevel, void* authList,
                                     DWORD capabilities, void* reserved3) = 0;
  virtual HRESULT CreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID iid,
                                 LPVOID* object) = 0;
  virtual HRESULT SetProxyBlanket(IUnknown* proxy, DWORD authnSvc, DWORD authzSvc,
                                  OLECHAR* serverPrincipalName, DWORD authnLevel, DWORD impLevel,
                                  RPC_AUTH_IDENTITY_HANDLE authInfo, DWORD capabilities) = 0;
  virtual void Uninitialize() = 0;

 protected:
  ~ComRuntime() = default;
};

ComRuntime& SystemComRuntime();

}  // namespace hwid
