// COM for TWMIOperations over a sysfs tree made by a test: every call succeeds, and the locator it
// creates reads that tree instead of /sys.
#pragma once

#include <string>
#include <utility>

#include "Wmioperationsunit/com_runtime.h"
#include "platform/com.h"
#include "platform/linux/sysfs_wmi.h"

namespace hwid::testing {

class FixtureComRuntime final : public ComRuntime {
 public:
  explicit FixtureComRuntime(std::string sysfsRoot) : sysfsRoot_(std::move(sysfsRoot)) {}

  HRESULT InitializeEx(LPVOID /*reserved*/, DWORD /*coInit*/) override { return S_OK; }
  HRESULT InitializeSecurity(PSECURITY_DESCRIPTOR /*descriptor*/, LONG /*count*/,
                             SOLE_AUTHENTICATION_SERVICE* /*services*/, void* /*reserved1*/,
                             DWORD /*authnLevel*/, DWORD /*impLevel*/, void* /*authList*/,
                             DWORD /*capabilities*/, void* /*reserved3*/) override {
    return S_OK;
  }
  HRESULT CreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD /*context*/, REFIID iid,
                         LPVOID* object) override {
    if (!(clsid == CLSID_WbemLocator) || outer != nullptr) {
      return REGDB_E_CLASSNOTREG;
    }
    com_ptr<IWbemLocator> locator;
    *locator.put() = posix::NewSysfsWbemLocator(sysfsRoot_.c_str());
    return locator->QueryInterface(iid, object);
  }
  HRESULT SetProxyBlanket(IUnknown* /*proxy*/, DWORD /*authnSvc*/, DWORD /*authzSvc*/,
                          OLECHAR* /*principal*/, DWORD /*authnLevel*/, DWORD /*impLevel*/,
                          RPC_AUTH_IDENTITY_HANDLE /*authInfo*/, DWORD /*capabilities*/) override {
    return S_OK;
  }
  void Uninitialize() override {}

 private:
  std::string sysfsRoot_;
};

}  // namespace hwid::testing
