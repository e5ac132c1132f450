#include "app/command_line.h"

#include <utility>

#include "platform/win32.h"

namespace hwid {
namespace {

constexpr char kQuote = '"';
constexpr char kBackslash = '\\';

bool IsBlank(char character) { return character == ' ' || character == '\t'; }

std::size_t SkipBlanks(std::string_view text, std::size_t position) {
  while (position < text.size() && IsBlank(text[position])) {
    ++position;
  }
  return position;
}

// The program name is either one quoted run or a run up to the next blank; it keeps no quotes
// and escapes of its own, since it is replaced by the program file's path.
std::size_t SkipProgramName(std::string_view text) {
  std::size_t position = SkipBlanks(text, 0);
  if (position < text.size() && text[position] == kQuote) {
    const std::size_t closing = text.find(kQuote, position + 1);
    return closing == std::string_view::npos ? text.size() : closing + 1;
  }
  while (position < text.size() && !IsBlank(text[position])) {
    ++position;
  }
  return position;
}

bool IsAnsiLeadByte(char byte) { return IsDBCSLeadByte(static_cast<BYTE>(byte)) != FALSE; }

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view commandLine,
                                          std::string_view programPath,
                                          LeadBytePredicate isLeadByte) {
  std::vector<std::string> arguments{std::string(programPath)};
  std::size_t position = SkipProgramName(commandLine);
  for (;;) {
    position = SkipBlanks(commandLine, position);
    if (position >= commandLine.size()) {
      return arguments;
    }
    std::string argument;
    bool quoted = false;
    while (position < commandLine.size() && (quoted || !IsBlank(commandLine[position]))) {
      const char character = commandLine[position];
      const bool hasNext = position + 1 < commandLine.size();
      if (character == kBackslash && hasNext && commandLine[position + 1] == kQuote) {
        argument += kQuote;
        position += 2;
      } else if (character == kQuote) {
        quoted = !quoted;
        ++position;
      } else if (isLeadByte(character) && hasNext) {
        // Its trail byte can be 0x5C, which must not escape a quote that follows.
        argument.append(commandLine, position, 2);
        position += 2;
      } else {
        argument += character;
        ++position;
      }
    }
    arguments.push_back(std::move(argument));
  }
}

std::vector<std::string> ProgramArguments(int argc, const char* const* argv,
                                          const std::optional<CommandLineText>& commandLine) {
  if (!commandLine) {
    return {argv, argv + argc};
  }
  return SplitCommandLine(commandLine->text, commandLine->programPath, IsAnsiLeadByte);
}

}  // namespace hwid
