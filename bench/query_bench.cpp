// QueryPropertyText joining many objects from the scripted WMI; the connection is made before
// timing starts, and the script's own setup and teardown are left out.

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "Wmioperationsunit/wmi_operations.h"
#include "bench/addresses.h"
#include "tests/fakes/scripted_wmi.h"

namespace hwid::bench {
namespace {

constexpr wchar_t kQuery[] =
    L"select * from Win32_NetworkAdapterConfiguration WHERE MACAddress<>null";

void BM_QueryPropertyText(benchmark::State& state) {
  std::vector<fakes::ScriptedObject> objects;
  for (const std::string& address : ShuffledAddresses(state.range(0))) {
    objects.push_back(fakes::WithAddress(std::wstring(address.begin(), address.end())));
  }
  for (auto _ : state) {
    state.PauseTiming();
    auto script = std::make_unique<fakes::ScriptedWmi>();
    script->Answer(kQuery, objects);
    auto wmi = std::make_unique<TWMIOperations>(*script);
    benchmark::DoNotOptimize(wmi->Connect());
    state.ResumeTiming();

    std::wstring text = wmi->QueryPropertyText(kQuery, L"MACAddress");

    state.PauseTiming();
    benchmark::DoNotOptimize(text);
    wmi.reset();
    script.reset();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

BENCHMARK(BM_QueryPropertyText)->Name("QueryPropertyText")->Arg(100)->Arg(10000)->Arg(100000);

}  // namespace
}  // namespace hwid::bench
