// Property values of any type and payload as text. An input is the variant type (two bytes), a
// flag byte (bit 0: a string value is a null BSTR), then the payload: eight bytes for numbers and
// dates, UTF-16 code units (little-endian pairs) for strings.

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "Wmioperationsunit/variant_text.h"
#include "fuzz/fuzz_check.h"
#include "platform/win32.h"

namespace {

using hwid::fuzz::Check;

constexpr std::size_t kHeaderSize = 3;
// Rounding to 15 significant digits moves a value by at most half a unit in the 15th digit, which
// is 5e-15 of the value; the parse back adds one rounding of its own.
constexpr long double kRelativeTolerance = 6e-15L;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The decimal exponent E of value = 0.d1d2... x 10^E, read off the text alone.
int TextExponent(std::string_view mantissa, std::string_view exponentDigits, bool scientific) {
  if (scientific) {
    int exponent = 0;
    std::from_chars(exponentDigits.data(), exponentDigits.data() + exponentDigits.size(), exponent);
    return exponent + 1;
  }
  const std::size_t point = std::min(mantissa.find('.'), mantissa.size());
  if (mantissa.front() != '0') {
    return static_cast<int>(point);
  }
  const std::size_t firstNonZero = mantissa.find_first_not_of('0', point + 1);
  return -static_cast<int>(firstNonZero - point - 1);
}

void CheckDateText(double day, const std::string& text) {
  if (!std::isfinite(day)) {
    Check(text.empty(), "NaN and infinities give no text");
    return;
  }
  Check(!text.empty(), "a finite date gives text");
  Check(text.find_first_not_of("0123456789.E-") == std::string::npos,
        "a date's text holds only digits, the separator, E and minus signs");
  Check(day != 0 || text == "0", "zero gives 0");

  // Parsed wider than double: rounding the largest doubles up to 15 digits leaves double's range.
  char* end = nullptr;
  const long double parsed = std::strtold(text.c_str(), &end);
  Check(end == text.c_str() + text.size(), "a date's text parses back whole");
  Check(std::fabs(parsed - day) <= std::fabs(day) * kRelativeTolerance + DBL_TRUE_MIN,
        "a date's text is the value rounded to 15 significant digits");
  if (day == 0) {
    return;
  }

  const std::string_view unsignedText = std::string_view(text).substr(text.front() == '-' ? 1 : 0);
  const std::size_t mark = unsignedText.find('E');
  const bool scientific = mark != std::string_view::npos;
  const std::string_view mantissa = unsignedText.substr(0, mark);
  const std::string_view exponentText =
      scientific ? unsignedText.substr(mark + 1) : std::string_view();
  Check(!mantissa.empty() && IsDigit(mantissa.front()) && IsDigit(mantissa.back()),
        "the mantissa starts and ends with a digit");
  Check(mantissa.find('.') == std::string_view::npos || mantissa.back() != '0',
        "no trailing zero after the separator");

  std::string digits;
  for (const char c : mantissa) {
    if (IsDigit(c)) {
      digits += c;
    }
  }
  digits.erase(0, digits.find_first_not_of('0'));
  const std::size_t lastNonZero = digits.find_last_not_of('0');
  Check(lastNonZero != std::string::npos && lastNonZero < 15, "at most 15 significant digits");

  if (scientific) {
    const std::string_view exponentDigits = exponentText.substr(exponentText.starts_with('-'));
    Check(!exponentDigits.empty() && exponentDigits.front() != '0' &&
              exponentDigits.find_first_not_of("0123456789") == std::string_view::npos,
          "the exponent is decimal without leading zeros");
    Check(mantissa.size() == 1 || mantissa[1] == '.', "a scientific mantissa has one digit");
  }
  const int exponent = TextExponent(mantissa, exponentText, scientific);
  Check(scientific == (exponent < -3 || exponent > 15),
        "fixed notation exactly for decimal exponents from -3 to 15");

  std::string otherSeparator(text);
  for (char& c : otherSeparator) {
    c = c == '.' ? ',' : c;
  }
  Check(hwid::GeneralDateText(day, ',') == otherSeparator,
        "the separator is the only thing the locale changes");
}

void CheckStringText(std::u16string_view units, bool nullString, const std::string& text) {
  if (nullString) {
    Check(text.empty(), "a null string gives no text");
    return;
  }
  Check(text.size() == units.size(), "one byte per UTF-16 unit in a single-byte code page");
  for (std::size_t i = 0; i < units.size() && i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    // Both ranges are the same in Windows-1252 and UTF-16; other units may map to a look-alike.
    if (units[i] < 0x80 || (units[i] >= 0xA0 && units[i] <= 0xFF)) {
      Check(byte == units[i], "ASCII and Latin-1 letters keep their value");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < kHeaderSize) {
    return 0;
  }
  VARIANT value;
  VariantInit(&value);
  value.vt = static_cast<VARTYPE>(data[0] | data[1] << 8);
  const bool nullString = (data[2] & 1) != 0;
  const std::uint8_t* payload = data + kHeaderSize;
  const std::size_t payloadSize = size - kHeaderSize;

  std::uint64_t bits = 0;
  std::memcpy(&bits, payload, std::min(payloadSize, sizeof bits));
  double day = 0;
  std::memcpy(&day, &bits, sizeof day);
  std::u16string units;
  for (std::size_t i = 0; i + 1 < payloadSize; i += 2) {
    units += static_cast<char16_t>(payload[i] | payload[i + 1] << 8);
  }

  switch (value.vt) {
    case VT_BSTR: {
      const std::wstring wide(units.begin(), units.end());
      value.bstrVal =
          nullString ? nullptr : SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
      break;
    }
    case VT_DATE:
      value.date = day;
      break;
    case VT_I4:
    case VT_UINT:
      value.ulVal = static_cast<ULONG>(bits);
      break;
    default:
      // Pointer payloads are never followed for types the conversion skips.
      value.ullVal = bits;
      break;
  }

  const std::string text = hwid::VariantText(value);
  switch (value.vt) {
    case VT_BSTR:
      CheckStringText(units, nullString, text);
      SysFreeString(value.bstrVal);
      break;
    case VT_DATE:
      CheckDateText(day, text);
      break;
    case VT_I4:
    case VT_UINT:
      Check(text == std::to_string(static_cast<std::uint32_t>(bits)),
            "32-bit numbers print as unsigned decimal");
      break;
    default:
      Check(text.empty(), "every other type is skipped");
      break;
  }
  return 0;
}
