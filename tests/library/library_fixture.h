// Scripted machines for the library's thread. A script handed to the library's thread is never
// destroyed (a thread it abandoned may still use it) and stays reachable, so leak checks pass.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "Wmioperationsunit/wmi_operations.h"
#include "identifier/identifier.h"
#include "library/worker.h"
#include "tests/fakes/scripted_wmi.h"
#include "tests/unit/wmi_fixture.h"

namespace hwid::testing {

// Three adapters, two owning a resource: the identifier holds two of the three addresses.
inline const std::vector<Adapter> kLibraryAdapters = {
    {1, L"00:50:56:C0:00:08", {L"Win32_IRQResource"}},
    {2, L"00:0C:29:AA:BB:CC", {}},
    {7, L"00:1A:2B:3C:4D:5E", {L"Win32_PortResource"}}};

// A new script of kLibraryAdapters that lives as long as the process.
inline fakes::ScriptedWmi& LastingScript() {
  static auto* const scripts = new std::vector<std::unique_ptr<fakes::ScriptedWmi>>();
  fakes::ScriptedWmi& script = *scripts->emplace_back(std::make_unique<fakes::ScriptedWmi>());
  ScriptAdapters(script, kLibraryAdapters);
  return script;
}

// A scripted machine that several threads may read at once, as the real one can: each thread
// reads a script of its own, made for it by `setUp` on its first call.
class ScriptPerThread final : public ComRuntime {
 public:
  explicit ScriptPerThread(std::function<void(fakes::ScriptedWmi&)> setUp)
      : setUp_(std::move(setUp)) {}

  HRESULT InitializeEx(LPVOID reserved, DWORD coInit) override {
    return Mine().InitializeEx(reserved, coInit);
  }
  HRESULT InitializeSecurity(PSECURITY_DESCRIPTOR securityDescriptor, LONG authSvcCount,
                             SOLE_AUTHENTICATION_SERVICE* authSvc, void* reserved1,
                             DWORD authnLevel, DWORD impLevel, void* authList, DWORD capabilities,
                             void* reserved3) override {
    return Mine().InitializeSecurity(securityDescriptor, authSvcCount, authSvc, reserved1,
                                     authnLevel, impLevel, authList, capabilities, reserved3);
  }
  HRESULT CreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID iid,
                         LPVOID* object) override {
    return Mine().CreateInstance(clsid, outer, context, iid, object);
  }
  HRESULT SetProxyBlanket(IUnknown* proxy, DWORD authnSvc, DWORD authzSvc,
                          OLECHAR* serverPrincipalName, DWORD authnLevel, DWORD impLevel,
                          RPC_AUTH_IDENTITY_HANDLE authInfo, DWORD capabilities) override {
    return Mine().SetProxyBlanket(proxy, authnSvc, authzSvc, serverPrincipalName, authnLevel,
                                  impLevel, authInfo, capabilities);
  }
  void Uninitialize() override { Mine().Uninitialize(); }

  // How many threads have read the machine.
  std::size_t Readers() {
    const std::lock_guard lock(mutex_);
    return scripts_.size();
  }

 private:
  fakes::ScriptedWmi& Mine() {
    thread_local std::pair<const ScriptPerThread*, fakes::ScriptedWmi*> mine{nullptr, nullptr};
    if (mine.first != this) {
      const std::lock_guard lock(mutex_);
      mine = {this, scripts_.emplace_back(std::make_unique<fakes::ScriptedWmi>()).get()};
      setUp_(*mine.second);
    }
    return *mine.second;
  }

  std::function<void(fakes::ScriptedWmi&)> setUp_;
  std::mutex mutex_;
  std::vector<std::unique_ptr<fakes::ScriptedWmi>> scripts_;
};

// What the program prints for `output` on the scripted machine, read on this thread.
inline std::string DirectOutput(Output output) {
  fakes::ScriptedWmi script;
  ScriptAdapters(script, kLibraryAdapters);
  TWMIOperations wmi(script);
  return OutputText(output, wmi);
}

}  // namespace hwid::testing
