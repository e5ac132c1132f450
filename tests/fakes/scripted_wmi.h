// A scripted COM runtime and WMI for tests: every query text answers a list of objects with typed
// property values, any call can be made to fail, every call is logged in order with its
// arguments, and every AddRef/Release is counted per object. The script owns the COM objects it
// hands out, so a release too many is recorded instead of freeing memory twice.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Wmioperationsunit/com_runtime.h"
#include "platform/win32.h"

namespace hwid::fakes {

// The calls the script can make fail.
enum class Step {
  CoInitializeEx,
  CoInitializeSecurity,
  CoCreateInstance,
  ConnectServer,
  CoSetProxyBlanket,
  ExecQuery,
  Next,
  Get,
};

std::string_view StepName(Step step);

// WMI failure codes as HRESULTs. The Windows SDK declares them as enumerators whose values do
// not fit a long, so they take an explicit conversion there.
inline constexpr HRESULT kWbemFailed = static_cast<HRESULT>(WBEM_E_FAILED);
inline constexpr HRESULT kWbemNotFound = static_cast<HRESULT>(WBEM_E_NOT_FOUND);
inline constexpr HRESULT kWbemInvalidParameter = static_cast<HRESULT>(WBEM_E_INVALID_PARAMETER);
inline constexpr HRESULT kWbemInvalidQuery = static_cast<HRESULT>(WBEM_E_INVALID_QUERY);

// One property value as Get hands it out.
struct PropertyValue {
  VARTYPE type = VT_EMPTY;
  std::wstring text;         // VT_BSTR
  std::int64_t integer = 0;  // integer types, VT_BOOL
  double real = 0;           // VT_DATE, VT_R8, VT_R4

  static PropertyValue Bstr(std::wstring_view text);
  static PropertyValue I4(std::int32_t value);
  static PropertyValue Uint(std::uint32_t value);
  static PropertyValue Date(double dayNumber);
  static PropertyValue Null();
  static PropertyValue Integer(VARTYPE type, std::int64_t value);
  static PropertyValue Real(VARTYPE type, double value);
};

// Writes `property` into `value` as Get does, without clearing what `value` held.
void WriteVariant(const PropertyValue& property, VARIANT& value);

// One result object of a query.
struct ScriptedObject {
  std::vector<std::pair<std::wstring, PropertyValue>> properties;
  // What Next returns while handing out this object.
  HRESULT nextStatus = S_OK;
  // What Get returns; the value is written whatever the status.
  HRESULT getStatus = S_OK;
};

// An object with one property.
ScriptedObject WithProperty(std::wstring name, PropertyValue value);
// An object with a "MACAddress" string.
ScriptedObject WithAddress(std::wstring_view address);
// A class definition as an associators query with ClassDefsOnly yields it.
ScriptedObject ClassDefinition(std::wstring_view className);

// A fallible call as it happened: the step and its 1-based count among calls of that step.
struct FaultPoint {
  Step step;
  int occurrence;
  friend bool operator==(const FaultPoint&, const FaultPoint&) = default;
};

// Where scripted calls wait: closed until opened, then open for good. Calls may wait at it from
// any thread; one that any thread may still wait at must never be destroyed.
class Gate {
 public:
  void Open();
  void Wait();

 private:
  std::mutex mutex_;
  std::condition_variable opened_;
  bool open_ = false;
};

class ScriptedWmi final : public ComRuntime {
 public:
  ScriptedWmi();
  ScriptedWmi(const ScriptedWmi&) = delete;
  ScriptedWmi& operator=(const ScriptedWmi&) = delete;
  ~ScriptedWmi();

  // What ExecQuery of `query` enumerates; script every answer before the first query runs. A
  // query without an answer fails as an invalid query, as WMI's parser would fail it.
  void Answer(std::wstring_view query, std::vector<ScriptedObject> objects);

  // The occurrence-th call (1-based) of `step` returns `status`. A negative status is a failure
  // that hands out nothing; a positive one (CoInitializeEx's S_FALSE) succeeds.
  void SetStatus(Step step, int occurrence, HRESULT status);
  void Fail(Step step, int occurrence, HRESULT status = E_FAIL) {
    SetStatus(step, occurrence, status);
  }
  // The occurrence-th call of `step` never returns, as a broken WMI repository can do. A script
  // that hangs must never be destroyed.
  void Hang(Step step, int occurrence) { hangs_.insert({{step, occurrence}, &never_}); }
  // The occurrence-th call of `step` waits until `gate` opens (at once if it is open), as a stuck
  // provider that finally answers does; then it goes on as scripted.
  void HangUntil(Step step, int occurrence, Gate& gate) {
    hangs_.insert({{step, occurrence}, &gate});
  }
  // How many calls are hanging; once a caller sees one, it sees every call the script logged
  // before it.
  [[nodiscard]] int Hanging() const { return hanging_.load(std::memory_order_acquire); }

  // Every call in order, AddRef and Release included, as readable text.
  [[nodiscard]] const std::vector<std::string>& Log() const { return log_; }
  // The log without AddRef and Release.
  [[nodiscard]] std::vector<std::string> Calls() const;
  // The text of every ExecQuery, in order.
  [[nodiscard]] const std::vector<std::wstring>& Queries() const { return queries_; }
  // Every fallible call made, in order.
  [[nodiscard]] const std::vector<FaultPoint>& FaultPoints() const { return faultPoints_; }
  [[nodiscard]] int CallCount(Step step) const;
  [[nodiscard]] int SuccessfulInitializations() const { return successfulInitializations_; }
  [[nodiscard]] int Uninitializations() const { return uninitializations_; }

  // Reference ledger: references still held on objects the script handed out, releases beyond
  // zero, and services objects still referenced (a live connection).
  [[nodiscard]] long ReferencesHeld() const;
  [[nodiscard]] int OverReleases() const;
  [[nodiscard]] int LiveConnections() const;
  // One line per object with a reference held or released too often, for failure messages.
  [[nodiscard]] std::string LedgerReport() const;

  // ComRuntime
  HRESULT InitializeEx(LPVOID reserved, DWORD coInit) override;
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

  // Used by the scripted COM objects.
  struct LedgerEntry {
    std::string name;
    bool isServices = false;
    long references = 1;
    int overReleases = 0;
  };
  LedgerEntry& NewLedgerEntry(std::string_view kind, bool isServices = false);
  void Record(std::string call) { log_.push_back(std::move(call)); }
  void RecordQuery(const OLECHAR* query) { queries_.emplace_back(query == nullptr ? L"" : query); }
  // The status scripted for this call of `step`, S_OK if none; counts the call.
  HRESULT NextStatus(Step step);
  [[nodiscard]] const std::vector<ScriptedObject>* AnswerTo(std::wstring_view query) const;
  // Keeps a COM object alive until the script ends.
  template <class Object, class... Args>
  Object& Make(Args&&... args) {
    auto object = std::make_unique<Object>(std::forward<Args>(args)...);
    Object& made = *object;
    objects_.push_back(std::unique_ptr<Owned>(object.release()));
    return made;
  }
  // The ledger name of an object the script handed out, "unknown" for any other pointer.
  [[nodiscard]] std::string NameOf(const IUnknown* object) const;

  // Base of the COM objects the script owns: deleted only by the script.
  class Owned {
   public:
    Owned() = default;
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    virtual ~Owned() = default;
    [[nodiscard]] virtual const IUnknown* Identity() const = 0;
    [[nodiscard]] virtual const LedgerEntry& Entry() const = 0;
  };

 private:
  std::map<std::wstring, std::vector<ScriptedObject>, std::less<>> answers_;
  std::map<std::pair<Step, int>, HRESULT> statuses_;
  std::map<std::pair<Step, int>, Gate*> hangs_;
  Gate never_;  // never opened
  std::atomic<int> hanging_{0};
  std::map<Step, int> counts_;
  std::vector<std::string> log_;
  std::vector<std::wstring> queries_;
  std::vector<FaultPoint> faultPoints_;
  std::deque<LedgerEntry> ledger_;
  std::map<std::string, int, std::less<>> kindCounts_;
  std::vector<std::unique_ptr<Owned>> objects_;
  int successfulInitializations_ = 0;
  int uninitializations_ = 0;
};

// A narrow, readable copy of UTF-16 text for the log: ASCII kept, anything else as "?".
std::string LogText(std::wstring_view text);

}  // namespace hwid::fakes
