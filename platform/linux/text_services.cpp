// Linux stand-in only: national language services for an ANSI code page of Windows-1252 and a
// user locale whose collation compares lower-cased code-page bytes.

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/win32.h"

namespace {

// UTF-16 values of bytes 0x80..0x9F; the five bytes Windows-1252 leaves undefined map to the
// control character of the same value, as Windows does.
constexpr std::array<WCHAR, 32> kHighControlRange = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

constexpr char kDefaultCharacter = '?';
constexpr LCID kUserLocale = 0x0409;

WCHAR ToUtf16(unsigned char byte) {
  return byte >= 0x80 && byte <= 0x9F ? kHighControlRange[byte - 0x80] : WCHAR{byte};
}

bool FromUtf16(WCHAR unit, char& byte) {
  if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) {
    byte = static_cast<char>(unit);
    return true;
  }
  const auto* found = std::find(kHighControlRange.begin(), kHighControlRange.end(), unit);
  if (found == kHighControlRange.end()) {
    return false;
  }
  byte = static_cast<char>(0x80 + (found - kHighControlRange.begin()));
  return true;
}

constexpr std::array<unsigned char, 256> MakeLowerTable() {
  std::array<unsigned char, 256> table{};
  for (std::size_t byte = 0; byte < table.size(); ++byte) {
    table[byte] = static_cast<unsigned char>(byte);
  }
  for (std::size_t byte = 'A'; byte <= 'Z'; ++byte) {
    table[byte] = static_cast<unsigned char>(byte + 0x20);
  }
  for (std::size_t byte = 0xC0; byte <= 0xDE; ++byte) {
    if (byte != 0xD7) {  // the multiplication sign has no case
      table[byte] = static_cast<unsigned char>(byte + 0x20);
    }
  }
  table[0x8A] = 0x9A;  // S caron
  table[0x8C] = 0x9C;  // OE
  table[0x8E] = 0x9E;  // Z caron
  table[0x9F] = 0xFF;  // Y diaeresis
  return table;
}

constexpr std::array<unsigned char, 256> kLower = MakeLowerTable();

// -1 for the length means "up to the terminating NUL", as in the Windows calls.
template <class Char>
int LengthOf(const Char* text, int length) {
  if (length >= 0) {
    return length;
  }
  int count = 0;
  while (text[count] != Char{}) {
    ++count;
  }
  return count + 1;
}

}  // namespace

int MultiByteToWideChar(UINT CodePage, DWORD /*dwFlags*/, LPCCH lpMultiByteStr, int cbMultiByte,
                        LPWSTR lpWideCharStr, int cchWideChar) {
  if (CodePage != CP_ACP || lpMultiByteStr == nullptr || cbMultiByte == 0 || cchWideChar < 0) {
    return 0;
  }
  const int length = LengthOf(lpMultiByteStr, cbMultiByte);
  if (cchWideChar == 0) {
    return length;
  }
  if (lpWideCharStr == nullptr || cchWideChar < length) {
    return 0;
  }
  for (int i = 0; i < length; ++i) {
    lpWideCharStr[i] = ToUtf16(static_cast<unsigned char>(lpMultiByteStr[i]));
  }
  return length;
}

int WideCharToMultiByte(UINT CodePage, DWORD /*dwFlags*/, LPCWCH lpWideCharStr, int cchWideChar,
                        LPSTR lpMultiByteStr, int cbMultiByte, LPCCH lpDefaultChar,
                        LPBOOL lpUsedDefaultChar) {
  if (CodePage != CP_ACP || lpWideCharStr == nullptr || cchWideChar == 0 || cbMultiByte < 0) {
    return 0;
  }
  const int length = LengthOf(lpWideCharStr, cchWideChar);
  if (cbMultiByte != 0 && (lpMultiByteStr == nullptr || cbMultiByte < length)) {
    return 0;
  }
  const char defaultCharacter = lpDefaultChar != nullptr ? *lpDefaultChar : kDefaultCharacter;
  BOOL usedDefault = FALSE;
  for (int i = 0; i < length; ++i) {
    char byte = 0;
    if (!FromUtf16(lpWideCharStr[i], byte)) {
      byte = defaultCharacter;
      usedDefault = TRUE;
    }
    if (cbMultiByte != 0) {
      lpMultiByteStr[i] = byte;
    }
  }
  if (lpUsedDefaultChar != nullptr) {
    *lpUsedDefaultChar = usedDefault;
  }
  return length;
}

int CompareStringA(LCID /*Locale*/, DWORD dwCmpFlags, PCNZCH lpString1, int cchCount1,
                   PCNZCH lpString2, int cchCount2) {
  if (lpString1 == nullptr || lpString2 == nullptr) {
    return 0;
  }
  // Explicit lengths exclude the terminator; -1 stops at it.
  const int length1 = cchCount1 < 0 ? static_cast<int>(std::strlen(lpString1)) : cchCount1;
  const int length2 = cchCount2 < 0 ? static_cast<int>(std::strlen(lpString2)) : cchCount2;
  const bool ignoreCase = (dwCmpFlags & NORM_IGNORECASE) != 0;
  const int common = std::min(length1, length2);
  for (int i = 0; i < common; ++i) {
    auto left = static_cast<unsigned char>(lpString1[i]);
    auto right = static_cast<unsigned char>(lpString2[i]);
    if (ignoreCase) {
      left = kLower[left];
      right = kLower[right];
    }
    if (left != right) {
      return left < right ? CSTR_LESS_THAN : CSTR_GREATER_THAN;
    }
  }
  if (length1 == length2) {
    return CSTR_EQUAL;
  }
  return length1 < length2 ? CSTR_LESS_THAN : CSTR_GREATER_THAN;
}

DWORD CharLowerBuffA(LPSTR lpsz, DWORD cchLength) {
  if (lpsz == nullptr) {
    return 0;
  }
  for (DWORD i = 0; i < cchLength; ++i) {
    lpsz[i] = static_cast<char>(kLower[static_cast<unsigned char>(lpsz[i])]);
  }
  return cchLength;
}

LCID GetThreadLocale() { return kUserLocale; }

int GetLocaleInfoA(LCID /*Locale*/, LCTYPE LCType, LPSTR lpLCData, int cchData) {
  if (LCType != LOCALE_SDECIMAL || cchData < 0) {
    return 0;
  }
  constexpr char kDecimalSeparator[] = ".";
  constexpr int kSize = sizeof kDecimalSeparator;
  if (cchData == 0) {
    return kSize;
  }
  if (lpLCData == nullptr || cchData < kSize) {
    return 0;
  }
  std::memcpy(lpLCData, kDecimalSeparator, kSize);
  return kSize;
}

// Windows-1252 is a single-byte code page.
BOOL IsDBCSLeadByte(BYTE /*TestChar*/) { return FALSE; }
