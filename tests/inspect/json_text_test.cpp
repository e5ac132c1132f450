// JSON strings of ANSI text: escapes, and characters beyond ASCII through the code page.
#include "inspect/json_text.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace hwid::inspect {
namespace {

struct JsonCase {
  const char* name;
  std::string text;
  std::string json;
};

void PrintTo(const JsonCase& testCase, std::ostream* out) { *out << testCase.name; }

class JsonStringTest : public ::testing::TestWithParam<JsonCase> {};

TEST_P(JsonStringTest, EscapesForJson) { EXPECT_EQ(JsonString(GetParam().text), GetParam().json); }

INSTANTIATE_TEST_SUITE_P(
    Texts, JsonStringTest,
    ::testing::Values(JsonCase{"Empty", "", R"("")"},
                      JsonCase{"Address", "00:1A:2B:3C:4D:5E", R"("00:1A:2B:3C:4D:5E")"},
                      JsonCase{"QuoteAndBackslash", R"(a"b\c)", R"("a\"b\\c")"},
                      JsonCase{"LineBreaksAndTab", "1\t2\r\n3", R"("1\t2\r\n3")"},
                      JsonCase{"OtherControls", std::string("\x01\x1f\x7f", 3),
                               R"("\u0001\u001F\u007F")"},
                      JsonCase{"NulInside", std::string("a\0b", 3), R"("a\u0000b")"},
                      // Windows-1252: 0xE9 is U+00E9, 0x80 the euro sign U+20AC.
                      JsonCase{"CodePageLetters", "caf\xE9 \x80", R"("caf\u00E9 \u20AC")"}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST(JsonStringArrayTest, JoinsStringsWithCommas) {
  EXPECT_EQ(JsonStringArray({}), "[]");
  EXPECT_EQ(JsonStringArray({"a"}), R"(["a"])");
  EXPECT_EQ(JsonStringArray({"a", "", "\""}), R"(["a","","\""])");
}

}  // namespace
}  // namespace hwid::inspect
