// The library's readings of this machine: each runs on the library's thread (library/worker.h).

#include <utility>
#include <vector>

#include "hwid/adapter_selection.h"
#include "hwid/identifier.h"
#include "identifier/adapter_selection.h"
#include "identifier/identifier.h"
#include "library/worker.h"

namespace hwid {
namespace {

// `read(wmi)` on the library's thread; its default value when the machine was not read.
template <class Read>
auto ValueOnWorker(Read read) {
  return library::ReadOnWorker(std::move(read)).value;
}

}  // namespace

Reading ReadOutput(Output output) {
  auto outcome =
      library::ReadOnWorker([output](TWMIOperations& wmi) { return ReadOutputText(output, wmi); });
  if (outcome.status != ReadStatus::Ok) {
    return {outcome.status, {}, {}};
  }
  return std::move(outcome.value);
}

std::string BareSerialText() { return ReadOutput(Output::BareSerial).text; }
std::string ComposeLegacyIdentifier() { return ReadOutput(Output::LegacyIdentifier).text; }
std::string ComposeCurrentIdentifier() { return ReadOutput(Output::CurrentIdentifier).text; }

std::string AllAdapterAddresses() {
  return ValueOnWorker([](TWMIOperations& wmi) { return AllAdapterAddresses(wmi); });
}
std::string PhysicalAdapterAddresses() {
  return ValueOnWorker([](TWMIOperations& wmi) { return PhysicalAdapterAddresses(wmi); });
}
std::string AdapterAddressText() {
  return ValueOnWorker([](TWMIOperations& wmi) { return AdapterAddressText(wmi); });
}
AdapterSelection SelectAdapterAddresses() {
  return ValueOnWorker([](TWMIOperations& wmi) { return SelectAdapterAddresses(wmi); });
}
std::vector<AdapterConfiguration> AdapterConfigurations() {
  return ValueOnWorker([](TWMIOperations& wmi) { return AdapterConfigurations(wmi); });
}

}  // namespace hwid
