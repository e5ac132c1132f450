// Identifier composition from any serial and address text. An input is one flag byte (bit 0: the
// volume serial could be read), four bytes of serial, then the address text.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "identifier/identifier.h"

namespace {

using hwid::fuzz::Check;

constexpr std::size_t kHeaderSize = 5;

// Answers for the scripted comparison, cycled; a plain function pointer cannot carry them.
std::string_view comparisonAnswers;
std::size_t answersGiven = 0;

// Less, equal or greater as the input dictates: inconsistent, even cyclic, orders.
int ScriptedCompare(std::string_view /*left*/, std::string_view /*right*/) {
  if (comparisonAnswers.empty()) {
    return 0;
  }
  const auto answer =
      static_cast<unsigned char>(comparisonAnswers[answersGiven++ % comparisonAnswers.size()]);
  return answer % 3 - 1;
}

// Written apart from the code under test: each byte as its signed 8-bit value in decimal.
std::string ReferenceCodes(std::string_view text) {
  std::string codes;
  for (const char character : text) {
    codes += std::to_string(static_cast<int>(static_cast<signed char>(character)));
  }
  return codes;
}

bool SameLines(std::vector<std::string_view> left, std::vector<std::string_view> right) {
  std::sort(left.begin(), left.end());
  std::sort(right.begin(), right.end());
  return left == right;
}

// The tab-led groups of a current-layout tail; an empty tail has none.
std::vector<std::string_view> Groups(std::string_view tail) {
  std::vector<std::string_view> groups;
  std::size_t start = 0;
  while (start < tail.size()) {
    const std::size_t tab = std::min(tail.find('\t', start + 1), tail.size());
    groups.push_back(tail.substr(start + 1, tab - start - 1));
    start = tab;
  }
  return groups;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < kHeaderSize) {
    return 0;
  }
  const bool serialReadable = (data[0] & 1) != 0;
  std::uint32_t serial = 0;
  std::memcpy(&serial, data + 1, sizeof serial);
  const std::string serialText = serialReadable ? std::to_string(serial) : std::string();
  const std::string_view addressText(reinterpret_cast<const char*>(data + kHeaderSize),
                                     size - kHeaderSize);

  const std::string legacy = hwid::ComposeLegacyIdentifier(serialText, addressText);
  const std::string current = hwid::ComposeCurrentIdentifier(serialText, addressText);

  const std::string prefix = (serialReadable ? serialText : std::string("0")) + "010";
  Check(legacy.starts_with(prefix), "the legacy layout starts with the serial and 010");
  Check(current.starts_with(prefix), "the current layout starts with the serial and 010");
  const std::string_view legacyTail = std::string_view(legacy).substr(prefix.size());
  const std::string_view currentTail = std::string_view(current).substr(prefix.size());
  Check(legacyTail.find_first_not_of("0123456789-") == std::string_view::npos,
        "the legacy layout holds only digits and minus signs after 010");
  Check(currentTail.find_first_not_of("0123456789-\t") == std::string_view::npos,
        "the current layout holds only digits, minus signs and tabs after 010");

  std::string withoutTabs(current);
  std::erase(withoutTabs, '\t');
  Check(withoutTabs == legacy, "the layouts differ only by the tabs");

  std::string lineText(addressText);
  std::replace(lineText.begin(), lineText.end(), '\t', '\n');
  const std::vector<std::string_view> lines = hwid::SplitLines(lineText);
  const std::vector<std::string_view> groups = Groups(currentTail);
  Check(currentTail.empty() || currentTail.front() == '\t', "every group starts with a tab");
  Check(groups.size() == lines.size(), "one encoded group per line");

  const hwid::SortedAddressLines sortedLines(addressText);
  const std::vector<std::string_view> sorted(sortedLines.begin(), sortedLines.end());
  Check(SameLines(sorted, lines), "sorting keeps every line");
  for (std::size_t i = 0; i < sorted.size(); ++i) {
    Check(i == 0 || hwid::CompareLines(sorted[i - 1], sorted[i]) <= 0, "lines come out in order");
    Check(groups[i] == ReferenceCodes(sorted[i]) + "1310",
          "each group is its line's character codes, then CR LF");
  }

  // Whatever the comparison answers, the sort must stay inside the list and only exchange lines.
  comparisonAnswers = std::string_view(reinterpret_cast<const char*>(data), size);
  answersGiven = 0;
  std::vector<std::string_view> scripted = lines;
  hwid::SortLines(scripted, ScriptedCompare);
  Check(SameLines(scripted, lines), "sorting under any comparison keeps every line");
  return 0;
}
