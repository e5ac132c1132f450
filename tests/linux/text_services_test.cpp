// The stand-in's national language services: Windows-1252 both ways, its lower-casing and the
// case-insensitive comparison built on it, and the decimal separator.
#include <gtest/gtest.h>
#include <iconv.h>

#include <ostream>
#include <string>

#include "platform/win32.h"
#include "tests/case_name.h"

namespace {

using hwid::testing::CaseName;

// Bytes whose UTF-16 values differ from Latin-1 or sit at its edges; the expected values are
// Windows-1252's published table.
struct CodePoint {
  unsigned char byte;
  WCHAR unit;
};

constexpr CodePoint kCodePoints[] = {
    {0x00, 0x0000}, {0x41, 0x0041}, {0x7F, 0x007F}, {0x80, 0x20AC}, {0x81, 0x0081}, {0x82, 0x201A},
    {0x8A, 0x0160}, {0x8D, 0x008D}, {0x8F, 0x008F}, {0x90, 0x0090}, {0x91, 0x2018}, {0x99, 0x2122},
    {0x9D, 0x009D}, {0x9F, 0x0178}, {0xA0, 0x00A0}, {0xC4, 0x00C4}, {0xFF, 0x00FF},
};

TEST(Windows1252, EveryTableByteConvertsToItsUnitAndBack) {
  for (const CodePoint& point : kCodePoints) {
    const char byte = static_cast<char>(point.byte);
    WCHAR unit = 0xFFFF;
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, &byte, 1, &unit, 1), 1);
    EXPECT_EQ(unit, point.unit) << "byte " << int{point.byte};

    char back = 0;
    BOOL usedDefault = TRUE;
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, &point.unit, 1, &back, 1, nullptr, &usedDefault), 1);
    EXPECT_EQ(static_cast<unsigned char>(back), point.byte) << "unit " << int{point.unit};
    EXPECT_FALSE(usedDefault);
  }
}

// Every byte against the C library's own CP1252 converter, which leaves undefined the five bytes
// Windows maps to the control characters of the same value.
TEST(Windows1252, EveryByteConvertsAsTheCLibrarySays) {
  const iconv_t converter = iconv_open("UTF-16LE", "CP1252");
  // NOLINTNEXTLINE(performance-no-int-to-ptr): iconv_open's documented failure value
  ASSERT_NE(converter, reinterpret_cast<iconv_t>(-1));
  for (int value = 0; value < 256; ++value) {
    char byte = static_cast<char>(value);
    unsigned char utf16[2] = {};
    char* in = &byte;
    char* out = reinterpret_cast<char*>(utf16);
    std::size_t inLeft = 1;
    std::size_t outLeft = 2;
    const bool defined = iconv(converter, &in, &inLeft, &out, &outLeft) != static_cast<size_t>(-1);
    const WCHAR expected = defined ? static_cast<WCHAR>(utf16[0] | utf16[1] << 8) : WCHAR(value);
    EXPECT_EQ(defined,
              value != 0x81 && value != 0x8D && value != 0x8F && value != 0x90 && value != 0x9D)
        << "byte " << value;

    WCHAR unit = 0xFFFF;
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, &byte, 1, &unit, 1), 1);
    EXPECT_EQ(unit, expected) << "byte " << value;
    char back = 0;
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, &expected, 1, &back, 1, nullptr, nullptr), 1);
    EXPECT_EQ(back, byte) << "unit " << int{expected};
  }
  iconv_close(converter);
}

TEST(Windows1252, UnitsWithoutAByteBecomeTheDefaultCharacter) {
  const WCHAR wide[] = {L'A', 0x0416, 0x20AD, 0xD83D, 0xDE00, 0x4E2D, L'z'};
  char narrow[7] = {};
  BOOL usedDefault = FALSE;

  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, wide, 7, narrow, 7, nullptr, &usedDefault), 7);

  EXPECT_EQ(std::string(narrow, 7), "A?????z");
  EXPECT_TRUE(usedDefault);

  const char star = '*';
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, wide, 3, narrow, 3, &star, nullptr), 3);
  EXPECT_EQ(std::string(narrow, 3), "A**");
}

TEST(Windows1252, LookAlikeUnitsBecomeTheirBestFitByte) {
  // A with macron, fullwidth A, infinity, minus sign: Windows' best-fit bytes for code page 1252.
  const WCHAR wide[] = {0x0100, 0xFF21, 0x221E, 0x2212};
  char narrow[4] = {};
  BOOL usedDefault = TRUE;

  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, wide, 4, narrow, 4, nullptr, &usedDefault), 4);

  EXPECT_EQ(std::string(narrow, 4), "AA8-");
  EXPECT_FALSE(usedDefault);
}

TEST(Windows1252, SizesAndFailuresFollowTheWindowsCalls) {
  const char narrow[] = "ab\x80";
  const WCHAR wide[] = {L'a', L'b', 0x20AC, 0};
  WCHAR wideOut[4] = {};
  char narrowOut[4] = {};

  // A size of 0 asks for the length; -1 counts the terminator.
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, narrow, 3, nullptr, 0), 3);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, narrow, -1, nullptr, 0), 4);
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, wide, 3, nullptr, 0, nullptr, nullptr), 3);
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, wide, -1, nullptr, 0, nullptr, nullptr), 4);

  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, narrow, -1, wideOut, 4), 4);
  EXPECT_EQ(std::wstring(wideOut, 4), std::wstring(wide, 4));
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, wide, -1, narrowOut, 4, nullptr, nullptr), 4);
  EXPECT_EQ(std::string(narrowOut, 4), std::string(narrow, sizeof narrow));

  // Too small a buffer, a null buffer, no input or another code page fail with 0.
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, narrow, 3, wideOut, 2), 0);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, narrow, 3, nullptr, 3), 0);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, narrow, 0, wideOut, 4), 0);
  EXPECT_EQ(MultiByteToWideChar(65001, 0, narrow, 3, wideOut, 4), 0);
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, wide, 3, narrowOut, 2, nullptr, nullptr), 0);
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, wide, 3, nullptr, 3, nullptr, nullptr), 0);
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, wide, 0, narrowOut, 4, nullptr, nullptr), 0);
  EXPECT_EQ(WideCharToMultiByte(65001, 0, wide, 3, narrowOut, 4, nullptr, nullptr), 0);
}

TEST(Windows1252, CharLowerBuffALowersExactlyTheCodePagesCapitals) {
  // Capitals, then characters without a case: the multiplication sign, sharp s, digits, symbols
  // and the lower-case letters themselves.
  std::string text =
      "AZ\xC0\xC4\xD6\xD8\xDE\x8A\x8C\x8E\x9F"
      "\xD7\xDF\xF7\xFF"
      "09@[`{az";
  const std::string lowered =
      "az\xE0\xE4\xF6\xF8\xFE\x9A\x9C\x9E\xFF"
      "\xD7\xDF\xF7\xFF"
      "09@[`{az";

  EXPECT_EQ(CharLowerBuffA(text.data(), static_cast<DWORD>(text.size())), text.size());

  EXPECT_EQ(text, lowered);
}

TEST(Windows1252, CharLowerBuffAStopsAtTheGivenLength) {
  std::string text = "ABCD";

  EXPECT_EQ(CharLowerBuffA(text.data(), 2), 2u);

  EXPECT_EQ(text, "abCD");
}

struct Comparison {
  const char* name;
  std::string left;
  std::string right;
  DWORD flags;
  int expected;

  friend void PrintTo(const Comparison& row, std::ostream* out) { *out << row.name; }
};

const Comparison kComparisons[] = {
    {"EqualTexts", "00:1A:2B", "00:1A:2B", NORM_IGNORECASE, CSTR_EQUAL},
    {"CaseIgnored", "aa:bb", "AA:BB", NORM_IGNORECASE, CSTR_EQUAL},
    {"CaseIgnoredThenDiffering", "aB1", "Ab2", NORM_IGNORECASE, CSTR_LESS_THAN},
    {"LetterOrderNotByteOrder", "B", "a", NORM_IGNORECASE, CSTR_GREATER_THAN},
    {"CaseIgnoredAcrossWords", "00:1a:2B:3C:4d", "00:1A:2b:3C:4E", NORM_IGNORECASE, CSTR_LESS_THAN},
    {"FirstDifferenceInAWordDecides", "aXcdefgh", "bAcdefgh", NORM_IGNORECASE, CSTR_LESS_THAN},
    {"DifferenceAfterTwoEqualWords", "00:0C:29:AA:BB:CD", "00:0C:29:AA:BB:CC", NORM_IGNORECASE,
     CSTR_GREATER_THAN},
    {"LowerCaseFirstWithoutTheFlag", "aa", "AA", 0, CSTR_LESS_THAN},
    {"CaseDecidesOnlyBetweenOtherwiseEqualTexts", "ab", "AC", 0, CSTR_LESS_THAN},
    {"FirstCaseDifferenceDecides", "aB", "Ab", 0, CSTR_LESS_THAN},
    {"CaseTieBreakAcrossWords", "00:0c:29:AA", "00:0C:29:aa", 0, CSTR_LESS_THAN},
    {"DigitBeforeLetter", "00:0C", "00:50", NORM_IGNORECASE, CSTR_LESS_THAN},
    {"ColonBeforeLetter", "0:", "0A", NORM_IGNORECASE, CSTR_LESS_THAN},
    {"PrefixFirst", "00:1A", "00:1A:2B", NORM_IGNORECASE, CSTR_LESS_THAN},
    {"LongerAfter", "b", "a0", NORM_IGNORECASE, CSTR_GREATER_THAN},
    {"EmptyFirst", "", "0", NORM_IGNORECASE, CSTR_LESS_THAN},
    {"AUmlautPairIgnoresCase", "\xC4", "\xE4", NORM_IGNORECASE, CSTR_EQUAL},
    {"SCaronPairIgnoresCase", "\x8A", "\x9A", NORM_IGNORECASE, CSTR_EQUAL},
    {"YDiaeresisPairIgnoresCase", "\x9F", "\xFF", NORM_IGNORECASE, CSTR_EQUAL},
    {"TimesAndDivideAreNoPair", "\xD7", "\xF7", NORM_IGNORECASE, CSTR_LESS_THAN},
    {"HighBytesAfterAscii", "\x80", "z", NORM_IGNORECASE, CSTR_GREATER_THAN},
    {"EmbeddedNulCounts", std::string("a\0b", 3), std::string("a\0c", 3), NORM_IGNORECASE,
     CSTR_LESS_THAN},
};

class CompareStringATest : public ::testing::TestWithParam<Comparison> {};

TEST_P(CompareStringATest, ComparesTheWholeExplicitLengths) {
  const Comparison& c = GetParam();

  EXPECT_EQ(
      CompareStringA(LOCALE_USER_DEFAULT, c.flags, c.left.data(), static_cast<int>(c.left.size()),
                     c.right.data(), static_cast<int>(c.right.size())),
      c.expected);
}

INSTANTIATE_TEST_SUITE_P(Windows1252, CompareStringATest, ::testing::ValuesIn(kComparisons),
                         CaseName());

TEST(Windows1252, CompareStringAReadsOnlyTheGivenLengthsOrUpToTheTerminator) {
  EXPECT_EQ(CompareStringA(LOCALE_USER_DEFAULT, 0, "abcX", 3, "abcY", 3), CSTR_EQUAL);
  EXPECT_EQ(CompareStringA(LOCALE_USER_DEFAULT, 0, "abc", -1, "abd", -1), CSTR_LESS_THAN);
  EXPECT_EQ(CompareStringA(LOCALE_USER_DEFAULT, 0, nullptr, 0, "a", 1), 0);
  EXPECT_EQ(CompareStringA(LOCALE_USER_DEFAULT, 0, "a", 1, nullptr, 0), 0);
}

// A code page, locale or flag that Windows knows but the stand-in does not have or implement fails
// as an unknown one does, so code that starts relying on it fails here instead of getting another
// answer. Wine has them all (and lets WC_ERR_INVALID_CHARS through for Windows-1252, which Windows
// documents as refused), so this table runs on Linux only.
struct Unavailable {
  const char* name;
  int (*call)();
  DWORD error;

  friend void PrintTo(const Unavailable& row, std::ostream* out) { *out << row.name; }
};

int ToWide(UINT codePage, DWORD flags) {
  WCHAR wide[4] = {};
  return MultiByteToWideChar(codePage, flags, "ab\x80", 3, wide, 4);
}

int ToNarrow(UINT codePage, DWORD flags) {
  const WCHAR wide[] = {L'a', L'b', 0x20AC};
  char narrow[4] = {};
  return WideCharToMultiByte(codePage, flags, wide, 3, narrow, 4, nullptr, nullptr);
}

int Compare(LCID locale, DWORD flags) { return CompareStringA(locale, flags, "a", 1, "B", 1); }

const Unavailable kUnavailable[] = {
    {"ToWideOemCodePage", [] { return ToWide(CP_OEMCP, 0); }, ERROR_INVALID_PARAMETER},
    {"ToWideUtf8", [] { return ToWide(CP_UTF8, 0); }, ERROR_INVALID_PARAMETER},
    {"ToNarrowCodePage437", [] { return ToNarrow(437, 0); }, ERROR_INVALID_PARAMETER},
    {"ToWideComposite", [] { return ToWide(CP_ACP, MB_COMPOSITE); }, ERROR_INVALID_FLAGS},
    {"ToWidePrecomposedWithComposite", [] { return ToWide(CP_ACP, MB_PRECOMPOSED | MB_COMPOSITE); },
     ERROR_INVALID_FLAGS},
    {"ToWideGlyphCharacters", [] { return ToWide(CP_ACP, MB_USEGLYPHCHARS); }, ERROR_INVALID_FLAGS},
    {"ToNarrowInvalidCharactersIsForUtf8Only",
     [] { return ToNarrow(CP_ACP, WC_ERR_INVALID_CHARS); }, ERROR_INVALID_FLAGS},
    {"ToNarrowCompositeCheck", [] { return ToNarrow(CP_ACP, WC_COMPOSITECHECK); },
     ERROR_INVALID_FLAGS},
    {"ToNarrowCompositeCheckWithDefaultCharacter",
     [] { return ToNarrow(CP_ACP, WC_COMPOSITECHECK | WC_DEFAULTCHAR); }, ERROR_INVALID_FLAGS},
    {"ToNarrowSeparateCharacters", [] { return ToNarrow(CP_ACP, WC_SEPCHARS); },
     ERROR_INVALID_FLAGS},
    {"ToNarrowDiscardNonSpacing", [] { return ToNarrow(CP_ACP, WC_DISCARDNS); },
     ERROR_INVALID_FLAGS},
    {"CompareGermanLocale", [] { return Compare(0x0407, NORM_IGNORECASE); },
     ERROR_INVALID_PARAMETER},
    {"CompareIgnoringDiacritics", [] { return Compare(LOCALE_USER_DEFAULT, NORM_IGNORENONSPACE); },
     ERROR_INVALID_FLAGS},
    {"CompareIgnoringSymbols", [] { return Compare(LOCALE_USER_DEFAULT, NORM_IGNORESYMBOLS); },
     ERROR_INVALID_FLAGS},
    {"CompareAsStrings", [] { return Compare(LOCALE_USER_DEFAULT, SORT_STRINGSORT); },
     ERROR_INVALID_FLAGS},
};

class UnavailableTest : public ::testing::TestWithParam<Unavailable> {};

TEST_P(UnavailableTest, FailsWithTheLastErrorOfAnUnknownValue) {
  const Unavailable& row = GetParam();
  SetLastError(0);

  EXPECT_EQ(row.call(), 0);

  EXPECT_EQ(GetLastError(), row.error);
}

INSTANTIATE_TEST_SUITE_P(Windows1252, UnavailableTest, ::testing::ValuesIn(kUnavailable),
                         CaseName());

TEST(LocaleInfo, TheDecimalSeparatorIsAPoint) {
  char buffer[8] = "xxxxxxx";

  EXPECT_EQ(GetLocaleInfoA(GetThreadLocale(), LOCALE_SDECIMAL, nullptr, 0), 2);
  EXPECT_EQ(GetLocaleInfoA(GetThreadLocale(), LOCALE_SDECIMAL, buffer, sizeof buffer), 2);
  EXPECT_STREQ(buffer, ".");
  EXPECT_EQ(GetLocaleInfoA(GetThreadLocale(), LOCALE_SDECIMAL, buffer, 1), 0);
  EXPECT_EQ(GetLocaleInfoA(GetThreadLocale(), 0x000F /* LOCALE_STHOUSAND */, buffer, 8), 0);
}

}  // namespace
