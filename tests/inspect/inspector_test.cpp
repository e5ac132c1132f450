// hwid-inspect's commands: which adapters count and why, the reports in text and JSON, and the
// command line with its exit statuses.
#include "inspect/inspector.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "hwid/version.h"

namespace hwid::inspect {
namespace {

constexpr char kLegacyExample[] = "30541989601048485849655850665851675852685853691310";
constexpr char kCurrentExample[] = "305419896010\t48485849655850665851675852685853691310";

struct JudgeCase {
  const char* name;
  SelectionRule rule;
  AdapterConfiguration configuration;
  bool counts;
  std::string reason;
};

void PrintTo(const JudgeCase& testCase, std::ostream* out) { *out << testCase.name; }

class JudgeAdapterTest : public ::testing::TestWithParam<JudgeCase> {};

TEST_P(JudgeAdapterTest, SaysWhetherAndWhy) {
  const AdapterVerdict verdict = JudgeAdapter(GetParam().rule, GetParam().configuration);
  EXPECT_EQ(verdict.counts, GetParam().counts);
  EXPECT_EQ(verdict.reason, GetParam().reason);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, JudgeAdapterTest,
    ::testing::Values(JudgeCase{"SingleAddressVirtual",
                                SelectionRule::SingleAddress,
                                {"3", "AA:00", {}},
                                true,
                                "the only address WMI reports"},
                      JudgeCase{"OwnsResource",
                                SelectionRule::OwnsResource,
                                {"3", "AA:00", {"Win32_DeviceMemoryAddress"}},
                                true,
                                "owns a hardware resource"},
                      JudgeCase{"OwnsNoResource",
                                SelectionRule::OwnsResource,
                                {"4", "AA:01", {}},
                                false,
                                "owns no hardware resource"},
                      JudgeCase{"OwnsResourceButNoAddress",
                                SelectionRule::OwnsResource,
                                {"5", "", {"Win32_IRQResource"}},
                                false,
                                "reports no address"},
                      JudgeCase{"AllAddresses",
                                SelectionRule::AllAddresses,
                                {"4", "AA:01", {}},
                                true,
                                "all count: no adapter owns a hardware resource"},
                      JudgeCase{"NoAddressSelected",
                                SelectionRule::NoAddress,
                                {"4", "AA:01", {}},
                                false,
                                "WMI reported no address when the selection ran"}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

class MachineReportTest : public ::testing::Test {
 protected:
  MachineFacts facts = {0x12345678,
                        "305419896",
                        "305419896",
                        {{"1", "00:50:56:C0:00:08", {}},
                         {"7", "00:1A:2B:3C:4D:5E", {"Win32_IRQResource", "Win32_PortResource"}}},
                        {SelectionRule::OwnsResource, "00:1A:2B:3C:4D:5E"},
                        kLegacyExample,
                        kCurrentExample,
                        {}};
};

TEST_F(MachineReportTest, TextShowsEveryAdapterTheRuleAndWhatHwidPrints) {
  EXPECT_EQ(MachineReport(facts, false),
            "volume serial  305419896 (signed 305419896, hex 0x12345678)\n"
            "\n"
            "adapter configurations reported by WMI: 2\n"
            "  index  address            resource classes                       counts\n"
            "  1      00:50:56:C0:00:08  -                                      "
            "no: owns no hardware resource\n"
            "  7      00:1A:2B:3C:4D:5E  Win32_IRQResource, Win32_PortResource  "
            "yes: owns a hardware resource\n"
            "\n"
            "selection      several addresses: only adapters owning a hardware resource count\n"
            "addresses      00:1A:2B:3C:4D:5E\n"
            "\n"
            "hwid           305419896\n"
            "hwid oldtrial  30541989601048485849655850665851675852685853691310\n"
            "hwid WORD      305419896010\t48485849655850665851675852685853691310\n");
}

TEST_F(MachineReportTest, TextOfAMachineWithoutVolumeOrAdapters) {
  const MachineFacts bare = {std::nullopt, "",     "0", {}, {SelectionRule::NoAddress, ""},
                             "0010",       "0010", {}};
  const Output output = MachineCommand(bare, false);
  EXPECT_EQ(output.status, kExitSuccess) << "a machine without adapters is no fault";
  EXPECT_EQ(output.out,
            "volume serial  unreadable: the identifier uses 0\n"
            "\n"
            "adapter configurations reported by WMI: none\n"
            "\n"
            "selection      no address: WMI reports none\n"
            "addresses      none\n"
            "\n"
            "hwid           0\n"
            "hwid oldtrial  0010\n"
            "hwid WORD      0010\n");
}

TEST_F(MachineReportTest, JsonHoldsTheSameFacts) {
  facts.serial = 0xA1B2C3D4;
  facts.configurations[0].address = "a\"b\\";
  facts.selection = {SelectionRule::AllAddresses, "00:1A:2B:3C:4D:5E\ta\"b\\"};
  EXPECT_EQ(MachineReport(facts, true),
            R"({"serial":{"readable":true,"unsigned":2712847316,"signed":-1582119980,)"
            R"("hex":"0xA1B2C3D4"},"adapters":[)"
            R"({"index":"1","address":"a\"b\\","resourceClasses":[],"counts":true,)"
            R"("reason":"all count: no adapter owns a hardware resource"},)"
            R"({"index":"7","address":"00:1A:2B:3C:4D:5E",)"
            R"("resourceClasses":["Win32_IRQResource","Win32_PortResource"],"counts":true,)"
            R"("reason":"all count: no adapter owns a hardware resource"}],)"
            R"("rule":"all-addresses","addresses":["00:1A:2B:3C:4D:5E","a\"b\\"],)"
            R"("identifiers":{"bare":"305419896",)"
            R"("legacy":"30541989601048485849655850665851675852685853691310",)"
            R"("current":"305419896010\t48485849655850665851675852685853691310"},)"
            R"("complete":true,"faults":[]})"
            "\n");
}

const Fault kAccessDenied{FaultStage::ConnectServer, 0x80041003, {}, {}, {}};
const Fault kVolumeNotReady{FaultStage::VolumeInformation, 21, {}, {}, {}};

// Support staff must tell "WMI could not be reached" from "WMI reports no adapter", and every
// failure comes first, before identifiers that may lack what it hid.
TEST_F(MachineReportTest, AnUnreachableWmiIsNamedAndIsNoEmptyMachine) {
  const MachineFacts unreachable = {std::nullopt,
                                    "",
                                    "0",
                                    {},
                                    {SelectionRule::NoAddress, ""},
                                    "0010",
                                    "0010",
                                    {kVolumeNotReady, kAccessDenied}};
  const Output text = MachineCommand(unreachable, false);
  EXPECT_EQ(text.status, kExitIncomplete);
  EXPECT_EQ(text.out,
            "reading incomplete: 2 calls failed, so the identifiers below may lack what could "
            "not be read\n"
            "  the volume serial number could not be read: GetVolumeInformationA failed with "
            "error 21, the device is not ready\n"
            "  WMI could not be reached: ConnectServer failed with 0x80041003, access denied\n"
            "\n"
            "volume serial  unreadable: the identifier uses 0\n"
            "\n"
            "adapter configurations reported by WMI: unknown, WMI could not be reached\n"
            "\n"
            "selection      no address: WMI could not be reached\n"
            "addresses      none\n"
            "\n"
            "hwid           0\n"
            "hwid oldtrial  0010\n"
            "hwid WORD      0010\n");

  const Output json = MachineCommand(unreachable, true);
  EXPECT_EQ(json.status, kExitIncomplete);
  EXPECT_NE(
      json.out.find(R"("complete":false,"faults":[)"
                    R"({"call":"GetVolumeInformationA","code":"error 21","adapter":"",)"
                    R"("query":"","property":"","message":"the device is not ready",)"
                    R"("text":"the volume serial number could not be read: )"
                    R"(GetVolumeInformationA failed with error 21, the device is not ready"},)"
                    R"({"call":"ConnectServer","code":"0x80041003","adapter":"","query":"",)"
                    R"("property":"","message":"access denied","text":"WMI could not be )"
                    R"(reached: ConnectServer failed with 0x80041003, access denied"}]})"),
      std::string::npos)
      << json.out;
}

TEST_F(MachineReportTest, AnAdapterWhoseResourcesCouldNotBeReadIsMarked) {
  const std::string query =
      "associators of {Win32_NetworkAdapter.DeviceID='1'} WHERE ClassDefsOnly";
  facts.faults = {{FaultStage::ExecQuery, 0x80041003, query, {}, "1"}};
  const Output output = MachineCommand(facts, false);
  EXPECT_EQ(output.status, kExitIncomplete);
  EXPECT_TRUE(output.out.starts_with(
      "reading incomplete: a call failed, so the identifiers below may lack what could not be "
      "read\n"
      "  adapter 1 could not be read: ExecQuery failed with 0x80041003, access denied; query: " +
      query + "\n\n"))
      << output.out;
  EXPECT_NE(output.out.find("  1      00:50:56:C0:00:08  unreadable "), std::string::npos)
      << output.out;
}

TEST(DecodeCommandTest, TextAndJsonOfAValidIdentifier) {
  const Output text = DecodeCommand(kCurrentExample, false);
  EXPECT_EQ(text.status, kExitSuccess);
  EXPECT_EQ(text.out,
            "layout     current\n"
            "serial     305419896 (signed 305419896, hex 0x12345678)\n"
            "addresses  00:1A:2B:3C:4D:5E\n");
  EXPECT_EQ(text.err, "");

  const Output json = DecodeCommand("4294967295010651310661310", true);
  EXPECT_EQ(json.status, kExitSuccess);
  EXPECT_EQ(json.out,
            R"({"valid":true,"layout":"legacy","serial":{"unsigned":4294967295,"signed":-1,)"
            R"("hex":"0xFFFFFFFF"},"addresses":["A","B"]})"
            "\n");
}

TEST(DecodeCommandTest, InvalidTextPointsAtWhereItStopsBeingValid) {
  const Output text = DecodeCommand("305419896010\t4848x1310", false);
  EXPECT_EQ(text.status, kExitInvalid);
  EXPECT_EQ(text.out, "");
  EXPECT_EQ(text.err,
            "hwid-inspect: the text is not a valid identifier: at character 18: expected the "
            "code of a printable ASCII character (32 to 126) or the line end \"1310\"\n"
            "  305419896010 4848x1310\n"
            "                   ^\n");

  // The second serial's "3" could still begin a code; its "0" cannot follow.
  const std::string longText = std::string(kLegacyExample) + kLegacyExample;
  const Output json = DecodeCommand(longText, true);
  EXPECT_EQ(json.status, kExitInvalid);
  EXPECT_EQ(json.out,
            R"({"valid":false,"errorPosition":51,"error":"expected the code of a printable )"
            R"(ASCII character (32 to 126) or the line end \"1310\""})"
            "\n");
  EXPECT_EQ(json.err,
            "hwid-inspect: the text is not a valid identifier: at character 52: expected the "
            "code of a printable ASCII character (32 to 126) or the line end \"1310\"\n"
            "  ...048485849655850665851675852685853691310305419896010484858496...\n"
            "                                             ^\n");
}

TEST(DecodeCommandTest, TextEndingEarlyHasNoCharacterToPointAt) {
  const Output output = DecodeCommand("30541989601048", false);
  EXPECT_EQ(output.err,
            "hwid-inspect: the text is not a valid identifier: text ends inside an address: "
            "expected its line end \"1310\"\n"
            "  30541989601048\n"
            "                ^\n");
}

struct CompareCommandCase {
  const char* name;
  std::string first;
  std::string second;
  int status;
  std::string out;
};

void PrintTo(const CompareCommandCase& testCase, std::ostream* out) { *out << testCase.name; }

class CompareCommandTest : public ::testing::TestWithParam<CompareCommandCase> {};

TEST_P(CompareCommandTest, PrintsTheDifferenceAndAnswersByExitStatus) {
  const Output output = CompareCommand(GetParam().first, GetParam().second, false);
  EXPECT_EQ(output.status, GetParam().status);
  EXPECT_EQ(output.out, GetParam().out);
  EXPECT_EQ(output.err, "");
}

INSTANTIATE_TEST_SUITE_P(
    Verdicts, CompareCommandTest,
    ::testing::Values(CompareCommandCase{"Identical", kLegacyExample, kCurrentExample, 0,
                                         "verdict    identical\n"
                                         "serial     unchanged, 305419896\n"
                                         "common     00:1A:2B:3C:4D:5E\n"
                                         "added      none\n"
                                         "removed    none\n"
                                         "layouts    legacy, current\n"},
                      CompareCommandCase{"NewSerial", "7010651310661310", "8010651310661310", 1,
                                         "verdict    same machine with changes\n"
                                         "serial     changed from 7 to 8\n"
                                         "common     A\n"
                                         "           B\n"
                                         "added      none\n"
                                         "removed    none\n"
                                         "layouts    legacy, legacy\n"},
                      CompareCommandCase{"AddressAdded", "7010\t651310", "7010\t651310\t661310", 1,
                                         "verdict    same machine with changes\n"
                                         "serial     unchanged, 7\n"
                                         "common     A\n"
                                         "added      B\n"
                                         "removed    none\n"
                                         "layouts    current, current\n"},
                      CompareCommandCase{"Different", "7010651310", "8010", 3,
                                         "verdict    different machines\n"
                                         "serial     changed from 7 to 8\n"
                                         "common     none\n"
                                         "added      none\n"
                                         "removed    A\n"
                                         "layouts    legacy, either\n"}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST(CompareCommandTest, JsonSpellsOutTheDifference) {
  const Output output = CompareCommand("7010651310661310", "8010\t661310\t671310", true);
  EXPECT_EQ(output.status, kExitDifferent);
  EXPECT_EQ(output.out,
            R"({"verdict":"different","serialChanged":true,"common":["B"],"added":["C"],)"
            R"("removed":["A"],"first":{"layout":"legacy","serial":{"unsigned":7,"signed":7,)"
            R"("hex":"0x00000007"},"addresses":["A","B"]},"second":{"layout":"current",)"
            R"("serial":{"unsigned":8,"signed":8,"hex":"0x00000008"},"addresses":["B","C"]}})"
            "\n");
}

TEST(CompareCommandTest, InvalidIdentifierSaysWhichAndAnswersTwo) {
  const Output output = CompareCommand(kLegacyExample, "7010x", true);
  EXPECT_EQ(output.status, kExitInvalid);
  EXPECT_EQ(output.out,
            R"({"valid":false,"identifier":"second","errorPosition":4,"error":)"
            R"("expected the code of a printable ASCII character (32 to 126) or the line end )"
            R"(\"1310\""})"
            "\n");
  EXPECT_EQ(output.err.rfind("hwid-inspect: second identifier is not a valid identifier: at "
                             "character 5: ",
                             0),
            0u)
      << output.err;
}

std::string FakeInput() { return "7010651310\r\n"; }

struct RunCase {
  const char* name;
  std::vector<std::string_view> arguments;
  int status;
  std::string out;  // the beginning of standard output
  std::string err;  // all of standard error
};

void PrintTo(const RunCase& testCase, std::ostream* out) { *out << testCase.name; }

class RunTest : public ::testing::TestWithParam<RunCase> {};

TEST_P(RunTest, ParsesTheCommandLine) {
  const Output output = inspect::Run(GetParam().arguments, FakeInput);
  EXPECT_EQ(output.status, GetParam().status);
  EXPECT_EQ(output.out.substr(0, GetParam().out.size()), GetParam().out) << output.out;
  EXPECT_EQ(output.out.empty(), GetParam().out.empty()) << output.out;
  EXPECT_EQ(output.err, GetParam().err);
}

constexpr char kTryHelp[] = "Try 'hwid-inspect --help' for more information.\n";

INSTANTIATE_TEST_SUITE_P(
    Arguments, RunTest,
    ::testing::Values(
        RunCase{"Help", {"--help"}, 0, "Usage: hwid-inspect [--json]\n", ""},
        RunCase{"ShortHelpAfterCommand", {"decode", "-h"}, 0, "Usage: ", ""},
        RunCase{"DecodeJsonOptionFirst",
                {"--json", "decode", "7010651310"},
                0,
                R"({"valid":true,"layout":"legacy")",
                ""},
        RunCase{"DecodeJsonOptionLast",
                {"decode", "7010651310", "--json"},
                0,
                R"({"valid":true,"layout":"legacy")",
                ""},
        RunCase{"DecodeStandardInput", {"decode", "-"}, 0, "layout     legacy\n", ""},
        RunCase{
            "DecodeAfterDoubleDash", {"decode", "--", "7010651310"}, 0, "layout     legacy", ""},
        RunCase{"CompareWithStandardInput",
                {"compare", "7010651310", "-"},
                0,
                "verdict    identical\n",
                ""},
        RunCase{"CompareChanged",
                {"compare", "7010651310", "8010651310"},
                1,
                "verdict    same machine with changes\n",
                ""},
        RunCase{"CompareDifferent",
                {"compare", "7010651310", "7010661310"},
                3,
                "verdict    different machines\n",
                ""},
        RunCase{"UnknownOption",
                {"--frobnicate"},
                2,
                "",
                std::string("hwid-inspect: unknown option '--frobnicate'\n") + kTryHelp},
        RunCase{"UnknownCommand",
                {"explain"},
                2,
                "",
                std::string("hwid-inspect: unknown command 'explain'\n") + kTryHelp},
        RunCase{"DecodeWithoutIdentifier",
                {"decode", "--json"},
                2,
                "",
                std::string("hwid-inspect: decode takes one identifier\n") + kTryHelp},
        RunCase{"CompareWithOneIdentifier",
                {"compare", "7010651310"},
                2,
                "",
                std::string("hwid-inspect: compare takes two identifiers\n") + kTryHelp},
        RunCase{"NegativeNumberIsNoOption",
                {"decode", "-402614091"},
                2,
                "",
                "hwid-inspect: the text is not a valid identifier: at character 1: expected the "
                "volume serial: decimal digits\n"
                "  -402614091\n"
                "  ^\n"}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST(RunTest, VersionComesFromTheProject) {
  const Output output = inspect::Run({"--version"}, FakeInput);
  EXPECT_EQ(output.status, 0);
  EXPECT_EQ(output.out, "hwid-inspect " + std::string(kVersion) + "\n");
}

}  // namespace
}  // namespace hwid::inspect
