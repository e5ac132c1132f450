// hwid-inspect: what this machine's identifier is made of, and identifiers read back (decode,
// compare). Every command returns its whole output, so tests see exactly what the program
// prints.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hwid/adapter_selection.h"
#include "hwid/fault.h"

namespace hwid::inspect {

// Exit statuses. compare answers 0, 1 or 3; every command answers 2 for input it cannot use; the
// machine report answers 4 when a call failed while the machine was read.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitChanged = 1;
inline constexpr int kExitInvalid = 2;
inline constexpr int kExitDifferent = 3;
inline constexpr int kExitIncomplete = 4;

struct Output {
  std::string out;  // standard output
  std::string err;  // standard error
  int status = kExitSuccess;
};

// Everything the identifiers of this machine are made of, read through the code `hwid` runs.
struct MachineFacts {
  std::optional<std::uint32_t> serial;
  std::string serialText;  // VolumeSerialText()
  std::string bareSerial;  // what `hwid` prints with no argument
  std::vector<AdapterConfiguration> configurations;
  AdapterSelection selection;
  std::string legacyIdentifier;
  std::string currentIdentifier;
  std::vector<Fault> faults;  // every call that failed on the way, in the order met
};

MachineFacts ReadMachineFacts();

// Whether an adapter configuration counts towards the identifier under `rule`, and why.
struct AdapterVerdict {
  bool counts = false;
  std::string_view reason;
};
AdapterVerdict JudgeAdapter(SelectionRule rule, const AdapterConfiguration& configuration);

std::string MachineReport(const MachineFacts& facts, bool json);
// The machine report as the program answers it: the report, and its exit status.
Output MachineCommand(const MachineFacts& facts, bool json);
Output DecodeCommand(std::string_view text, bool json);
Output CompareCommand(std::string_view first, std::string_view second, bool json);

// The whole program: `arguments` without the program name; `readInput` supplies standard input
// for an identifier given as "-".
using InputReader = std::string (*)();
Output Run(const std::vector<std::string_view>& arguments, InputReader readInput);

}  // namespace hwid::inspect
