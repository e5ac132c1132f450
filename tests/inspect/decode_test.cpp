// Reading identifiers back: both layouts, serials that look like the separator, and where
// invalid text stops being valid.
#include "hwid/decode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "hwid/identifier.h"

namespace hwid {
namespace {

struct ValidCase {
  const char* name;
  std::string text;
  Layout layout;
  std::uint32_t serial;
  std::vector<std::string> addresses;
};

void PrintTo(const ValidCase& testCase, std::ostream* out) { *out << testCase.name; }

class DecodeValid : public ::testing::TestWithParam<ValidCase> {};

TEST_P(DecodeValid, GivesLayoutSerialAndAddresses) {
  const DecodeResult result = DecodeIdentifier(GetParam().text);
  ASSERT_TRUE(result.valid) << result.errorPosition << ": " << result.error;
  EXPECT_EQ(result.identifier.layout, GetParam().layout);
  EXPECT_EQ(result.identifier.serial, GetParam().serial);
  EXPECT_EQ(result.identifier.addresses, GetParam().addresses);
}

INSTANTIATE_TEST_SUITE_P(
    Identifiers, DecodeValid,
    ::testing::Values(
        ValidCase{"WorkedExampleLegacy",
                  "30541989601048485849655850665851675852685853691310",
                  Layout::Legacy,
                  305419896,
                  {"00:1A:2B:3C:4D:5E"}},
        ValidCase{"WorkedExampleCurrent",
                  "305419896010\t48485849655850665851675852685853691310",
                  Layout::Current,
                  305419896,
                  {"00:1A:2B:3C:4D:5E"}},
        ValidCase{"NoAddress", "305419896010", Layout::Either, 305419896, {}},
        ValidCase{"SerialZero", "0010", Layout::Either, 0, {}},
        ValidCase{"LargestSerial", "4294967295010", Layout::Either, 4294967295, {}},
        ValidCase{"TwoAddressesLegacy", "7010651310981310", Layout::Legacy, 7, {"A", "b"}},
        ValidCase{"TwoAddressesCurrent", "7010\t651310\t981310", Layout::Current, 7, {"A", "b"}},
        // "12" + "010" reads as far as "0101...", where no code can begin.
        ValidCase{"SerialEndingInSeparator", "120100101011310", Layout::Legacy, 12010, {"e"}},
        // "12" + "010" would leave "101..." + "011..." behind, which breaks at the "0".
        ValidCase{"SerialEndingIn01", "12010101011310", Layout::Legacy, 1201, {"e"}},
        ValidCase{"SerialOfSeparators", "10100100101001310", Layout::Legacy, 1010010, {"d"}},
        ValidCase{"EmptyLine", "00101310651310661310", Layout::Legacy, 0, {"", "A", "B"}},
        ValidCase{"PrintableBounds", "9010126321310", Layout::Legacy, 9, {"~ "}},
        ValidCase{"LowerCaseAddress", "1010\t48485897581310", Layout::Current, 1, {"00:a:"}}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

struct InvalidCase {
  const char* name;
  std::string text;
  std::size_t position;
  std::string reason;  // a part of the error text
};

void PrintTo(const InvalidCase& testCase, std::ostream* out) { *out << testCase.name; }

class DecodeInvalid : public ::testing::TestWithParam<InvalidCase> {};

TEST_P(DecodeInvalid, SaysWhereTheTextStopsBeingValid) {
  const DecodeResult result = DecodeIdentifier(GetParam().text);
  ASSERT_FALSE(result.valid);
  EXPECT_EQ(result.errorPosition, GetParam().position);
  EXPECT_NE(result.error.find(GetParam().reason), std::string::npos) << result.error;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, DecodeInvalid,
    ::testing::Values(
        InvalidCase{"Empty", "", 0, "empty text"},
        InvalidCase{"LetterFirst", "x010", 0, "expected the volume serial"},
        InvalidCase{"SignedSerial", "-402614091", 0, "expected the volume serial"},
        InvalidCase{"LeadingZero", "0123010", 1, "expected the separator"},
        InvalidCase{"SerialTooLarge", "4294967296010", 9, "expected the separator"},
        // Up to ten digits may all be serial.
        InvalidCase{"OnlyDigitsOfASerial", "70100", 5, "text ends before the separator"},
        InvalidCase{"EndsInsideCode", "305419896010484", 15, "text ends inside an address"},
        InvalidCase{"EndsWithoutLineEnd", "3054198960106566", 16, "text ends inside an address"},
        InvalidCase{"CarriageReturnAlone", "30541989601065131065139", 22,
                    "expected the line end \"1310\""},
        InvalidCase{"ControlCharacter", "305419896010311310", 13, "printable ASCII"},
        InvalidCase{"DeleteCharacter", "3054198960101271310", 14, "printable ASCII"},
        InvalidCase{"CodeStartingWithZero", "305419896010651310041310", 18, "printable ASCII"},
        InvalidCase{"ByteAbove127", "305419896010-601310", 12, "minus sign"},
        InvalidCase{"CurrentLineWithoutTab", "305419896010\t651310661310", 19, "expected a tab"},
        InvalidCase{"CurrentTabInsideLine", "305419896010\t65\t1310", 15, "printable ASCII"},
        InvalidCase{"CurrentTabAfterSerialOnly", "305419896010\t", 13,
                    "text ends inside an address"},
        InvalidCase{"TabInSerial", "70\t10", 2, "expected the separator"},
        InvalidCase{"TrailingLineFeed", "305419896010651310\n", 18, "printable ASCII"}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

// The worked example: serial 0x12345678 and the address "00:1A:2B:3C:4D:5E".
TEST(DecodeRoundTrip, WorkedExampleComposesDecodesAndComposesAgain) {
  const std::string legacy = ComposeLegacyIdentifier("305419896", "00:1A:2B:3C:4D:5E");
  const std::string current = ComposeCurrentIdentifier("305419896", "00:1A:2B:3C:4D:5E");
  ASSERT_EQ(legacy, "30541989601048485849655850665851675852685853691310");
  ASSERT_EQ(current, "305419896010\t48485849655850665851675852685853691310");
  for (const std::string& text : {legacy, current}) {
    const DecodeResult result = DecodeIdentifier(text);
    ASSERT_TRUE(result.valid) << text;
    EXPECT_EQ(result.identifier.serial, 0x12345678u);
    ASSERT_EQ(result.identifier.addresses, std::vector<std::string>{"00:1A:2B:3C:4D:5E"});
    const std::string serialText = std::to_string(result.identifier.serial);
    EXPECT_EQ(result.identifier.layout == Layout::Legacy
                  ? ComposeLegacyIdentifier(serialText, result.identifier.addresses.front())
                  : ComposeCurrentIdentifier(serialText, result.identifier.addresses.front()),
              text);
  }
}

// Random machines, with serials chosen to look like the separator and addresses of any
// printable character but lower-case letters (two addresses differing only in letter case compare
// equal, and the sort may then give them in either order).
class DecodeProperty : public ::testing::Test {
 protected:
  std::uint32_t RandomSerial() {
    switch (Pick(4)) {
      case 0:
        return static_cast<std::uint32_t>(random());
      case 1:
        return static_cast<std::uint32_t>(Pick(1000));
      default: {
        static const std::vector<std::string> endings = {"01", "010", "0101", "1310", "13", "10"};
        const std::string digits = std::to_string(1 + Pick(99999)) + endings[Pick(endings.size())];
        return static_cast<std::uint32_t>(std::stoul(digits));
      }
    }
  }

  std::string RandomAddress() {
    std::string address;
    if (Pick(2) == 0) {
      static constexpr char kHex[] = "0123456789ABCDEF";
      for (int group = 0; group < 6; ++group) {
        address += group == 0 ? "" : ":";
        address += kHex[Pick(16)];
        address += kHex[Pick(16)];
      }
      return address;
    }
    // Never empty: WMI lists hold no empty values.
    for (std::size_t length = 1 + Pick(8); address.size() < length;) {
      const char character = static_cast<char>(32 + Pick(95));
      if (character < 'a' || character > 'z') {
        address += character;
      }
    }
    return address;
  }

  static std::string TabJoined(const std::vector<std::string>& addresses) {
    std::string text;
    for (std::size_t i = 0; i < addresses.size(); ++i) {
      text += i == 0 ? "" : "\t";
      text += addresses[i];
    }
    return text;
  }

  std::size_t Pick(std::size_t count) {
    return std::uniform_int_distribution<std::size_t>(0, count - 1)(random);
  }

  // NOLINTNEXTLINE(cert-msc32-c,cert-msc51-cpp): a fixed seed keeps every run the same cases
  std::mt19937 random{20240517};
};

TEST_F(DecodeProperty, ComposeDecodeComposeGivesTheSameText) {
  for (int trial = 0; trial < 3000; ++trial) {
    const std::uint32_t serial = RandomSerial();
    std::vector<std::string> addresses(Pick(4));
    for (std::string& address : addresses) {
      address = RandomAddress();
    }
    const bool legacy = Pick(2) == 0;
    const auto compose =
        legacy
            ? [](std::string_view s, std::string_view a) { return ComposeLegacyIdentifier(s, a); }
            : [](std::string_view s, std::string_view a) { return ComposeCurrentIdentifier(s, a); };
    const std::string text = compose(std::to_string(serial), TabJoined(addresses));

    const DecodeResult result = DecodeIdentifier(text);
    ASSERT_TRUE(result.valid) << text << ": " << result.errorPosition << ": " << result.error;
    EXPECT_EQ(result.identifier.serial, serial) << text;
    std::vector<std::string> decoded = result.identifier.addresses;
    std::sort(decoded.begin(), decoded.end());
    std::sort(addresses.begin(), addresses.end());
    EXPECT_EQ(decoded, addresses) << text;
    EXPECT_EQ(
        compose(std::to_string(result.identifier.serial), TabJoined(result.identifier.addresses)),
        text);

    // Every prefix of a valid identifier is valid as far as it goes.
    const std::size_t cut = Pick(text.size());
    const DecodeResult prefix = DecodeIdentifier(std::string_view(text).substr(0, cut));
    if (!prefix.valid) {
      EXPECT_EQ(prefix.errorPosition, cut) << text.substr(0, cut) << ": " << prefix.error;
    }
  }
}

}  // namespace
}  // namespace hwid
