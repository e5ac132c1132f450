// A host program for the library under Wine. Its calling threads are put into the COM state the
// command line names before they read this machine, through hwid.dll (the C interface) and through
// the static hwid::core (the C++ functions); each caller prints six lines: the bare serial, the
// legacy and the current identifier, from C and then from C++. Callers print in their order.
// Usage: library_host.exe mta | sta | security | threads
// Exits 2 on a bad argument, 3 when the host's own COM set-up fails.

#include <objbase.h>

#include <cstdio>
#include <cstring>
#include <latch>
#include <string>
#include <thread>
#include <vector>

#include "hwid/hwid.h"
#include "hwid/identifier.h"

namespace {

enum class ComState { None, SingleThreaded, MultiThreaded };

std::string CText(hwid_status (*read)(char*, std::size_t, std::size_t*)) {
  char buffer[1024];
  std::size_t needed = 0;
  const hwid_status status = read(buffer, sizeof buffer, &needed);
  return status == HWID_STATUS_OK ? std::string(buffer)
                                  : std::string("status: ") + hwid_status_name(status);
}

// The six answers of one caller.
std::string Answers() {
  std::string lines;
  for (const std::string& answer :
       {CText(hwid_bare_serial), CText([](char*buffer, std::size_t size, std::size_t*needed) {
          return hwid_identifier(HWID_LAYOUT_LEGACY, buffer, size, needed);
        }),
        CText([](char*buffer, std::size_t size, std::size_t*needed) {
          return hwid_identifier(HWID_LAYOUT_CURRENT, buffer, size, needed);
        }),
        hwid::BareSerialText(), hwid::ComposeLegacyIdentifier(),
        hwid::ComposeCurrentIdentifier()}) {
    lines += answer;
    lines += '\n';
  }
  return lines;
}

bool Enter(ComState state) {
  switch (state) {
    case ComState::None:
      return true;
    case ComState::SingleThreaded:
      return SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    case ComState::MultiThreaded:
      return SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  std::vector<ComState> callers;
  if (mode == "mta" || mode == "security") {
    callers = {ComState::MultiThreaded};
  } else if (mode == "sta") {
    callers = {ComState::SingleThreaded};
  } else if (mode == "threads") {
    for (int caller = 0; caller < 8; ++caller) {
      callers.push_back(static_cast<ComState>(caller % 3));
    }
  } else {
    return 2;
  }
  std::vector<std::string> answers(callers.size());
  if (mode != "threads") {
    if (!Enter(callers[0])) {
      return 3;
    }
    if (mode == "security" &&
        FAILED(CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT,
                                    RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr))) {
      return 3;
    }
    answers[0] = Answers();
  } else {
    // Every thread in its state first, then all read at once.
    std::latch ready(static_cast<std::ptrdiff_t>(callers.size()));
    std::vector<std::thread> threads;
    std::vector<char> entered(callers.size(), 0);
    for (std::size_t caller = 0; caller < callers.size(); ++caller) {
      threads.emplace_back([&, caller] {
        entered[caller] = Enter(callers[caller]) ? 1 : 0;
        ready.arrive_and_wait();
        answers[caller] = Answers();
      });
    }
    for (std::thread& thread : threads) {
      thread.join();
    }
    if (std::memchr(entered.data(), 0, entered.size()) != nullptr) {
      return 3;
    }
  }
  for (const std::string& lines : answers) {
    static_cast<void>(std::fputs(lines.c_str(), stdout));
  }
  return 0;
}
