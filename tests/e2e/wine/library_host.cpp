// A host program for the library under Wine. Its calling threads are put into the COM state the
// command line names before they read this machine, through hwid.dll (the C interface) and through
// the static hwid::core (the C++ functions). Each caller prints its answers, three per interface
// (the bare serial, the legacy and the current identifier; C first), and then its own result:
// "caller N STATE: ok|STATUS MS ms", the first status that was not ok and the time its slowest
// reading took. Callers print in their order.
// Usage: library_host.exe mta | sta | security        one caller, through both interfaces
//        library_host.exe together|warm c|cpp STATE...
//   together: one thread per STATE (plain, mta or sta), all starting at once to enter that state
//   and read, through hwid.dll (c) or hwid::core (cpp) alone: Wine's WMI provider corrupts its
//   tables when two threads of a process query at once, as the two copies of the library would;
//   warm: the same after one caller's readings on the main thread, before the threads start.
// Every reading has a time limit of kLimit. A caller that has not ended when all its readings
// could have used their limits, plus a margin, is reported as "no end", and the host then ends
// itself at once (a thread stuck in the loader lock would keep an orderly exit waiting).
// Exits 2 on a bad argument, 3 when the host's own COM set-up fails, 4 when a caller has no end.

#include <objbase.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "hwid/hwid.h"
#include "hwid/identifier.h"

namespace {

constexpr std::chrono::milliseconds kLimit{20000};
constexpr std::chrono::milliseconds kMargin{10000};

enum class ComState { None, SingleThreaded, MultiThreaded };

struct StateName {
  const char* name;
  ComState state;
};
constexpr std::array<StateName, 3> kStates = {{{"plain", ComState::None},
                                               {"sta", ComState::SingleThreaded},
                                               {"mta", ComState::MultiThreaded}}};

const char* NameOf(ComState state) {
  for (const StateName& entry : kStates) {
    if (entry.state == state) {
      return entry.name;
    }
  }
  return "?";
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

// One answer: its text, or its status when that was not ok.
struct Answer {
  std::string text;
  std::string failure;
};

Answer FromC(hwid_status (*read)(char*, std::size_t, std::size_t*)) {
  char buffer[1024];
  std::size_t needed = 0;
  const hwid_status status = read(buffer, sizeof buffer, &needed);
  if (status == HWID_STATUS_OK) {
    return {buffer, ""};
  }
  const std::string name = hwid_status_name(status);
  return {"status: " + name, name};
}

const char* StatusName(hwid::ReadStatus status) {
  switch (status) {
    case hwid::ReadStatus::Ok:
      return "ok";
    case hwid::ReadStatus::TimedOut:
      return "timed out";
    case hwid::ReadStatus::InternalError:
      return "internal error";
    case hwid::ReadStatus::Incomplete:
      return "incomplete";
    case hwid::ReadStatus::NotResponding:
      return "not responding";
  }
  return "?";
}

Answer FromCpp(hwid::Output output) {
  hwid::Reading reading = hwid::ReadOutput(output);
  if (reading.status == hwid::ReadStatus::Ok) {
    return {std::move(reading.text), ""};
  }
  const std::string name = StatusName(reading.status);
  return {"status: " + name, name};
}

using Reader = Answer (*)();
constexpr std::array<Reader, 3> kCReaders = {
    [] { return FromC(hwid_bare_serial); },
    [] {
      return FromC([](char* buffer, std::size_t size, std::size_t* needed) {
        return hwid_identifier(HWID_LAYOUT_LEGACY, buffer, size, needed);
      });
    },
    [] {
      return FromC([](char* buffer, std::size_t size, std::size_t* needed) {
        return hwid_identifier(HWID_LAYOUT_CURRENT, buffer, size, needed);
      });
    }};
constexpr std::array<Reader, 3> kCppReaders = {
    [] { return FromCpp(hwid::Output::BareSerial); },
    [] { return FromCpp(hwid::Output::LegacyIdentifier); },
    [] { return FromCpp(hwid::Output::CurrentIdentifier); }};

// Which interfaces a caller reads through.
enum class Through { Both, C, Cpp };

constexpr int ReadingsThrough(Through through) { return through == Through::Both ? 6 : 3; }

// A caller's answers (three through each interface it uses, C first) and its result line, which
// gives the first status that was not ok and the time of its slowest reading.
std::string Answers(std::size_t caller, ComState state, Through through) {
  std::vector<Reader> readers;
  if (through != Through::Cpp) {
    readers.insert(readers.end(), kCReaders.begin(), kCReaders.end());
  }
  if (through != Through::C) {
    readers.insert(readers.end(), kCppReaders.begin(), kCppReaders.end());
  }
  std::string lines;
  std::string failure;
  std::chrono::milliseconds slowest{0};
  for (const Reader reader : readers) {
    const auto started = std::chrono::steady_clock::now();
    const Answer answer = reader();
    slowest = std::max(slowest, std::chrono::duration_cast<std::chrono::milliseconds>(
                                    std::chrono::steady_clock::now() - started));
    lines += answer.text + '\n';
    if (failure.empty()) {
      failure = answer.failure;
    }
  }
  lines += "caller " + std::to_string(caller) + ' ' + NameOf(state) + ": " +
           (failure.empty() ? "ok" : failure) + ' ' + std::to_string(slowest.count()) + " ms\n";
  return lines;
}

// What the callers share with the main thread, which may stop waiting for them.
struct Board {
  std::mutex mutex;
  std::condition_variable ended;
  std::vector<std::string> answers;
  std::size_t endedCount = 0;
  bool entered = true;
};

int RunTogether(const std::vector<ComState>& callers, Through through, bool warm) {
  if (warm) {
    static_cast<void>(Answers(0, ComState::None, through));
  }
  const auto board = std::make_shared<Board>();
  board->answers.resize(callers.size());
  // All threads start at once: one enters its apartment while another makes the first reading.
  // A Win32 event rather than std::latch, whose wait in this C++ runtime can miss its wake-up.
  const HANDLE start = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (start == nullptr) {
    return 3;
  }
  const auto started = std::chrono::steady_clock::now();
  for (std::size_t caller = 0; caller < callers.size(); ++caller) {
    std::thread([board, start, caller, state = callers[caller], through] {
      WaitForSingleObject(start, INFINITE);
      const bool entered = Enter(state);
      std::string lines = Answers(caller + 1, state, through);
      const std::lock_guard lock(board->mutex);
      board->answers[caller] = std::move(lines);
      board->entered = board->entered && entered;
      ++board->endedCount;
      board->ended.notify_one();
    }).detach();
  }
  SetEvent(start);
  std::unique_lock lock(board->mutex);
  const auto deadline = started + kLimit * ReadingsThrough(through) + kMargin;
  const bool allEnded =
      board->ended.wait_until(lock, deadline, [&] { return board->endedCount == callers.size(); });
  for (std::size_t caller = 0; caller < callers.size(); ++caller) {
    const std::string& lines = board->answers[caller];
    static_cast<void>(std::fputs(lines.empty() ? ("caller " + std::to_string(caller + 1) + ' ' +
                                                  NameOf(callers[caller]) + ": no end\n")
                                                     .c_str()
                                               : lines.c_str(),
                                 stdout));
  }
  static_cast<void>(std::fflush(stdout));
  if (!allEnded) {
    TerminateProcess(GetCurrentProcess(), 4);
  }
  CloseHandle(start);
  return board->entered ? 0 : 3;
}

}  // namespace

int main(int argc, char** argv) {
  if (hwid_set_timeout_ms(static_cast<std::uint32_t>(kLimit.count())) != HWID_STATUS_OK ||
      !hwid::SetTimeLimit(kLimit)) {
    return 2;
  }
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "together" || mode == "warm") {
    const std::string through = argc > 2 ? argv[2] : "";
    std::vector<ComState> callers;
    for (int argument = 3; argument < argc; ++argument) {
      const StateName* found = nullptr;
      for (const StateName& entry : kStates) {
        if (std::strcmp(argv[argument], entry.name) == 0) {
          found = &entry;
        }
      }
      if (found == nullptr) {
        return 2;
      }
      callers.push_back(found->state);
    }
    if (callers.empty() || (through != "c" && through != "cpp")) {
      return 2;
    }
    return RunTogether(callers, through == "c" ? Through::C : Through::Cpp, mode == "warm");
  }
  ComState state = ComState::MultiThreaded;
  if (mode == "sta") {
    state = ComState::SingleThreaded;
  } else if (mode != "mta" && mode != "security") {
    return 2;
  }
  if (!Enter(state)) {
    return 3;
  }
  if (mode == "security" &&
      FAILED(CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT,
                                  RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr))) {
    return 3;
  }
  static_cast<void>(std::fputs(Answers(1, state, Through::Both).c_str(), stdout));
  return 0;
}
