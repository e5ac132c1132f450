// The library's thread over a sysfs tree: a host that reads again sees the machine as it is then,
// and a child forked after the parent read gets the same answer as the parent.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <vector>

#include "hwid/identifier.h"
#include "library/worker.h"
#include "tests/linux/sysfs_com_runtime.h"
#include "tests/linux/sysfs_tree.h"

namespace hwid {
namespace {

using testing::FixtureComRuntime;
using testing::kArphrdEther;
using testing::SysfsTree;

// Handed to the library's thread, which may outlive the test: never destroyed, always reachable.
ComRuntime& LastingRuntime(const SysfsTree& tree) {
  static auto* const runtimes = new std::vector<std::unique_ptr<FixtureComRuntime>>();
  return *runtimes->emplace_back(std::make_unique<FixtureComRuntime>(tree.Root().string()));
}

class LibraryOverSysfs : public ::testing::Test {
 protected:
  void SetUp() override {
    tree.AddInterface("veth3", 3, kArphrdEther, "aa:00:00:00:00:03");
    library::UseComRuntime(LastingRuntime(tree));
  }
  void TearDown() override { library::UseComRuntime(SystemComRuntime()); }

  SysfsTree tree;
};

TEST_F(LibraryOverSysfs, ReadsTheMachineAsItIsAtEachCall) {
  const Reading before = ReadOutput(Output::CurrentIdentifier);
  ASSERT_EQ(before.status, ReadStatus::Ok);
  EXPECT_EQ(before.text, ComposeCurrentIdentifier(VolumeSerialText(), "AA:00:00:00:00:03"));

  tree.AddInterface("veth2", 2, kArphrdEther, "aa:00:00:00:00:02");
  const Reading after = ReadOutput(Output::CurrentIdentifier);
  ASSERT_EQ(after.status, ReadStatus::Ok);
  EXPECT_EQ(after.text,
            ComposeCurrentIdentifier(VolumeSerialText(), "AA:00:00:00:00:02\tAA:00:00:00:00:03"));
}

// fork copies only the calling thread: without care, every reading in the child would wait for a
// thread that is not there until the time limit.
TEST_F(LibraryOverSysfs, AForkedChildReadsOnAThreadOfItsOwn) {
  const Reading parent = ReadOutput(Output::LegacyIdentifier);
  ASSERT_EQ(parent.status, ReadStatus::Ok);
  const std::chrono::milliseconds limit = TimeLimit();
  ASSERT_TRUE(SetTimeLimit(std::chrono::seconds(5)));
  const pid_t child = fork();
  ASSERT_NE(child, -1);
  if (child == 0) {
    const Reading reading = ReadOutput(Output::LegacyIdentifier);
    // _exit: the child must not run the parent's exit handlers (or googletest's report).
    _exit(reading.status != ReadStatus::Ok ? 2 : reading.text == parent.text ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: another answer, 2: no answer";
  EXPECT_TRUE(SetTimeLimit(limit));
  EXPECT_EQ(ReadOutput(Output::LegacyIdentifier).text, parent.text);
}

}  // namespace
}  // namespace hwid
