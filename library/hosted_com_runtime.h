// The COM runtime of the library's thread: the system's (or a script's), with two answers a host
// process can cause read as what they mean for the library.
#pragma once

#include "Wmioperationsunit/com_runtime.h"

namespace hwid::library {

class HostedComRuntime final : public ComRuntime {
 public:
  explicit HostedComRuntime(ComRuntime& base) : base_(base) {}
  HostedComRuntime(const HostedComRuntime&) = delete;
  HostedComRuntime& operator=(const HostedComRuntime&) = delete;
  ~HostedComRuntime() = default;

  // RPC_E_CHANGED_MODE: the thread is already in the other apartment, where WMI works as well.
  // Answered as S_FALSE; that apartment is not ours, so the matching Uninitialize is not passed on.
  HRESULT InitializeEx(LPVOID reserved, DWORD coInit) override;
  // RPC_E_TOO_LATE: the process's security is already set (by the host, or by an earlier thread
  // of the library). Answered as S_OK.
  HRESULT InitializeSecurity(PSECURITY_DESCRIPTOR securityDescriptor, LONG authSvcCount,
                             SOLE_AUTHENTICATION_SERVICE* authSvc, void* reserved1,
                             DWORD authnLevel, DWORD impLevel, void* authList, DWORD capabilities,
                             void* reserved3) override;
  HRESULT CreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID iid,
                         LPVOID* object) override;
  HRESULT SetProxyBlanket(IUnknown* proxy, DWORD authnSvc, DWORD authzSvc,
                          OLECHAR* serverPrincipalName, DWORD authnLevel, DWORD impLevel,
                          RPC_AUTH_IDENTITY_HANDLE authInfo, DWORD capabilities) override;
  void Uninitialize() override;

  // Leaves every apartment entered and not yet left, once the connection that entered it is
  // released: each reading is a run of its own, so none keeps COM initialised on the thread.
  void LeaveApartments();

 private:
  ComRuntime& base_;
  int borrowedApartments_ = 0;  // InitializeEx answers turned from RPC_E_CHANGED_MODE, not undone
  int enteredApartments_ = 0;   // successful InitializeEx calls of the base, not yet undone
};

}  // namespace hwid::library
