#include "identifier/identifier.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <utility>

#include "identifier/adapter_selection.h"
#include "platform/win32.h"

namespace hwid {
namespace {

constexpr char kVolumeRoot[] = "C:\\";

std::string UnsignedText(std::optional<std::uint32_t> serial) {
  return serial ? std::to_string(*serial) : std::string();
}

std::string SerialOrZero(std::string_view serialText) {
  return serialText.empty() ? std::string("0") : std::string(serialText);
}

// The code texts of every byte, by its unsigned value, worked out once: writing them is most of
// the composition's work besides the sort.
struct CharacterCode {
  std::array<char, 4> text{};
  std::uint8_t length = 0;
};

constexpr std::size_t kLongestCode = std::tuple_size_v<decltype(CharacterCode::text)>;

constexpr std::array<CharacterCode, 256> CharacterCodes() {
  std::array<CharacterCode, 256> codes{};
  for (int byte = 0; byte < 256; ++byte) {
    CharacterCode& code = codes[static_cast<std::size_t>(byte)];
    int value = byte < 128 ? byte : byte - 256;  // the byte read as a signed 8-bit value
    if (value < 0) {
      code.text[code.length++] = '-';
      value = -value;
    }
    const int digits = value >= 100 ? 3 : value >= 10 ? 2 : 1;
    for (int place = digits - 1; place >= 0; --place) {
      code.text[code.length + static_cast<std::size_t>(place)] =
          static_cast<char>('0' + value % 10);
      value /= 10;
    }
    code.length = static_cast<std::uint8_t>(code.length + digits);
  }
  return codes;
}

constexpr std::array<CharacterCode, 256> kCharacterCodes = CharacterCodes();

void AppendCharacterCodes(std::string& out, std::string_view text) {
  const std::size_t start = out.size();
  // Room for the longest code of every byte, so each one is copied whole and the string is cut
  // to what was written afterwards.
  out.resize(start + text.size() * kLongestCode);
  char* next = out.data() + start;
  for (const char character : text) {
    const CharacterCode& code = kCharacterCodes[static_cast<unsigned char>(character)];
    std::memcpy(next, code.text.data(), kLongestCode);
    next += code.length;
  }
  out.resize(static_cast<std::size_t>(next - out.data()));
}

// Both layouts: the serial, the separator, then every sorted line's codes after `linePrefix`.
std::string ComposeIdentifier(std::string_view serialText, std::string_view addressText,
                              std::string_view linePrefix) {
  const SortedAddressLines lines(addressText);
  std::string identifier = SerialOrZero(serialText);
  // The most the codes can take, so the identifier is allocated once.
  identifier.reserve(identifier.size() + kSeparator.size() +
                     lines.size() * (linePrefix.size() + kLineEndCodes.size()) +
                     addressText.size() * kLongestCode);
  identifier += kSeparator;
  for (const std::string_view line : lines) {
    identifier += linePrefix;
    AppendCharacterCodes(identifier, line);
    identifier += kLineEndCodes;
  }
  return identifier;
}

}  // namespace

std::optional<std::uint32_t> VolumeSerialNumber(std::vector<Fault>& faults) {
  DWORD serial = 0;
  if (GetVolumeInformationA(kVolumeRoot, nullptr, 0, &serial, nullptr, nullptr, nullptr, 0) ==
      FALSE) {
    faults.push_back({FaultStage::VolumeInformation, GetLastError(), {}, {}, {}});
    return std::nullopt;
  }
  return serial;
}

std::optional<std::uint32_t> VolumeSerialNumber() {
  std::vector<Fault> ignored;
  return VolumeSerialNumber(ignored);
}

std::string VolumeSerialText() { return UnsignedText(VolumeSerialNumber()); }

std::string SignedSerialText(std::optional<std::uint32_t> serial) {
  return std::to_string(static_cast<std::int32_t>(serial.value_or(0)));
}

std::string EncodeCharacterCodes(std::string_view text) {
  std::string encoded;
  AppendCharacterCodes(encoded, text);
  return encoded;
}

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    // A plain scan: find_first_of would search its set of two for every byte of the text.
    std::size_t end = start;
    while (end < text.size() && text[end] != '\r' && text[end] != '\n') {
      ++end;
    }
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

void SortLines(std::span<std::string_view> lines, LineCompare compare) {
  if (lines.size() < 2) {
    return;
  }
  // Positions are signed: J may step to L - 1 when L is 0.
  const auto sortRange = [&lines, compare](auto& self, std::ptrdiff_t left,
                                           std::ptrdiff_t right) -> void {
    const auto at = [lines](std::ptrdiff_t position) -> std::string_view& {
      return lines[static_cast<std::size_t>(position)];
    };
    for (;;) {
      std::ptrdiff_t i = left;
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
      // left..j and i..right are sorted independently of each other, so which goes first does
      // not change a byte; recursing into the shorter one bounds the stack by log2 of the count
      // whatever the lines are.
      if (j - left < right - i) {
        if (left < j) {
          self(self, left, j);
        }
        if (i >= right) {
          return;
        }
        left = i;
      } else {
        if (i < right) {
          self(self, i, right);
        }
        if (left >= j) {
          return;
        }
        right = j;
      }
    }
  };
  sortRange(sortRange, 0, static_cast<std::ptrdiff_t>(lines.size()) - 1);
}

SortedAddressLines::SortedAddressLines(std::string_view addressText) : text_(addressText) {
  std::replace(text_.begin(), text_.end(), '\t', '\n');
  lines_ = SplitLines(text_);
  SortLines(lines_);
}

std::string ComposeLegacyIdentifier(std::string_view serialText, std::string_view addressText) {
  return ComposeIdentifier(serialText, addressText, "");
}

std::string ComposeCurrentIdentifier(std::string_view serialText, std::string_view addressText) {
  return ComposeIdentifier(serialText, addressText, "\t");
}

Reading ReadOutputText(Output output, TWMIOperations& wmi) {
  Reading reading;
  // The volume is read before the adapters, as the program does, so the faults come in the
  // order they happened.
  const std::optional<std::uint32_t> serial = VolumeSerialNumber(reading.faults);
  switch (output) {
    case Output::BareSerial:
      reading.text = SignedSerialText(serial);
      break;
    case Output::LegacyIdentifier:
      reading.text = ComposeLegacyIdentifier(UnsignedText(serial), AdapterAddressText(wmi));
      break;
    case Output::CurrentIdentifier:
      reading.text = ComposeCurrentIdentifier(UnsignedText(serial), AdapterAddressText(wmi));
      break;
  }
  wmi.TakeFaults(reading.faults);
  reading.status = reading.faults.empty() ? ReadStatus::Ok : ReadStatus::Incomplete;
  return reading;
}

std::string OutputText(Output output, TWMIOperations& wmi) {
  return ReadOutputText(output, wmi).text;
}

}  // namespace hwid
