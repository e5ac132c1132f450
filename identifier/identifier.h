// The steps of composing an identifier; the functions the library offers are in hwid/identifier.h.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "hwid/identifier.h"

namespace hwid {

class TWMIOperations;

// What `hwid` prints for `output`, read on the calling thread through `wmi`, with every call that
// failed on the way (status Ok or Incomplete): what the library's thread runs for its callers.
Reading ReadOutputText(Output output, TWMIOperations& wmi);
// Its text alone: the program's own path.
std::string OutputText(Output output, TWMIOperations& wmi);

// Between the serial text and the address codes.
inline constexpr std::string_view kSeparator = "010";
// The codes of "\r\n" that end every address line.
inline constexpr std::string_view kLineEndCodes = "1310";

// Every byte as the decimal value of a signed 8-bit character: "A:" gives "6558", 0xC4 "-60".
std::string EncodeCharacterCodes(std::string_view text);

// Lines ending at CR, LF or CRLF; no empty last line, empty lines between breaks kept. The lines
// are views into `text`.
std::vector<std::string_view> SplitLines(std::string_view text);

// Three-way comparison: below zero less, zero equal, above zero greater.
using LineCompare = int (*)(std::string_view left, std::string_view right);

// Case-insensitive collation of the user's default locale; a failing comparison counts as less.
int CompareLines(std::string_view left, std::string_view right);

// Quicksort with the middle element as pivot. Not stable: the order of lines that compare equal
// follows from its exact sequence of exchanges, which the identifier's bytes depend on.
void SortLines(std::span<std::string_view> lines, LineCompare compare = CompareLines);

// The address list as sorted lines, the way both layouts consume it. The lines view one copy of
// the text held here (every line its own string would cost an allocation each), so the object
// can be neither copied nor moved.
class SortedAddressLines {
 public:
  explicit SortedAddressLines(std::string_view addressText);
  SortedAddressLines(const SortedAddressLines&) = delete;
  SortedAddressLines& operator=(const SortedAddressLines&) = delete;
  ~SortedAddressLines() = default;

  [[nodiscard]] std::size_t size() const { return lines_.size(); }
  [[nodiscard]] std::vector<std::string_view>::const_iterator begin() const {
    return lines_.begin();
  }
  [[nodiscard]] std::vector<std::string_view>::const_iterator end() const { return lines_.end(); }

 private:
  std::string text_;
  std::vector<std::string_view> lines_;
};

}  // namespace hwid
