// The argument vector built from any command line. An input is one flag byte (bit 0: the code page
// has double-byte lead bytes, as Shift-JIS does), then the command line.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/command_line.h"
#include "fuzz/fuzz_check.h"

namespace {

using hwid::fuzz::Check;

constexpr std::string_view kProgramPath = "C:\\Program Files\\hwid\\hwid.exe";

bool NoLeadBytes(char /*byte*/) { return false; }

bool ShiftJisLeadByte(char byte) {
  const auto value = static_cast<unsigned char>(byte);
  return (value >= 0x81 && value <= 0x9F) || (value >= 0xE0 && value <= 0xFC);
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// For a line without quotes and backslashes: the runs between blanks, the first one dropped.
std::vector<std::string> PlainArguments(std::string_view line) {
  std::vector<std::string> arguments{std::string(kProgramPath)};
  bool programName = true;
  std::size_t position = 0;
  while (position < line.size()) {
    if (IsBlank(line[position])) {
      ++position;
      continue;
    }
    const std::size_t start = position;
    while (position < line.size() && !IsBlank(line[position])) {
      ++position;
    }
    if (!programName) {
      arguments.emplace_back(line.substr(start, position - start));
    }
    programName = false;
  }
  return arguments;
}

// One argument written so that splitting gives it back: a quote as backslash-quote, each blank
// between quotes. A quote that opens must not follow a backslash (that would make it literal), so
// it opens before the run of backslashes in front of the blank, which stay ordinary inside.
std::string Quoted(std::string_view argument) {
  if (argument.empty()) {
    return "\"\"";
  }
  std::string text;
  for (const char c : argument) {
    if (c == '"') {
      text += "\\\"";
    } else if (IsBlank(c)) {
      std::size_t backslashes = 0;
      while (backslashes < text.size() && text[text.size() - 1 - backslashes] == '\\') {
        ++backslashes;
      }
      text.insert(text.size() - backslashes, 1, '"');
      text += c;
      text += '"';
    } else {
      text += c;
    }
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) {
    return 0;
  }
  const bool doubleByte = (data[0] & 1) != 0;
  const std::string_view line(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::vector<std::string> arguments =
      hwid::SplitCommandLine(line, kProgramPath, doubleByte ? ShiftJisLeadByte : NoLeadBytes);

  Check(!arguments.empty() && arguments.front() == kProgramPath, "argv[0] is the program's path");
  std::size_t copied = 0;
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    copied += arguments[i].size();
  }
  Check(copied <= line.size(), "arguments hold no more characters than the line");

  if (doubleByte) {
    return 0;
  }
  if (line.find_first_of("\"\\") == std::string_view::npos) {
    Check(arguments == PlainArguments(line), "without quotes the line splits at blanks");
  }
  std::string rewritten = "hwid";
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    rewritten += ' ';
    rewritten += Quoted(arguments[i]);
  }
  Check(hwid::SplitCommandLine(rewritten, kProgramPath, NoLeadBytes) == arguments,
        "the arguments, written back quoted, split into themselves");

  // The other way round: the input's NUL-separated pieces as arguments, empty ones included.
  std::vector<std::string> chosen{std::string(kProgramPath)};
  std::string written = "hwid";
  for (std::size_t start = 0; !line.empty() && start <= line.size();) {
    const std::size_t end = std::min(line.find('\0', start), line.size());
    chosen.emplace_back(line.substr(start, end - start));
    written += ' ';
    written += Quoted(chosen.back());
    start = end + 1;
  }
  Check(hwid::SplitCommandLine(written, kProgramPath, NoLeadBytes) == chosen,
        "any arguments, written quoted, split into themselves");
  return 0;
}
