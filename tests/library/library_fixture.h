// Scripted machines for the library's thread. A script handed to the library's thread is never
// destroyed (a thread it abandoned may still use it) and stays reachable, so leak checks pass.
#pragma once

#include <memory>
#include <string>
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

// What the program prints for `output` on the scripted machine, read on this thread.
inline std::string DirectOutput(Output output) {
  fakes::ScriptedWmi script;
  ScriptAdapters(script, kLibraryAdapters);
  TWMIOperations wmi(script);
  return OutputText(output, wmi);
}

}  // namespace hwid::testing
