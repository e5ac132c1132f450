// TWMIOperations: a text-only view of WMI on the local computer. One connection to ROOT\CIMV2 is
// made on the first query and kept for every later one; a failed query drops it. Every failure
// becomes an empty or shorter tab-joined list.
#pragma once

#include <string>

#include "Wmioperationsunit/com_runtime.h"
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

 private:
  // Runs `query` and joins the non-empty texts readValue makes of the objects it yields.
  template <class ReadValue>
  std::wstring Enumerate(const std::wstring& query, ReadValue readValue);
  void Disconnect();

  // Declared in this order so that destruction releases services before locator.
  com_ptr<IWbemLocator> locator;
  com_ptr<IWbemServices> services;
  bool securityInitialised = false;
  ComRuntime& com;
};

// The process-wide instance, created on first use.
TWMIOperations& GetWMIOperations();

extern "C" {
// Module hooks, run by start-up before the program's entry point and by exit after it.
void WmioperationsunitInitialize();
void WmioperationsunitFinalize();
}

}  // namespace hwid
