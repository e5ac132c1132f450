// The C interface: statuses, the buffer protocol of every function that writes text, and bad
// arguments, which must give a status and never touch memory they do not own.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <string_view>

#include "hwid/decode.h"
#include "hwid/hwid.h"
#include "hwid/identifier.h"
#include "hwid/version.h"
#include "tests/case_name.h"
#include "tests/library/library_fixture.h"

namespace hwid {
namespace {

using testing::DirectOutput;

// Serial 1; addresses "AA:BB" and "CC:DD", and "CC:DD" and "EE:FF".
const std::string kFirst = ComposeCurrentIdentifier("1", "CC:DD\tAA:BB");
const std::string kSecond = ComposeLegacyIdentifier("1", "EE:FF\tCC:DD");

// One function that writes text, called with a buffer, its size and `needed`.
struct Writer {
  const char* name;
  std::function<hwid_status(char*, std::size_t, std::size_t*)> write;
  std::function<std::string()> expected;
};

class BufferProtocolTest : public ::testing::TestWithParam<Writer> {
 protected:
  static void SetUpTestSuite() { library::UseComRuntime(testing::LastingScript()); }
};

// Every case starts from a buffer of 'x' and needed = 12345; what must hold afterwards.
TEST_P(BufferProtocolTest, FollowsTheProtocol) {
  const Writer& writer = GetParam();
  const std::string expected = writer.expected();
  const std::size_t fit = expected.size() + 1;
  struct Case {
    const char* name;
    bool nullBuffer;
    std::size_t size;
    bool withNeeded;
    hwid_status status;
  };
  const Case cases[] = {
      {"exact fit", false, fit, true, HWID_STATUS_OK},
      {"larger", false, fit + 10, true, HWID_STATUS_OK},
      {"exact fit, needed not asked", false, fit, false, HWID_STATUS_OK},
      {"one short", false, fit - 1, true, HWID_STATUS_BUFFER_TOO_SMALL},
      {"size zero", false, 0, true, HWID_STATUS_BUFFER_TOO_SMALL},
      {"size query", true, 0, true, HWID_STATUS_BUFFER_TOO_SMALL},
      {"null buffer with a size", true, fit, true, HWID_STATUS_INVALID_ARGUMENT},
  };
  for (const Case& bufferCase : cases) {
    SCOPED_TRACE(bufferCase.name);
    std::string buffer(fit + 10, 'x');
    std::size_t needed = 12345;
    const hwid_status status =
        writer.write(bufferCase.nullBuffer ? nullptr : buffer.data(), bufferCase.size,
                     bufferCase.withNeeded ? &needed : nullptr);
    EXPECT_EQ(status, bufferCase.status) << hwid_status_name(status);
    if (bufferCase.withNeeded) {
      EXPECT_EQ(needed, bufferCase.status == HWID_STATUS_INVALID_ARGUMENT ? 0 : fit);
    }
    const std::string untouched(fit + 10, 'x');
    if (status == HWID_STATUS_OK) {
      EXPECT_EQ(buffer.substr(0, fit), expected + '\0');
      EXPECT_EQ(buffer.substr(fit), untouched.substr(fit));
    } else {
      EXPECT_EQ(buffer, untouched);
    }
  }
}

hwid_status Decode(char* buffer, std::size_t size, std::size_t* needed) {
  hwid_decoded decoded;
  return hwid_decode(kFirst.data(), kFirst.size(), &decoded, buffer, size, needed);
}

hwid_status Compare(char* buffer, std::size_t size, std::size_t* needed) {
  hwid_comparison comparison;
  return hwid_compare(kFirst.data(), kFirst.size(), kSecond.data(), kSecond.size(), &comparison,
                      buffer, size, needed);
}

INSTANTIATE_TEST_SUITE_P(
    Writers, BufferProtocolTest,
    ::testing::Values(
        Writer{"BareSerial", hwid_bare_serial, [] { return DirectOutput(Output::BareSerial); }},
        Writer{"Legacy",
               [](char* buffer, std::size_t size, std::size_t* needed) {
                 return hwid_identifier(HWID_LAYOUT_LEGACY, buffer, size, needed);
               },
               [] { return DirectOutput(Output::LegacyIdentifier); }},
        Writer{"Current",
               [](char* buffer, std::size_t size, std::size_t* needed) {
                 return hwid_identifier(HWID_LAYOUT_CURRENT, buffer, size, needed);
               },
               [] { return DirectOutput(Output::CurrentIdentifier); }},
        Writer{"Decode", Decode, [] { return std::string("AA:BB\tCC:DD"); }},
        Writer{"Compare", Compare, [] { return std::string("CC:DD\tEE:FF\tAA:BB"); }}),
    ::hwid::testing::CaseName());

TEST(CApiTest, IdentifierTakesOnlyItsTwoLayouts) {
  for (const int layout : {0, static_cast<int>(HWID_LAYOUT_EITHER), 4, -1}) {
    char buffer[8] = "xxxxxxx";
    std::size_t needed = 12345;
    EXPECT_EQ(hwid_identifier(static_cast<hwid_layout>(layout), buffer, sizeof buffer, &needed),
              HWID_STATUS_INVALID_ARGUMENT)
        << layout;
    EXPECT_EQ(needed, 0U);
    EXPECT_STREQ(buffer, "xxxxxxx");
  }
}

struct DecodeCase {
  const char* name;
  std::string identifier;
  hwid_status status;
  hwid_layout layout;
  std::size_t addressCount;
  std::string addresses;
};

class CDecodeTest : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(CDecodeTest, MatchesTheLibrary) {
  const DecodeCase& decodeCase = GetParam();
  const DecodeResult library = DecodeIdentifier(decodeCase.identifier);
  hwid_decoded decoded;
  char addresses[64];
  std::size_t needed = 0;
  ASSERT_EQ(hwid_decode(decodeCase.identifier.data(), decodeCase.identifier.size(), &decoded,
                        addresses, sizeof addresses, &needed),
            decodeCase.status);
  if (decodeCase.status == HWID_STATUS_INVALID_IDENTIFIER) {
    EXPECT_EQ(decoded.error_position, library.errorPosition);
    EXPECT_EQ(needed, 0U);
    return;
  }
  EXPECT_EQ(decoded.layout, decodeCase.layout);
  EXPECT_EQ(decoded.serial, library.identifier.serial);
  EXPECT_EQ(decoded.address_count, decodeCase.addressCount);
  EXPECT_EQ(decoded.error_position, 0U);
  EXPECT_EQ(addresses, decodeCase.addresses);
}

INSTANTIATE_TEST_SUITE_P(
    Identifiers, CDecodeTest,
    ::testing::Values(
        DecodeCase{"Current", kFirst, HWID_STATUS_OK, HWID_LAYOUT_CURRENT, 2, "AA:BB\tCC:DD"},
        DecodeCase{"Legacy", kSecond, HWID_STATUS_OK, HWID_LAYOUT_LEGACY, 2, "CC:DD\tEE:FF"},
        DecodeCase{"NoAddress", "305419896010", HWID_STATUS_OK, HWID_LAYOUT_EITHER, 0, ""},
        // One empty address: told from no address by the count alone.
        DecodeCase{"EmptyAddress", "7010\t1310", HWID_STATUS_OK, HWID_LAYOUT_CURRENT, 1, ""},
        DecodeCase{"Empty", "", HWID_STATUS_INVALID_IDENTIFIER, HWID_LAYOUT_EITHER, 0, ""},
        DecodeCase{"CutShort", kFirst.substr(0, kFirst.size() - 2), HWID_STATUS_INVALID_IDENTIFIER,
                   HWID_LAYOUT_EITHER, 0, ""},
        DecodeCase{"EmbeddedNul", std::string("1010\0", 5), HWID_STATUS_INVALID_IDENTIFIER,
                   HWID_LAYOUT_EITHER, 0, ""}),
    ::hwid::testing::CaseName());

struct CompareCase {
  const char* name;
  std::string first;
  std::string second;
  hwid_status status;
  hwid_verdict verdict;
  int serialChanged;
  std::size_t common, added, removed;
  int invalidIdentifier;
};

class CCompareTest : public ::testing::TestWithParam<CompareCase> {};

TEST_P(CCompareTest, MatchesTheLibrary) {
  const CompareCase& compareCase = GetParam();
  hwid_comparison comparison;
  char addresses[64];
  ASSERT_EQ(
      hwid_compare(compareCase.first.data(), compareCase.first.size(), compareCase.second.data(),
                   compareCase.second.size(), &comparison, addresses, sizeof addresses, nullptr),
      compareCase.status);
  EXPECT_EQ(comparison.invalid_identifier, compareCase.invalidIdentifier);
  if (compareCase.status != HWID_STATUS_OK) {
    const std::string& invalid =
        compareCase.invalidIdentifier == 1 ? compareCase.first : compareCase.second;
    EXPECT_EQ(comparison.error_position, DecodeIdentifier(invalid).errorPosition);
    return;
  }
  EXPECT_EQ(comparison.verdict, compareCase.verdict);
  EXPECT_EQ(comparison.serial_changed, compareCase.serialChanged);
  EXPECT_EQ(comparison.common_count, compareCase.common);
  EXPECT_EQ(comparison.added_count, compareCase.added);
  EXPECT_EQ(comparison.removed_count, compareCase.removed);
}

INSTANTIATE_TEST_SUITE_P(
    Pairs, CCompareTest,
    ::testing::Values(
        CompareCase{"LayoutsDiffer", kFirst, ComposeLegacyIdentifier("1", "AA:BB\tCC:DD"),
                    HWID_STATUS_OK, HWID_VERDICT_IDENTICAL, 0, 2, 0, 0, 0},
        CompareCase{"OneAddressKept", kFirst, kSecond, HWID_STATUS_OK,
                    HWID_VERDICT_SAME_MACHINE_CHANGED, 0, 1, 1, 1, 0},
        CompareCase{"NewSerial", kFirst, ComposeCurrentIdentifier("2", "AA:BB\tCC:DD"),
                    HWID_STATUS_OK, HWID_VERDICT_SAME_MACHINE_CHANGED, 1, 2, 0, 0, 0},
        CompareCase{"Different", kFirst, ComposeCurrentIdentifier("1", "EE:FF"), HWID_STATUS_OK,
                    HWID_VERDICT_DIFFERENT, 0, 0, 1, 2, 0},
        CompareCase{"FirstInvalid", "x", kFirst, HWID_STATUS_INVALID_IDENTIFIER,
                    HWID_VERDICT_DIFFERENT, 0, 0, 0, 0, 1},
        CompareCase{"SecondInvalid", kFirst, "1010\t4", HWID_STATUS_INVALID_IDENTIFIER,
                    HWID_VERDICT_DIFFERENT, 0, 0, 0, 0, 2}),
    ::hwid::testing::CaseName());

TEST(CApiTest, NullPointersAreInvalidArguments) {
  hwid_decoded decoded;
  hwid_comparison comparison;
  char buffer[64];
  const char* id = kFirst.c_str();
  const std::size_t length = kFirst.size();
  EXPECT_EQ(hwid_decode(nullptr, 1, &decoded, buffer, sizeof buffer, nullptr),
            HWID_STATUS_INVALID_ARGUMENT);
  EXPECT_EQ(hwid_decode(id, length, nullptr, buffer, sizeof buffer, nullptr),
            HWID_STATUS_INVALID_ARGUMENT);
  EXPECT_EQ(hwid_compare(nullptr, 1, id, length, &comparison, buffer, sizeof buffer, nullptr),
            HWID_STATUS_INVALID_ARGUMENT);
  EXPECT_EQ(hwid_compare(id, length, nullptr, 1, &comparison, buffer, sizeof buffer, nullptr),
            HWID_STATUS_INVALID_ARGUMENT);
  EXPECT_EQ(hwid_compare(id, length, id, length, nullptr, buffer, sizeof buffer, nullptr),
            HWID_STATUS_INVALID_ARGUMENT);
  // A null text of length zero is the empty text, which is no identifier.
  EXPECT_EQ(hwid_decode(nullptr, 0, &decoded, buffer, sizeof buffer, nullptr),
            HWID_STATUS_INVALID_IDENTIFIER);
  EXPECT_EQ(hwid_compare(id, length, nullptr, 0, &comparison, buffer, sizeof buffer, nullptr),
            HWID_STATUS_INVALID_IDENTIFIER);
  EXPECT_EQ(comparison.invalid_identifier, 2);
}

TEST(CApiTest, NamesEveryStatus) {
  const std::pair<int, std::string_view> names[] = {
      {HWID_STATUS_OK, "ok"},
      {HWID_STATUS_BUFFER_TOO_SMALL, "buffer too small"},
      {HWID_STATUS_TIMED_OUT, "timed out"},
      {HWID_STATUS_INVALID_ARGUMENT, "invalid argument"},
      {HWID_STATUS_INVALID_IDENTIFIER, "invalid identifier"},
      {HWID_STATUS_INTERNAL_ERROR, "internal error"},
      {HWID_STATUS_INCOMPLETE, "incomplete"},
      {HWID_STATUS_NOT_RESPONDING, "not responding"},
      {8, "unknown status"},
      {-1, "unknown status"}};
  for (const auto& [status, name] : names) {
    EXPECT_EQ(hwid_status_name(static_cast<hwid_status>(status)), name) << status;
  }
}

TEST(CApiTest, VersionIsTheProjects) { EXPECT_STREQ(hwid_version(), kVersion); }

TEST(CApiTest, TimeLimitIsSettable) {
  EXPECT_EQ(hwid_timeout_ms(), 30000U);
  EXPECT_EQ(hwid_set_timeout_ms(0), HWID_STATUS_INVALID_ARGUMENT);
  EXPECT_EQ(hwid_timeout_ms(), 30000U);
  EXPECT_EQ(hwid_set_timeout_ms(1234), HWID_STATUS_OK);
  EXPECT_EQ(hwid_timeout_ms(), 1234U);
  EXPECT_EQ(hwid_set_timeout_ms(30000), HWID_STATUS_OK);
}

}  // namespace
}  // namespace hwid
