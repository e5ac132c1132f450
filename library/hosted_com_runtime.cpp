#include "library/hosted_com_runtime.h"

namespace hwid::library {

HRESULT HostedComRuntime::InitializeEx(LPVOID reserved, DWORD coInit) {
  const HRESULT status = base_.InitializeEx(reserved, coInit);
  if (status != RPC_E_CHANGED_MODE) {
    if (SUCCEEDED(status)) {
      ++enteredApartments_;
    }
    return status;
  }
  ++borrowedApartments_;
  return S_FALSE;
}

HRESULT HostedComRuntime::InitializeSecurity(PSECURITY_DESCRIPTOR securityDescriptor,
                                             LONG authSvcCount,
                                             SOLE_AUTHENTICATION_SERVICE* authSvc, void* reserved1,
                                             DWORD authnLevel, DWORD impLevel, void* authList,
                                             DWORD capabilities, void* reserved3) {
  const HRESULT status =
      base_.InitializeSecurity(securityDescriptor, authSvcCount, authSvc, reserved1, authnLevel,
                               impLevel, authList, capabilities, reserved3);
  return status == RPC_E_TOO_LATE ? S_OK : status;
}

HRESULT HostedComRuntime::CreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID iid,
                                         LPVOID* object) {
  return base_.CreateInstance(clsid, outer, context, iid, object);
}

HRESULT HostedComRuntime::SetProxyBlanket(IUnknown* proxy, DWORD authnSvc, DWORD authzSvc,
                                          OLECHAR* serverPrincipalName, DWORD authnLevel,
                                          DWORD impLevel, RPC_AUTH_IDENTITY_HANDLE authInfo,
                                          DWORD capabilities) {
  return base_.SetProxyBlanket(proxy, authnSvc, authzSvc, serverPrincipalName, authnLevel, impLevel,
                               authInfo, capabilities);
}

void HostedComRuntime::Uninitialize() {
  if (borrowedApartments_ > 0) {
    --borrowedApartments_;
    return;
  }
  if (enteredApartments_ > 0) {
    --enteredApartments_;
  }
  base_.Uninitialize();
}

void HostedComRuntime::LeaveApartments() {
  borrowedApartments_ = 0;
  for (; enteredApartments_ > 0; --enteredApartments_) {
    base_.Uninitialize();
  }
}

}  // namespace hwid::library
