#include "hwid/decode.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <optional>

#include "identifier/identifier.h"

namespace hwid {
namespace {

constexpr char kFirstPrintable = 32;
constexpr char kLastPrintable = 126;
constexpr std::size_t kMaxSerialDigits = 10;

struct Failure {
  std::size_t position = 0;
  std::string_view reason;
};

// The decimal texts of every printable ASCII code. No text is a prefix of another, nor of
// kLineEndCodes, so at most one of them starts at any position.
struct PrintableCodes {
  std::array<std::string, kLastPrintable - kFirstPrintable + 1> texts;
  PrintableCodes() {
    for (char character = kFirstPrintable; character <= kLastPrintable; ++character) {
      texts[static_cast<std::size_t>(character - kFirstPrintable)] = std::to_string(character);
    }
  }
};

const PrintableCodes& Codes() {
  static const PrintableCodes codes;
  return codes;
}

std::size_t CommonPrefixLength(std::string_view text, std::string_view expected) {
  const auto [textEnd, expectedEnd] =
      std::mismatch(text.begin(), text.end(), expected.begin(), expected.end());
  return static_cast<std::size_t>(expectedEnd - expected.begin());
}

bool IsDigit(char character) { return character >= '0' && character <= '9'; }

// Reads the address lines that start at `position`, each introduced by a tab in the current
// layout. Returns the failure, or nothing when the lines run exactly to the end of the text.
std::optional<Failure> ReadAddressLines(std::string_view text, std::size_t position, Layout layout,
                                        std::vector<std::string>& lines) {
  while (position < text.size()) {
    if (layout == Layout::Current) {
      if (text[position] != '\t') {
        return Failure{position, "expected a tab in front of the next address"};
      }
      ++position;
    }
    std::string line;
    while (true) {
      const std::string_view rest = text.substr(position);
      if (rest.starts_with(kLineEndCodes)) {
        position += kLineEndCodes.size();
        break;
      }
      const auto& texts = Codes().texts;
      const auto found = std::find_if(texts.begin(), texts.end(), [rest](const std::string& code) {
        return rest.starts_with(code);
      });
      if (found != texts.end()) {
        line += static_cast<char>(kFirstPrintable + (found - texts.begin()));
        position += found->size();
        continue;
      }
      // Where the longest code that fits stops matching is where the text stops being valid.
      std::size_t matched = CommonPrefixLength(rest, kLineEndCodes);
      for (const std::string& code : texts) {
        matched = std::max(matched, CommonPrefixLength(rest, code));
      }
      position += matched;
      if (position == text.size()) {
        return Failure{position, "text ends inside an address: expected its line end \"1310\""};
      }
      if (matched == 0 && text[position] == '-') {
        return Failure{position,
                       "a minus sign: the codes of bytes above 127 have no unambiguous reading"};
      }
      if (rest.starts_with("13")) {
        return Failure{position, "expected the line end \"1310\""};
      }
      return Failure{position,
                     "expected the code of a printable ASCII character (32 to 126) or the line "
                     "end \"1310\""};
    }
    lines.push_back(std::move(line));
  }
  return std::nullopt;
}

bool ParseSerial(std::string_view digits, std::uint32_t& serial) {
  if (digits.size() > 1 && digits.front() == '0') {
    return false;
  }
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), serial);
  return error == std::errc() && end == digits.data() + digits.size();
}

}  // namespace

DecodeResult DecodeIdentifier(std::string_view text) {
  const Layout linesLayout =
      text.find('\t') == std::string_view::npos ? Layout::Legacy : Layout::Current;
  DecodeResult result;
  Failure furthest{0, "expected the volume serial: decimal digits"};
  // Each way of reading a serial followed by the separator is tried. At most one reading gets to
  // the end (see hwid/decode.h); otherwise the one that got furthest says what is wrong.
  for (std::size_t serialDigits = 1;
       serialDigits <= std::min(kMaxSerialDigits, text.size()) && IsDigit(text[serialDigits - 1]);
       ++serialDigits) {
    std::uint32_t serial = 0;
    if (!ParseSerial(text.substr(0, serialDigits), serial)) {
      break;
    }
    Failure failure;
    const std::size_t separatorMatched = CommonPrefixLength(text.substr(serialDigits), kSeparator);
    if (separatorMatched < kSeparator.size()) {
      failure.position = serialDigits + separatorMatched;
      failure.reason = failure.position == text.size()
                           ? "text ends before the separator \"010\" after the volume serial"
                           : "expected the separator \"010\" after the volume serial (0 to "
                             "4294967295, no leading zeros)";
    } else {
      std::vector<std::string> lines;
      const std::optional<Failure> linesFailure =
          ReadAddressLines(text, serialDigits + kSeparator.size(), linesLayout, lines);
      if (!linesFailure) {
        result.valid = true;
        result.identifier.layout = lines.empty() ? Layout::Either : linesLayout;
        result.identifier.serial = serial;
        result.identifier.addresses = std::move(lines);
        return result;
      }
      failure = *linesFailure;
    }
    if (failure.position > furthest.position) {
      furthest = failure;
    }
  }
  if (text.empty()) {
    furthest.reason = "empty text: an identifier starts with the volume serial";
  }
  result.errorPosition = furthest.position;
  result.error = furthest.reason;
  return result;
}

}  // namespace hwid
