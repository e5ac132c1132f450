#include "app/command_line.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/case_name.h"

namespace hwid {
namespace {

constexpr char kProgramPath[] = "C:\\Program Files\\hwid\\hwid.exe";

// Lead bytes of code page 932 (Shift-JIS).
bool ShiftJisLeadByte(char byte) {
  const auto value = static_cast<unsigned char>(byte);
  return (value >= 0x81 && value <= 0x9F) || (value >= 0xE0 && value <= 0xFC);
}

bool NoLeadByte(char /*byte*/) { return false; }

struct SplitCase {
  const char* name;
  const char* commandLine;
  LeadBytePredicate isLeadByte;
  std::vector<std::string> arguments;  // after argv[0]
};

class SplitCommandLineTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitCommandLineTest, GivesTheProgramPathAndTheArguments) {
  const SplitCase& testCase = GetParam();
  std::vector<std::string> expected{kProgramPath};
  expected.insert(expected.end(), testCase.arguments.begin(), testCase.arguments.end());
  EXPECT_EQ(SplitCommandLine(testCase.commandLine, kProgramPath, testCase.isLeadByte), expected);
}

const SplitCase kSplitCases[] = {
    {"EmptyCommandLine", "", NoLeadByte, {}},
    {"ProgramNameOnly", "hwid", NoLeadByte, {}},
    {"ProgramNameAfterBlanks", " \t hwid oldtrial", NoLeadByte, {"oldtrial"}},
    {"QuotedProgramNameWithSpace",
     "\"C:\\Program Files\\hwid\\hwid.exe\" oldtrial",
     NoLeadByte,
     {"oldtrial"}},
    {"QuotedProgramNameEndsAtItsClosingQuote", "\"hwid\"x y", NoLeadByte, {"x", "y"}},
    {"UnquotedProgramNameEndsAtBlankDespiteQuote", "hw\"id a b", NoLeadByte, {"a", "b"}},
    {"BlanksSeparateArguments", "hwid  a \t b\t", NoLeadByte, {"a", "b"}},
    {"QuotesToggleInsideAnArgument", "hwid ab\"c d\"e", NoLeadByte, {"abc de"}},
    {"QuotedTabBelongsToArgument", "hwid \"a\tb\" c", NoLeadByte, {"a\tb", "c"}},
    {"QuotesDroppedAroundLetters", "hwid o\"ldtr\"ial", NoLeadByte, {"oldtrial"}},
    {"EmptyQuotesGiveEmptyArgument", "hwid \"\" x", NoLeadByte, {"", "x"}},
    {"EmptyQuotesInsideArgumentVanish", "hwid a\"\"b", NoLeadByte, {"ab"}},
    {"UnclosedQuoteRunsToTheEnd", "hwid \"a b", NoLeadByte, {"a b"}},
    {"BackslashQuoteOutsideQuotes", "hwid a\\\"b c", NoLeadByte, {"a\"b", "c"}},
    {"BackslashQuoteInsideQuotes", "hwid \"a\\\" b\"", NoLeadByte, {"a\" b"}},
    {"TwoBackslashesStayTwo", "hwid a\\\\b", NoLeadByte, {"a\\\\b"}},
    {"BackslashPairBeforeQuoteEscapesOnlyTheLast", "hwid \\\\\"x y\"", NoLeadByte, {"\\\"x", "y"}},
    {"TrailingBackslashIsOrdinary", "hwid C:\\dir\\", NoLeadByte, {"C:\\dir\\"}},
    {"NoWildcardExpansion", "hwid *.* ?", NoLeadByte, {"*.*", "?"}},
    // 0x81 0x5C is one Shift-JIS character; its 0x5C must not escape the quote after it.
    {"LeadByteTakesBackslashTrailByte", "hwid \x81\\\"a b\"", ShiftJisLeadByte, {"\x81\\a b"}},
    {"SameBytesWithoutLeadByteEscapeTheQuote", "hwid \x81\\\"a b\"", NoLeadByte, {"\x81\"a", "b"}},
    {"LeadByteAtTheEnd", "hwid a\x81", ShiftJisLeadByte, {"a\x81"}},
};

INSTANTIATE_TEST_SUITE_P(Table, SplitCommandLineTest, ::testing::ValuesIn(kSplitCases),
                         testing::CaseName());

// main's argument vector: argv as the C runtime gave it, unless the platform handed over the
// command line as one text.
struct ArgumentsCase {
  const char* name;
  std::vector<const char*> argv;
  std::optional<CommandLineText> commandLine;
  std::vector<std::string> arguments;
};

class ProgramArgumentsTest : public ::testing::TestWithParam<ArgumentsCase> {};

TEST_P(ProgramArgumentsTest, ComeFromArgvOrFromTheSplitText) {
  const ArgumentsCase& testCase = GetParam();
  EXPECT_EQ(ProgramArguments(static_cast<int>(testCase.argv.size()), testCase.argv.data(),
                             testCase.commandLine),
            testCase.arguments);
}

const ArgumentsCase kArgumentsCases[] = {
    // Quotes and backslashes stay as they are: the C runtime has already dealt with them.
    {"NoTextGivesArgvAsItCame", {"./hwid", "a \"b", "\\"}, std::nullopt, {"./hwid", "a \"b", "\\"}},
    {"NoTextAndNoArgv", {}, std::nullopt, {}},
    {"TextIsSplitAndArgvIgnored",
     {"ignored"},
     CommandLineText{"hwid \"a b\" c\\\"d", kProgramPath},
     {kProgramPath, "a b", "c\"d"}},
    {"EmptyTextGivesTheProgramPathAlone", {}, CommandLineText{"", kProgramPath}, {kProgramPath}},
};

INSTANTIATE_TEST_SUITE_P(Table, ProgramArgumentsTest, ::testing::ValuesIn(kArgumentsCases),
                         testing::CaseName());

}  // namespace
}  // namespace hwid
