// Composition from an address list of growing size: the time per address should stay nearly
// flat (the sort adds a logarithmic factor, string building must add nothing).

#include <benchmark/benchmark.h>

#include <string>

#include "bench/addresses.h"
#include "identifier/identifier.h"

namespace hwid::bench {
namespace {

std::string AddressText(std::int64_t count) {
  std::string text;
  for (const std::string& address : ShuffledAddresses(count)) {
    text += text.empty() ? "" : "\t";
    text += address;
  }
  return text;
}

template <std::string (*Compose)(std::string_view, std::string_view)>
void BM_Compose(benchmark::State& state) {
  const std::string addresses = AddressText(state.range(0));
  for (auto _ : state) {
    benchmark::DoNotOptimize(Compose("305419896", addresses));
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The sort alone, to tell its n log n share from the linear rest of the composition.
void BM_SortedAddressLines(benchmark::State& state) {
  const std::string addresses = AddressText(state.range(0));
  for (auto _ : state) {
    benchmark::DoNotOptimize(SortedAddressLines(addresses));
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

BENCHMARK(BM_Compose<ComposeCurrentIdentifier>)
    ->Name("ComposeCurrentIdentifier")
    ->Arg(1)
    ->Arg(100)
    ->Arg(10000)
    ->Arg(100000);
BENCHMARK(BM_Compose<ComposeLegacyIdentifier>)
    ->Name("ComposeLegacyIdentifier")
    ->Arg(1)
    ->Arg(100)
    ->Arg(10000)
    ->Arg(100000);
BENCHMARK(BM_SortedAddressLines)
    ->Name("SortedAddressLines")
    ->Arg(1)
    ->Arg(100)
    ->Arg(10000)
    ->Arg(100000);

}  // namespace
}  // namespace hwid::bench
