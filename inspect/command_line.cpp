#include "hwid/version.h"
#include "inspect/inspector.h"

namespace hwid::inspect {
namespace {

constexpr char kUsage[] =
    "Usage: hwid-inspect [--json]\n"
    "       hwid-inspect decode [--json] IDENTIFIER\n"
    "       hwid-inspect compare [--json] IDENTIFIER1 IDENTIFIER2\n"
    "\n"
    "Shows what the hardware identifier printed by hwid is made of, and reads identifiers back.\n"
    "\n"
    "Commands:\n"
    "  (none)     this machine: its volume serial, every network adapter WMI reports, which of\n"
    "             them count and why, and what hwid prints in each mode\n"
    "  decode     the layout, volume serial and addresses of IDENTIFIER\n"
    "  compare    whether two identifiers are of the same machine, and what changed\n"
    "\n"
    "Options:\n"
    "  --json     write the result as one JSON object\n"
    "  -h, --help show this help and exit\n"
    "  --version  show the version and exit\n"
    "\n"
    "An IDENTIFIER given as - is read from standard input.\n"
    "\n"
    "Exit status:\n"
    "  0  success; compare: identical (same serial, same addresses)\n"
    "  1  compare: same machine with changes (the same serial and an address in common,\n"
    "     or the same addresses under a new serial)\n"
    "  2  invalid input: an unknown option or command, or a text that is not an identifier\n"
    "  3  compare: different machines\n"
    "  4  this machine: a call failed while it was read (WMI could not be reached, a query\n"
    "     failed, the volume could not be read), so the identifiers shown may lack what it\n"
    "     could not read; the report names each failure\n";

Output UsageError(const std::string& message) {
  Output output;
  output.err = "hwid-inspect: " + message + "\nTry 'hwid-inspect --help' for more information.\n";
  output.status = kExitInvalid;
  return output;
}

// The text of an identifier operand; "-" reads standard input, whose final line break (from
// echo or a file) is not part of the identifier.
std::string OperandText(std::string_view operand, InputReader readInput) {
  if (operand != "-") {
    return std::string(operand);
  }
  std::string text = readInput();
  if (text.ends_with('\n')) {
    text.pop_back();
    if (text.ends_with('\r')) {
      text.pop_back();
    }
  }
  return text;
}

}  // namespace

Output Run(const std::vector<std::string_view>& arguments, InputReader readInput) {
  bool json = false;
  bool optionsEnded = false;
  std::vector<std::string_view> operands;
  for (const std::string_view argument : arguments) {
    // "-" is standard input, and a leading digit makes a number rather than an option.
    if (optionsEnded || argument.size() < 2 || argument[0] != '-' ||
        (argument[1] >= '0' && argument[1] <= '9')) {
      operands.push_back(argument);
    } else if (argument == "--") {
      optionsEnded = true;
    } else if (argument == "--json") {
      json = true;
    } else if (argument == "--help" || argument == "-h") {
      return {kUsage, {}, kExitSuccess};
    } else if (argument == "--version") {
      return {"hwid-inspect " + std::string(kVersion) + "\n", {}, kExitSuccess};
    } else {
      return UsageError("unknown option '" + std::string(argument) + "'");
    }
  }
  if (operands.empty()) {
    return MachineCommand(ReadMachineFacts(), json);
  }
  const std::string_view command = operands.front();
  if (command == "decode") {
    if (operands.size() != 2) {
      return UsageError("decode takes one identifier");
    }
    return DecodeCommand(OperandText(operands[1], readInput), json);
  }
  if (command == "compare") {
    if (operands.size() != 3) {
      return UsageError("compare takes two identifiers");
    }
    const std::string first = OperandText(operands[1], readInput);
    return CompareCommand(first, OperandText(operands[2], readInput), json);
  }
  return UsageError("unknown command '" + std::string(command) + "'");
}

}  // namespace hwid::inspect
