// A TWMIOperations of its own over a scripted WMI for each test, and the checks every run must
// pass however it ended: each reference obtained released exactly once, and CoUninitialize once
// for every successful CoInitializeEx except the one the live connection keeps.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Wmioperationsunit/wmi_operations.h"
#include "tests/fakes/scripted_wmi.h"

namespace hwid::testing {

// The fixed WQL texts, written out here so a changed text in the tool shows.
inline const std::wstring kAllAddressesQuery =
    L"select * from Win32_NetworkAdapterConfiguration WHERE MACAddress<>null";
inline const std::wstring kIndexesQuery =
    L"select * from Win32_NetworkAdapterConfiguration where MACAddress<>null";
inline std::wstring AssociatedClassesQuery(const std::wstring& index) {
  return L"associators of {Win32_NetworkAdapter.DeviceID='" + index + L"'} WHERE ClassDefsOnly";
}
inline std::wstring AdapterAddressQuery(const std::wstring& index) {
  return L"select * from win32_networkadapter where DeviceID='" + index + L"'";
}

// One network adapter as WMI describes it: its index, its address and the classes associated
// with it (resource classes make it physical).
struct Adapter {
  std::uint32_t index;
  std::wstring address;
  std::vector<std::wstring> classes;
};

// Answers the four query shapes the adapter selection sends, in the adapters' order.
inline void ScriptAdapters(fakes::ScriptedWmi& script, const std::vector<Adapter>& adapters) {
  std::vector<fakes::ScriptedObject> addresses;
  std::vector<fakes::ScriptedObject> indexes;
  for (const Adapter& adapter : adapters) {
    addresses.push_back(fakes::WithAddress(adapter.address));
    indexes.push_back(fakes::WithProperty(
        L"Index", fakes::PropertyValue::I4(static_cast<std::int32_t>(adapter.index))));
    std::vector<fakes::ScriptedObject> classes;
    for (const std::wstring& className : adapter.classes) {
      classes.push_back(fakes::ClassDefinition(className));
    }
    const std::wstring index = std::to_wstring(adapter.index);
    script.Answer(AssociatedClassesQuery(index), std::move(classes));
    script.Answer(AdapterAddressQuery(index), {fakes::WithAddress(adapter.address)});
  }
  script.Answer(kAllAddressesQuery, std::move(addresses));
  script.Answer(kIndexesQuery, std::move(indexes));
}

// Checks that a finished run left COM balanced; the connection, if live, is dropped first.
inline void ExpectBalanced(const fakes::ScriptedWmi& script, int liveConnections) {
  EXPECT_EQ(script.ReferencesHeld(), 0) << script.LedgerReport();
  EXPECT_EQ(script.OverReleases(), 0) << script.LedgerReport();
  EXPECT_EQ(script.Uninitializations(), script.SuccessfulInitializations() - liveConnections);
}

class ScriptedWmiTest : public ::testing::Test {
 protected:
  TWMIOperations& Wmi() {
    if (!wmi_) {
      wmi_.emplace(script);
    }
    return *wmi_;
  }

  // Destroys the service and checks the balance; TearDown does it for tests that do not.
  void Finish() {
    if (finished_) {
      return;
    }
    finished_ = true;
    const int liveConnections = script.LiveConnections();
    EXPECT_LE(liveConnections, 1);
    wmi_.reset();
    ExpectBalanced(script, liveConnections);
  }

  void TearDown() override { Finish(); }

  fakes::ScriptedWmi script;

 private:
  std::optional<TWMIOperations> wmi_;
  bool finished_ = false;
};

}  // namespace hwid::testing
