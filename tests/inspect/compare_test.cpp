// The comparison rule: identical, the same machine with changes, or different machines.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "hwid/decode.h"

namespace hwid {
namespace {

using Addresses = std::vector<std::string>;

constexpr char kA[] = "00:0C:29:AA:BB:CC";
constexpr char kB[] = "00:1A:2B:3C:4D:5E";
constexpr char kC[] = "00:50:56:C0:00:08";

struct CompareCase {
  const char* name;
  DecodedIdentifier first;
  DecodedIdentifier second;
  Verdict verdict;
  bool serialChanged;
  Addresses common;
  Addresses added;
  Addresses removed;
};

void PrintTo(const CompareCase& testCase, std::ostream* out) { *out << testCase.name; }

class CompareIdentifiersTest : public ::testing::TestWithParam<CompareCase> {};

TEST_P(CompareIdentifiersTest, GivesVerdictAndDifference) {
  const CompareCase& c = GetParam();
  const Comparison comparison = CompareIdentifiers(c.first, c.second);
  EXPECT_EQ(comparison.verdict, c.verdict);
  EXPECT_EQ(comparison.serialChanged, c.serialChanged);
  EXPECT_EQ(comparison.common, c.common);
  EXPECT_EQ(comparison.added, c.added);
  EXPECT_EQ(comparison.removed, c.removed);
}

INSTANTIATE_TEST_SUITE_P(
    Rule, CompareIdentifiersTest,
    ::testing::Values(CompareCase{"SameEverything",
                                  {Layout::Legacy, 7, {kA, kB}},
                                  {Layout::Legacy, 7, {kA, kB}},
                                  Verdict::Identical,
                                  false,
                                  {kA, kB},
                                  {},
                                  {}},
                      CompareCase{"OtherLayoutOnly",
                                  {Layout::Legacy, 7, {kA}},
                                  {Layout::Current, 7, {kA}},
                                  Verdict::Identical,
                                  false,
                                  {kA},
                                  {},
                                  {}},
                      CompareCase{"NoAddressesSameSerial",
                                  {Layout::Either, 7, {}},
                                  {Layout::Either, 7, {}},
                                  Verdict::Identical,
                                  false,
                                  {},
                                  {},
                                  {}},
                      CompareCase{"AddressAdded",
                                  {Layout::Legacy, 7, {kB}},
                                  {Layout::Legacy, 7, {kA, kB}},
                                  Verdict::SameMachineChanged,
                                  false,
                                  {kB},
                                  {kA},
                                  {}},
                      CompareCase{"AddressRemoved",
                                  {Layout::Legacy, 7, {kA, kC}},
                                  {Layout::Legacy, 7, {kC}},
                                  Verdict::SameMachineChanged,
                                  false,
                                  {kC},
                                  {},
                                  {kA}},
                      CompareCase{"OneOfTwoReplaced",
                                  {Layout::Legacy, 7, {kA, kB}},
                                  {Layout::Legacy, 7, {kB, kC}},
                                  Verdict::SameMachineChanged,
                                  false,
                                  {kB},
                                  {kC},
                                  {kA}},
                      CompareCase{"DuplicateGone",
                                  {Layout::Legacy, 7, {kA, kA}},
                                  {Layout::Legacy, 7, {kA}},
                                  Verdict::SameMachineChanged,
                                  false,
                                  {kA},
                                  {},
                                  {kA}},
                      CompareCase{"NewSerialSameAddresses",
                                  {Layout::Legacy, 7, {kA, kB}},
                                  {Layout::Current, 8, {kA, kB}},
                                  Verdict::SameMachineChanged,
                                  true,
                                  {kA, kB},
                                  {},
                                  {}},
                      CompareCase{"SameSerialNothingInCommon",
                                  {Layout::Legacy, 7, {kA}},
                                  {Layout::Legacy, 7, {kB}},
                                  Verdict::Different,
                                  false,
                                  {},
                                  {kB},
                                  {kA}},
                      CompareCase{"SameSerialAddressesGone",
                                  {Layout::Legacy, 7, {kA}},
                                  {Layout::Either, 7, {}},
                                  Verdict::Different,
                                  false,
                                  {},
                                  {},
                                  {kA}},
                      CompareCase{"NewSerialAndAnAddressAdded",
                                  {Layout::Legacy, 7, {kA}},
                                  {Layout::Legacy, 8, {kA, kB}},
                                  Verdict::Different,
                                  true,
                                  {kA},
                                  {kB},
                                  {}},
                      CompareCase{"NewSerialNoAddresses",
                                  {Layout::Either, 7, {}},
                                  {Layout::Either, 8, {}},
                                  Verdict::Different,
                                  true,
                                  {},
                                  {},
                                  {}},
                      // An address in another letter case is another identifier.
                      CompareCase{"LetterCaseDiffers",
                                  {Layout::Legacy, 7, {"00:0c:29:aa:bb:cc"}},
                                  {Layout::Legacy, 8, {kA}},
                                  Verdict::Different,
                                  true,
                                  {},
                                  {kA},
                                  {"00:0c:29:aa:bb:cc"}}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

}  // namespace
}  // namespace hwid
