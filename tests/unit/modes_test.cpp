#include "app/modes.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/case_name.h"

namespace hwid {
namespace {

struct ModeCase {
  const char* name;
  std::vector<const char*> argv;
  Mode expected;
};

class ChooseModeTest : public ::testing::TestWithParam<ModeCase> {};

TEST_P(ChooseModeTest, PicksTheMode) {
  const std::vector<const char*>& argv = GetParam().argv;
  EXPECT_EQ(ChooseMode(static_cast<int>(argv.size()), argv.data()), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, ChooseModeTest,
    ::testing::Values(
        ModeCase{"NoArgument", {"hwid"}, Mode::BareSerial},
        ModeCase{"NoArgumentNoProgramName", {}, Mode::BareSerial},
        ModeCase{"Oldtrial", {"hwid", "oldtrial"}, Mode::LegacyIdentifier},
        ModeCase{"OldtrialThenMore", {"hwid", "oldtrial", "x"}, Mode::LegacyIdentifier},
        ModeCase{"UpperCase", {"hwid", "OLDTRIAL"}, Mode::CurrentIdentifier},
        ModeCase{"LongerWord", {"hwid", "oldtrial2"}, Mode::CurrentIdentifier},
        ModeCase{"Prefix", {"hwid", "oldtria"}, Mode::CurrentIdentifier},
        ModeCase{"Empty", {"hwid", ""}, Mode::CurrentIdentifier},
        ModeCase{"Other", {"hwid", "x"}, Mode::CurrentIdentifier},
        ModeCase{"OtherThenOldtrial", {"hwid", "x", "oldtrial"}, Mode::CurrentIdentifier}),
    ::hwid::testing::CaseName());

struct SerialCase {
  const char* name;
  std::optional<std::uint32_t> serial;
  const char* expected;
};

class SignedSerialTextTest : public ::testing::TestWithParam<SerialCase> {};

TEST_P(SignedSerialTextTest, PrintsLikePercentD) {
  EXPECT_EQ(SignedSerialText(GetParam().serial), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Serials, SignedSerialTextTest,
                         ::testing::Values(SerialCase{"Small", 0x0000ABCD, "43981"},
                                           SerialCase{"AllBitsSet", 0xFFFFFFFF, "-1"},
                                           SerialCase{"TopBitSet", 0xA1B2C3D4, "-1582119980"},
                                           SerialCase{"LargestPositive", 0x7FFFFFFF, "2147483647"},
                                           SerialCase{"Smallest", 0x80000000, "-2147483648"},
                                           SerialCase{"Zero", 0, "0"},
                                           SerialCase{"Unreadable", std::nullopt, "0"}),
                         ::hwid::testing::CaseName());

}  // namespace
}  // namespace hwid
