// TWMIOperations: a text-only view of WMI on the local computer. One connection to ROOT\CIMV2 is
// made on the first query and kept for every later one; a failed query drops it. Every failure
// becomes an empty or shorter tab-joined list, and is recorded beside it as a fault.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "Wmioperationsunit/com_runtime.h"
#include "hwid/fault.h"
#include "platform/com.h"

namespace hwid {

class TWMIOperations {
 public:
  explicit TWMIOperations(ComRuntime& runtime = SystemComRuntime());
  TWMIOperations(const TWMIOperations&) = delete;
  TWMIOperations& operator=(const TWMIOperations&) = delete;
  ~TWMIOperations() = default;

  // The stored connection, connecting first if there is none; null when connecting fails.
  IWbemServices* Connect();

  // The values of `property` of every object `query` yields, tab-joined, in enumeration order.
  std::wstring QueryPropertyText(const std::wstring& query, const std::wstring& property);

  // The "__CLASS" of every object `query` yields, tab-joined, in enumeration order.
  std::wstring QueryClassNames(const std::wstring& query);

  // Appends to `into` every distinct call that failed since the last time, in the order first
  // met, and forgets them. Recording changes no step: the texts above are what they would be
  // without it.
  void TakeFaults(std::vector<Fault>& into);

  // While the returned scope lives, the faults of queries are recorded as about adapter `index`.
  class AdapterScope {
   public:
    AdapterScope(const AdapterScope&) = delete;
    AdapterScope& operator=(const AdapterScope&) = delete;
    ~AdapterScope() { owner_.adapter.clear(); }

   private:
    friend class TWMIOperations;
    explicit AdapterScope(TWMIOperations& owner) : owner_(owner) {}
    TWMIOperations& owner_;
  };
  [[nodiscard]] AdapterScope AboutAdapter(std::string_view index);

 private:
  // Runs `query` and joins the non-empty texts readValue makes of the objects it yields.
  template <class ReadValue>
  std::wstring Enumerate(const std::wstring& query, ReadValue readValue);
  void Disconnect();
  // Records a failed connection step and drops what the attempt made.
  IWbemServices* ConnectionFailed(FaultStage stage, HRESULT status);
  void Record(FaultStage stage, HRESULT status, const std::wstring& query = {},
              std::wstring_view property = {});

  // Declared in this order so that destruction releases services before locator.
  com_ptr<IWbemLocator> locator;
  com_ptr<IWbemServices> services;
  bool securityInitialised = false;
  ComRuntime& com;
  std::vector<Fault> faults;
  std::string adapter;  // the adapter queries are about, if any
};

// The process-wide instance, created on first use.
TWMIOperations& GetWMIOperations();

extern "C" {
// Module hooks, run by start-up before the program's entry point and by exit after it.
void WmioperationsunitInitialize();
void WmioperationsunitFinalize();
}

}  // namespace hwid
