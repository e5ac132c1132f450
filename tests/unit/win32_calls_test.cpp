// The Win32 calls the tool makes, held to what Windows documents for their arguments: which
// values it accepts and which it refuses, with which last error. On Linux this checks the
// stand-in; cross-built, the same table runs against Windows' own calls under Wine. (Wine answers
// GetVolumeInformationA for drive C only where it can read the volume, which the tests' prefix
// cannot, so the name buffers of that call are checked in tests/linux/volume_test.cpp.)
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/win32.h"
#include "tests/case_name.h"

namespace {

using hwid::testing::CaseName;

// Not a value any call sets, so a refusal that sets no error shows.
constexpr DWORD kNoErrorSet = 0xDEADu;

constexpr char kNarrow[] = "ab\x80";  // 0x80 is the euro sign in Windows-1252
const WCHAR kWide[] = {L'a', L'b', 0x20AC, 0};
const WCHAR kLookAlikes[] = {0x0100, 0x221E};  // A with macron, infinity: best fit "A8"
constexpr LCID kUnknownLocale = 0x1234;
constexpr UINT kUnknownCodePage = 12345;

int ToWide(UINT codePage, DWORD flags, int narrowLength, int wideSize) {
  WCHAR wide[8] = {};
  return MultiByteToWideChar(codePage, flags, kNarrow, narrowLength, wideSize == 0 ? nullptr : wide,
                             wideSize);
}

int ToNarrow(UINT codePage, DWORD flags, int wideLength, int narrowSize) {
  char narrow[8] = {};
  return WideCharToMultiByte(codePage, flags, kWide, wideLength, narrowSize == 0 ? nullptr : narrow,
                             narrowSize, nullptr, nullptr);
}

int Compare(LCID locale, DWORD flags) { return CompareStringA(locale, flags, "a", 1, "B", 1); }

struct Call {
  const char* name;
  int (*call)();
  int result;
  // The last error a refusal sets; none where Windows documents none.
  std::optional<DWORD> error;
};

class Win32CallTest : public ::testing::TestWithParam<Call> {};

TEST_P(Win32CallTest, GivesTheDocumentedResultAndLastError) {
  const Call& c = GetParam();
  SetLastError(kNoErrorSet);

  EXPECT_EQ(c.call(), c.result);

  if (c.error) {
    EXPECT_EQ(GetLastError(), *c.error);
  }
}

const Call kRefused[] = {
    {"ToWideUnknownCodePage", [] { return ToWide(kUnknownCodePage, 0, 3, 8); }, 0,
     ERROR_INVALID_PARAMETER},
    {"ToWideUnknownFlag", [] { return ToWide(CP_ACP, 0x10, 3, 8); }, 0, ERROR_INVALID_FLAGS},
    {"ToWideNoInput", [] { return MultiByteToWideChar(CP_ACP, 0, nullptr, 3, nullptr, 0); }, 0,
     ERROR_INVALID_PARAMETER},
    {"ToWideEmptyInput", [] { return ToWide(CP_ACP, 0, 0, 8); }, 0, ERROR_INVALID_PARAMETER},
    {"ToWideSizeWithoutBuffer",
     [] { return MultiByteToWideChar(CP_ACP, 0, kNarrow, 3, nullptr, 8); }, 0,
     ERROR_INVALID_PARAMETER},
    {"ToWideNegativeSize", [] { return ToWide(CP_ACP, 0, 3, -1); }, 0, ERROR_INVALID_PARAMETER},
    {"ToWideBufferTooSmall", [] { return ToWide(CP_ACP, 0, 3, 2); }, 0, ERROR_INSUFFICIENT_BUFFER},
    {"ToNarrowUnknownCodePage", [] { return ToNarrow(kUnknownCodePage, 0, 3, 8); }, 0,
     ERROR_INVALID_PARAMETER},
    {"ToNarrowUnknownFlag1", [] { return ToNarrow(CP_ACP, 0x1, 3, 8); }, 0, ERROR_INVALID_FLAGS},
    {"ToNarrowUnknownFlag2", [] { return ToNarrow(CP_ACP, 0x2, 3, 8); }, 0, ERROR_INVALID_FLAGS},
    {"ToNarrowUnknownFlag800", [] { return ToNarrow(CP_ACP, 0x800, 3, 8); }, 0,
     ERROR_INVALID_FLAGS},
    {"ToNarrowNoInput",
     [] { return WideCharToMultiByte(CP_ACP, 0, nullptr, 3, nullptr, 0, nullptr, nullptr); }, 0,
     ERROR_INVALID_PARAMETER},
    {"ToNarrowEmptyInput", [] { return ToNarrow(CP_ACP, 0, 0, 8); }, 0, ERROR_INVALID_PARAMETER},
    {"ToNarrowSizeWithoutBuffer",
     [] { return WideCharToMultiByte(CP_ACP, 0, kWide, 3, nullptr, 8, nullptr, nullptr); }, 0,
     ERROR_INVALID_PARAMETER},
    {"ToNarrowNegativeSize", [] { return ToNarrow(CP_ACP, 0, 3, -1); }, 0, ERROR_INVALID_PARAMETER},
    {"ToNarrowBufferTooSmall", [] { return ToNarrow(CP_ACP, 0, 3, 2); }, 0,
     ERROR_INSUFFICIENT_BUFFER},
    {"CompareUnknownLocale", [] { return Compare(kUnknownLocale, NORM_IGNORECASE); }, 0,
     ERROR_INVALID_PARAMETER},
    {"CompareUnknownFlag40", [] { return Compare(LOCALE_USER_DEFAULT, 0x40); }, 0,
     ERROR_INVALID_FLAGS},
    {"CompareUnknownFlag80000000", [] { return Compare(LOCALE_USER_DEFAULT, 0x80000000); }, 0,
     ERROR_INVALID_FLAGS},
    {"CompareNoFirstText",
     [] { return CompareStringA(LOCALE_USER_DEFAULT, 0, nullptr, 0, "B", 1); }, 0,
     ERROR_INVALID_PARAMETER},
    {"CompareNoSecondText",
     [] { return CompareStringA(LOCALE_USER_DEFAULT, 0, "a", 1, nullptr, 0); }, 0,
     ERROR_INVALID_PARAMETER},
    {"VolumeOfAnAbsentDrive",
     [] {
       DWORD serial = 0;
       return GetVolumeInformationA("Q:\\", nullptr, 0, &serial, nullptr, nullptr, nullptr, 0);
     },
     FALSE, ERROR_PATH_NOT_FOUND},
};

INSTANTIATE_TEST_SUITE_P(Refused, Win32CallTest, ::testing::ValuesIn(kRefused), CaseName());

const Call kAccepted[] = {
    {"ToWideThreadCodePage", [] { return ToWide(CP_THREAD_ACP, 0, 3, 8); }, 3, std::nullopt},
    {"ToWidePrecomposedIsTheDefault", [] { return ToWide(CP_ACP, MB_PRECOMPOSED, 3, 8); }, 3,
     std::nullopt},
    {"ToWideEveryByteIsValid", [] { return ToWide(CP_ACP, MB_ERR_INVALID_CHARS, 3, 8); }, 3,
     std::nullopt},
    {"ToWideAnyNegativeLengthCountsToTheTerminator", [] { return ToWide(CP_ACP, 0, -2, 8); }, 4,
     std::nullopt},
    {"ToWideSizeZeroAsksForTheLength", [] { return ToWide(CP_ACP, 0, 3, 0); }, 3, std::nullopt},
    {"ToNarrowThreadCodePage", [] { return ToNarrow(CP_THREAD_ACP, 0, 3, 8); }, 3, std::nullopt},
    {"ToNarrowAnyNegativeLengthCountsToTheTerminator", [] { return ToNarrow(CP_ACP, 0, -2, 8); }, 4,
     std::nullopt},
    {"ToNarrowSizeZeroAsksForTheLength", [] { return ToNarrow(CP_ACP, 0, 3, 0); }, 3, std::nullopt},
    {"CompareNeutralLocale", [] { return Compare(LOCALE_NEUTRAL, NORM_IGNORECASE); },
     CSTR_LESS_THAN, std::nullopt},
    {"CompareInvariantLocale", [] { return Compare(LOCALE_INVARIANT, NORM_IGNORECASE); },
     CSTR_LESS_THAN, std::nullopt},
    {"CompareSystemLocale", [] { return Compare(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE); },
     CSTR_LESS_THAN, std::nullopt},
    {"CompareUnitedStatesLocale", [] { return Compare(0x0409, NORM_IGNORECASE); }, CSTR_LESS_THAN,
     std::nullopt},
    {"CompareAnyNegativeLengthCountsToTheTerminator",
     [] { return CompareStringA(LOCALE_USER_DEFAULT, 0, "abc", -5, "abd", -1); }, CSTR_LESS_THAN,
     std::nullopt},
    {"LowerCaseNoBuffer", [] { return static_cast<int>(CharLowerBuffA(nullptr, 5)); }, 0,
     std::nullopt},
    {"LowerCaseLengthZero",
     [] {
       char text[] = "AB";
       return static_cast<int>(CharLowerBuffA(text, 0));
     },
     0, std::nullopt},
};

INSTANTIATE_TEST_SUITE_P(Accepted, Win32CallTest, ::testing::ValuesIn(kAccepted), CaseName());

TEST(Win32Calls, WithoutBestFitLookAlikesBecomeTheDefaultCharacter) {
  char narrow[2] = {};
  BOOL usedDefault = FALSE;

  EXPECT_EQ(WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, kLookAlikes, 2, narrow, 2, nullptr,
                                &usedDefault),
            2);

  EXPECT_EQ(std::string(narrow, 2), "??");
  EXPECT_TRUE(usedDefault);
}

}  // namespace
