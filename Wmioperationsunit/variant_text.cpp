#include "Wmioperationsunit/variant_text.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string_view>

#include "Wmioperationsunit/ansi_text.h"

namespace hwid {
namespace {

constexpr int kSignificantDigits = 15;
// Fixed notation is used for decimal exponents in this range (value = 0.ddd x 10^E).
constexpr int kFixedMinExponent = -3;
constexpr int kFixedMaxExponent = 15;

char ThreadDecimalSeparator() {
  std::array<char, 8> buffer{};
  if (GetLocaleInfoA(GetThreadLocale(), LOCALE_SDECIMAL, buffer.data(),
                     static_cast<int>(buffer.size())) <= 0 ||
      buffer[0] == '\0') {
    return '.';
  }
  return buffer[0];
}

std::string UnsignedText(std::uint32_t value) {
  std::array<char, 16> buffer{};
  const int length =
      std::snprintf(buffer.data(), buffer.size(), "%lu", static_cast<unsigned long>(value));
  return {buffer.data(), static_cast<std::size_t>(length)};
}

}  // namespace

std::string GeneralDateText(double dayNumber, char decimalSeparator) {
  if (!std::isfinite(dayNumber)) {
    return {};
  }
  if (dayNumber == 0) {
    return "0";
  }
  // Scientific with 14 decimals rounds to 15 significant digits: d.dddddddddddddde[+-]XX.
  // printf rather than to_chars: the floating-point to_chars would more than double the size of
  // the executable. Whatever the C locale's decimal point, only the digits are kept.
  std::array<char, 40> buffer{};
  const int length =
      std::snprintf(buffer.data(), buffer.size(), "%.*e", kSignificantDigits - 1, dayNumber);
  if (length <= 0 || static_cast<std::size_t>(length) >= buffer.size()) {
    return {};
  }
  const std::string_view scientific(buffer.data(), static_cast<std::size_t>(length));
  const bool negative = scientific.front() == '-';
  const std::size_t mantissaStart = negative ? 1 : 0;
  const std::size_t exponentMark = scientific.find('e');
  if (exponentMark == std::string_view::npos) {
    return {};
  }

  std::string digits;
  for (std::size_t i = mantissaStart; i < exponentMark; ++i) {
    if (scientific[i] >= '0' && scientific[i] <= '9') {
      digits += scientific[i];
    }
  }
  while (digits.size() > 1 && digits.back() == '0') {
    digits.pop_back();
  }
  // from_chars takes no '+'; the sign of a positive exponent is skipped.
  const std::size_t exponentStart = exponentMark + (scientific[exponentMark + 1] == '+' ? 2 : 1);
  int exponent = 0;
  if (std::from_chars(scientific.data() + exponentStart, scientific.data() + scientific.size(),
                      exponent)
          .ec != std::errc()) {
    return {};
  }
  ++exponent;

  std::string text = negative ? "-" : "";
  if (exponent >= kFixedMinExponent && exponent <= kFixedMaxExponent) {
    const int digitCount = static_cast<int>(digits.size());
    if (exponent <= 0) {
      text += '0';
      text += decimalSeparator;
      text.append(static_cast<std::size_t>(-exponent), '0');
      text += digits;
    } else if (exponent >= digitCount) {
      text += digits;
      text.append(static_cast<std::size_t>(exponent - digitCount), '0');
    } else {
      text.append(digits, 0, static_cast<std::size_t>(exponent));
      text += decimalSeparator;
      text.append(digits, static_cast<std::size_t>(exponent));
    }
  } else {
    text += digits.front();
    if (digits.size() > 1) {
      text += decimalSeparator;
      text.append(digits, 1);
    }
    text += 'E';
    text += std::to_string(exponent - 1);
  }
  return text;
}

std::string VariantText(const VARIANT& value) {
  switch (value.vt) {
    case VT_BSTR:
      return value.bstrVal == nullptr ? std::string()
                                      : NarrowText({value.bstrVal, SysStringLen(value.bstrVal)});
    case VT_DATE:
      return GeneralDateText(value.date, ThreadDecimalSeparator());
    case VT_UINT:
      return UnsignedText(value.uintVal);
    case VT_I4:
      return UnsignedText(static_cast<std::uint32_t>(value.lVal));
    default:
      return {};
  }
}

}  // namespace hwid
