// A host whose machine never answers: WMI's Next does not return. The call must come back as
// timed out within the limit plus half a second, the next call must get the answer from a fresh
// thread, and the process must end normally with the stuck thread still inside Next.
// Exits 0 when all of that holds.

#include <chrono>
#include <cstdio>
#include <string>

#include "hwid/hwid.h"
#include "tests/library/library_fixture.h"

namespace {

constexpr std::uint32_t kLimitMilliseconds = 1000;
constexpr auto kSlack = std::chrono::milliseconds(500);

bool Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "FAIL: %s\n", what);
  }
  return condition;
}

}  // namespace

int main() {
  hwid::fakes::ScriptedWmi& script = hwid::testing::LastingScript();
  script.Hang(hwid::fakes::Step::Next, 1);
  hwid::library::UseComRuntime(script);
  bool passed = Check(hwid_set_timeout_ms(kLimitMilliseconds) == HWID_STATUS_OK, "limit set");

  char buffer[256];
  std::size_t needed = 0;
  const auto start = std::chrono::steady_clock::now();
  const hwid_status status = hwid_identifier(HWID_LAYOUT_CURRENT, buffer, sizeof buffer, &needed);
  const auto waited = std::chrono::steady_clock::now() - start;
  passed &= Check(status == HWID_STATUS_TIMED_OUT, "first call times out");
  passed &= Check(waited >= std::chrono::milliseconds(kLimitMilliseconds), "waits the limit");
  passed &= Check(waited <= std::chrono::milliseconds(kLimitMilliseconds) + kSlack,
                  "returns within the limit plus 0.5 s");
  passed &= Check(script.Hanging() == 1, "the thread is stuck in Next");
  std::fprintf(stderr, "timed out after %lld ms\n",
               static_cast<long long>(
                   std::chrono::duration_cast<std::chrono::milliseconds>(waited).count()));

  // A fresh thread, with a connection of its own on the same script, whose next Next answers.
  const std::string expected = hwid::testing::DirectOutput(hwid::Output::CurrentIdentifier);
  passed &=
      Check(hwid_identifier(HWID_LAYOUT_CURRENT, buffer, sizeof buffer, &needed) == HWID_STATUS_OK,
            "the next call is answered");
  passed &= Check(buffer == expected, "the answer is the program's");
  return passed ? 0 : 1;
}
