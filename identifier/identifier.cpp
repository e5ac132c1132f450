#include "identifier/identifier.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <climits>
#include <utility>

#include "identifier/adapter_selection.h"
#include "platform/win32.h"

namespace hwid {
namespace {

constexpr char kVolumeRoot[] = "C:\\";

std::string SerialOrZero(std::string_view serialText) {
  return serialText.empty() ? std::string("0") : std::string(serialText);
}

void AppendCharacterCodes(std::string& out, std::string_view text) {
  for (const char character : text) {
    std::array<char, 4> buffer{};
    const auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(),
                                            static_cast<int>(static_cast<signed char>(character)));
    out.append(buffer.data(), end);
  }
}

}  // namespace

std::optional<std::uint32_t> VolumeSerialNumber() {
  DWORD serial = 0;
  if (GetVolumeInformationA(kVolumeRoot, nullptr, 0, &serial, nullptr, nullptr, nullptr, 0) ==
      FALSE) {
    return std::nullopt;
  }
  return serial;
}

std::string VolumeSerialText() {
  const std::optional<std::uint32_t> serial = VolumeSerialNumber();
  return serial ? std::to_string(*serial) : std::string();
}

std::string SignedSerialText(std::optional<std::uint32_t> serial) {
  return std::to_string(static_cast<std::int32_t>(serial.value_or(0)));
}

std::string BareSerialText() { return SignedSerialText(VolumeSerialNumber()); }

std::string EncodeCharacterCodes(std::string_view text) {
  std::string encoded;
  encoded.reserve(text.size() * 3);
  AppendCharacterCodes(encoded, text);
  return encoded;
}

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = std::min(text.find_first_of("\r\n", start), text.size());
    lines.emplace_back(text.substr(start, end - start));
    start = end + 1;
    if (end < text.size() && text[end] == '\r' && start < text.size() && text[start] == '\n') {
      ++start;
    }
  }
  return lines;
}

int CompareLines(std::string_view left, std::string_view right) {
  const auto length = [](std::string_view text) {
    return static_cast<int>(std::min<std::size_t>(text.size(), INT_MAX));
  };
  return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, left.data(), length(left),
                        right.data(), length(right)) -
         2;
}

void SortLines(std::vector<std::string>& lines, LineCompare compare) {
  if (lines.size() < 2) {
    return;
  }
  // Positions are signed: J may step to L - 1 when L is 0.
  const auto sortRange = [&lines, compare](auto& self, std::ptrdiff_t left,
                                           std::ptrdiff_t right) -> void {
    const auto at = [&lines](std::ptrdiff_t position) -> std::string& {
      return lines[static_cast<std::size_t>(position)];
    };
    std::ptrdiff_t i = 0;
    do {
      i = left;
      std::ptrdiff_t j = right;
      std::ptrdiff_t pivot = (left + right) / 2;
      do {
        // Both scans stay inside left..right even when the comparison is inconsistent (a
        // failing one counts as less, so the pivot can compare less than itself).
        while (i < right && compare(at(i), at(pivot)) < 0) {
          ++i;
        }
        while (j > left && compare(at(j), at(pivot)) > 0) {
          --j;
        }
        if (i <= j) {
          std::swap(at(i), at(j));
          if (pivot == i) {
            pivot = j;
          } else if (pivot == j) {
            pivot = i;
          }
          ++i;
          --j;
        }
      } while (i <= j);
      if (left < j) {
        self(self, left, j);
      }
      left = i;
    } while (i < right);
  };
  sortRange(sortRange, 0, static_cast<std::ptrdiff_t>(lines.size()) - 1);
}

std::vector<std::string> SortedAddressLines(std::string_view addressText) {
  std::string text(addressText);
  std::replace(text.begin(), text.end(), '\t', '\n');
  std::vector<std::string> lines = SplitLines(text);
  SortLines(lines);
  return lines;
}

std::string ComposeLegacyIdentifier(std::string_view serialText, std::string_view addressText) {
  std::string identifier = SerialOrZero(serialText);
  identifier += kSeparator;
  for (const std::string& line : SortedAddressLines(addressText)) {
    AppendCharacterCodes(identifier, line);
    identifier += kLineEndCodes;
  }
  return identifier;
}

std::string ComposeCurrentIdentifier(std::string_view serialText, std::string_view addressText) {
  std::string identifier = SerialOrZero(serialText);
  identifier += kSeparator;
  for (const std::string& line : SortedAddressLines(addressText)) {
    identifier += '\t';
    AppendCharacterCodes(identifier, line);
    identifier += kLineEndCodes;
  }
  return identifier;
}

std::string ComposeLegacyIdentifier() {
  const std::string serial = VolumeSerialText();
  return ComposeLegacyIdentifier(serial, AdapterAddressText());
}

std::string ComposeCurrentIdentifier() {
  const std::string serial = VolumeSerialText();
  return ComposeCurrentIdentifier(serial, AdapterAddressText());
}

}  // namespace hwid
