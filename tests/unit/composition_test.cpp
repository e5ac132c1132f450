#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "identifier/identifier.h"
#include "tests/case_name.h"

namespace hwid {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

struct CompositionCase {
  const char* name;
  const char* serialText;
  const char* addressText;
  const char* legacy;
  const char* current;
};

class CompositionTest : public ::testing::TestWithParam<CompositionCase> {};

TEST_P(CompositionTest, Legacy) {
  EXPECT_EQ(ComposeLegacyIdentifier(GetParam().serialText, GetParam().addressText),
            GetParam().legacy);
}

TEST_P(CompositionTest, Current) {
  EXPECT_EQ(ComposeCurrentIdentifier(GetParam().serialText, GetParam().addressText),
            GetParam().current);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, CompositionTest,
    ::testing::Values(
        CompositionCase{"WorkedExample", "305419896", "00:1A:2B:3C:4D:5E",
                        "30541989601048485849655850665851675852685853691310",
                        "305419896010\t48485849655850665851675852685853691310"},
        CompositionCase{
            "SortsAddresses", "1", "00:50:56:C0:00:08\t00:0C:29:AA:BB:CC",
            "10104848584867585057586565586666586767131048485853485853545867485848485848561310",
            "1010\t48485848675850575865655866665867671310\t48485853485853545867485848485848561310"},
        CompositionCase{
            "KeepsDuplicatesSideBySide", "1", "00:0C:29:AA:BB:CC\t00:0C:29:AA:BB:CC",
            "10104848584867585057586565586666586767131048485848675850575865655866665867671310",
            "1010\t48485848675850575865655866665867671310\t48485848675850575865655866665867671310"},
        CompositionCase{"ByteAbove127IsNegative", "1", "A\xC4", "101065-601310", "1010\t65-601310"},
        CompositionCase{"NoAddresses", "7", "", "7010", "7010"},
        CompositionCase{"SerialZero", "0", "AB", "001065661310", "0010\t65661310"},
        CompositionCase{"UnreadableSerial", "", "AB", "001065661310", "0010\t65661310"},
        CompositionCase{"UnreadableSerialNoAddresses", "", "", "0010", "0010"},
        CompositionCase{"LargestSerial", "4294967295", "A", "4294967295010651310",
                        "4294967295010\t651310"},
        CompositionCase{"SplitsAtCrLfAndCrLf", "5", "B\rA\r\nC\nD", "5010651310661310671310681310",
                        "5010\t651310\t661310\t671310\t681310"},
        CompositionCase{"KeepsEmptyLineBetweenBreaks", "5", "B\r\rA", "50101310651310661310",
                        "5010\t1310\t651310\t661310"},
        CompositionCase{"FinalBreakAddsNoLine", "5", "A\r\n", "5010651310", "5010\t651310"},
        CompositionCase{"TabsAndBreaksMix", "5", "B\tA\n", "5010651310661310",
                        "5010\t651310\t661310"},
        CompositionCase{"LinesEqualButForCaseSwap", "1", "aa\tAA", "10106565131097971310",
                        "1010\t65651310\t97971310"}),
    ::hwid::testing::CaseName());

struct EncodingCase {
  const char* name;
  std::string_view text;
  const char* expected;
};

class EncodeCharacterCodesTest : public ::testing::TestWithParam<EncodingCase> {};

TEST_P(EncodeCharacterCodesTest, WritesEverySignedByte) {
  EXPECT_EQ(EncodeCharacterCodes(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Bytes, EncodeCharacterCodesTest,
                         ::testing::Values(EncodingCase{"Empty", "", ""},
                                           EncodingCase{"Address", "0:A", "485865"},
                                           EncodingCase{"LineBreak", "\r\n", "1310"},
                                           EncodingCase{"Nul", std::string_view("\0", 1), "0"},
                                           EncodingCase{"Highest7Bit", "\x7F", "127"},
                                           EncodingCase{"Lowest8Bit", "\x80", "-128"},
                                           EncodingCase{"Highest8Bit", "\xFF", "-1"},
                                           EncodingCase{"Mixed", "\xC4z", "-60122"}),
                         ::hwid::testing::CaseName());

// Checked against C's "%i" of the sign-extended byte, byte by byte and all bytes in one text.
TEST(EncodeCharacterCodes, EveryByteAsPrintfWritesIt) {
  std::string everyByte;
  std::string expected;
  for (int byte = 0; byte < 256; ++byte) {
    char code[8];
    static_cast<void>(
        std::snprintf(code, sizeof code, "%i", static_cast<int>(static_cast<signed char>(byte))));
    EXPECT_EQ(EncodeCharacterCodes(std::string(1, static_cast<char>(byte))), code) << byte;
    everyByte += static_cast<char>(byte);
    expected += code;
  }
  EXPECT_EQ(EncodeCharacterCodes(everyByte), expected);
}

TEST(SplitLines, BreaksAtEveryKindOfLineEnd) {
  EXPECT_THAT(SplitLines("a\rb\nc\r\nd"), ElementsAre("a", "b", "c", "d"));
  EXPECT_THAT(SplitLines("a\n\r"), ElementsAre("a", ""));
  EXPECT_THAT(SplitLines("\r\n\r\n"), ElementsAre("", ""));
  EXPECT_THAT(SplitLines("a\r\rb\n"), ElementsAre("a", "", "b"));
  EXPECT_THAT(SplitLines(""), ElementsAre());
}

// Cases worked out by hand from the quicksort's steps: lines that compare equal (differing only
// in letter case) end in the order its exchanges leave them, which the identifier's bytes show.
struct ExchangeCase {
  const char* name;
  std::vector<std::string> lines;
  std::vector<std::string> sorted;
};

class SortExchangeOrderTest : public ::testing::TestWithParam<ExchangeCase> {};

TEST_P(SortExchangeOrderTest, FollowsTheExchangesExactly) {
  std::vector<std::string_view> lines(GetParam().lines.begin(), GetParam().lines.end());
  SortLines(lines);
  EXPECT_THAT(lines, ElementsAreArray(GetParam().sorted));
}

INSTANTIATE_TEST_SUITE_P(
    EqualLines, SortExchangeOrderTest,
    ::testing::Values(
        ExchangeCase{"TwoEqualAreExchanged", {"aa", "AA"}, {"AA", "aa"}},
        ExchangeCase{"ThreeEqualSwapOuter", {"aa", "AA", "Aa"}, {"Aa", "AA", "aa"}},
        ExchangeCase{"FourEqual", {"xa", "XA", "xA", "Xa"}, {"xA", "Xa", "xa", "XA"}},
        ExchangeCase{"EqualPairBeforeGreater", {"b", "AA", "aa"}, {"aa", "AA", "b"}},
        ExchangeCase{
            "TwoEqualGroups", {"aa", "Ab", "AA", "ab", "aA"}, {"AA", "aA", "aa", "ab", "Ab"}},
        ExchangeCase{"PivotFollowsItsLine", {"c", "b", "a", "B", "b"}, {"a", "B", "b", "b", "c"}},
        ExchangeCase{"PivotPositionRoundsDown", {"b", "a", "b", "A"}, {"A", "a", "b", "b"}},
        ExchangeCase{"AlreadySorted", {"A", "B", "C"}, {"A", "B", "C"}},
        ExchangeCase{"SingleLine", {"x"}, {"x"}}, ExchangeCase{"NoLines", {}, {}}),
    ::hwid::testing::CaseName());

TEST(SortLines, OrdersLikeAnyCorrectSortForDistinctLines) {
  std::vector<std::string> texts;
  unsigned state = 12345;
  for (int i = 0; i < 300; ++i) {
    state = state * 1103515245U + 12345U;
    texts.push_back("00:0C:29:" + std::to_string(state % 100000));
  }
  std::sort(texts.begin(), texts.end());
  texts.erase(std::unique(texts.begin(), texts.end()), texts.end());
  const std::vector<std::string_view> expected(texts.begin(), texts.end());
  std::vector<std::string_view> lines(texts.rbegin(), texts.rend());

  SortLines(lines);

  EXPECT_EQ(lines, expected);
}

// An inconsistent comparison (a failing CompareStringA counts as less, so even the pivot is
// "less" than itself) must not take either scan outside the list. The comparison checks that
// every line it is handed is one of the list's own.
class SortBoundsTest : public ::testing::Test {
 protected:
  static bool InList(std::string_view line) {
    return std::any_of(sorting->begin(), sorting->end(),
                       [line](std::string_view own) { return own.data() == line.data(); });
  }
  static int AlwaysLess(std::string_view left, std::string_view right) {
    strays += InList(left) && InList(right) ? 0 : 1;
    return -1;
  }
  static int AlwaysGreater(std::string_view left, std::string_view right) {
    strays += InList(left) && InList(right) ? 0 : 1;
    return 1;
  }

  void SetUp() override {
    // One-letter views into one text: a line pointing anywhere else came from outside the list.
    for (std::size_t letter = 0; letter < kText.size(); ++letter) {
      lines.push_back(kText.substr(letter, 1));
    }
    lines.shrink_to_fit();
    original = lines;
    sorting = &lines;
    strays = 0;
  }
  void TearDown() override { sorting = nullptr; }

  static constexpr std::string_view kText = "ebdac";
  std::vector<std::string_view> lines;
  std::vector<std::string_view> original;
  static inline const std::vector<std::string_view>* sorting = nullptr;
  static inline int strays = 0;
};

TEST_F(SortBoundsTest, AlwaysLessStaysInsideAndKeepsEveryLine) {
  SortLines(lines, AlwaysLess);

  EXPECT_EQ(strays, 0);
  EXPECT_EQ(lines, original);
}

TEST_F(SortBoundsTest, AlwaysGreaterStaysInsideAndKeepsEveryLine) {
  SortLines(lines, AlwaysGreater);

  EXPECT_EQ(strays, 0);
  EXPECT_EQ(lines, original);
}

}  // namespace
}  // namespace hwid
