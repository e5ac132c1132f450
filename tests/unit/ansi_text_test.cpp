#include "Wmioperationsunit/ansi_text.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/case_name.h"

namespace hwid {
namespace {

// Cases that hold on code page 1252, the ANSI code page of western Windows and of our stand-in.
struct TextCase {
  const char* name;
  std::wstring wide;
  std::string narrow;
};

class AnsiTextTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(AnsiTextTest, NarrowText) { EXPECT_EQ(NarrowText(GetParam().wide), GetParam().narrow); }

TEST_P(AnsiTextTest, WideText) { EXPECT_EQ(WideText(GetParam().narrow), GetParam().wide); }

INSTANTIATE_TEST_SUITE_P(
    CodePage1252, AnsiTextTest,
    ::testing::Values(TextCase{"Empty", L"", ""},
                      TextCase{"Ascii", L"00:1A:2B:3C:4D:5E\t7", "00:1A:2B:3C:4D:5E\t7"},
                      TextCase{"Latin1", L"caf\u00e9", "caf\xe9"},
                      TextCase{"EuroFromTheHighControlRange", L"\u20ac5",
                               "\x80"
                               "5"},
                      TextCase{"EmbeddedNul", std::wstring(L"a\0b", 3), std::string("a\0b", 3)}),
    ::hwid::testing::CaseName());

TEST(NarrowText, CharacterWithoutMappingBecomesQuestionMark) {
  EXPECT_EQ(NarrowText(L"A\u4e2dB"), "A?B");
}

}  // namespace
}  // namespace hwid
