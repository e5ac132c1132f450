// The library's thread over a sysfs tree: a host that reads again sees the machine as it is then,
// and a child forked after the parent read gets the same answer as the parent.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string_view>
#include <thread>
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
    interface = tree.AddInterface("veth3", 3, kArphrdEther, "aa:00:00:00:00:03");
    library::UseComRuntime(LastingRuntime(tree));
  }
  void TearDown() override { library::UseComRuntime(SystemComRuntime()); }

  SysfsTree tree;
  std::filesystem::path interface;
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

// Puts a regular file with `text` where the FIFO `fifo` was, for the readings to come, and writes
// `text` into the FIFO, which lets the readings stuck opening it return.
bool Feed(const std::filesystem::path& fifo, std::string_view text) {
  std::filesystem::path aside = fifo;
  aside += ".stuck";
  std::filesystem::rename(fifo, aside);
  SysfsTree::Write(fifo, text);
  // A reader waiting to open the FIFO lets a writer open it at once; without one this fails.
  const int writer = open(aside.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  if (writer < 0) {
    return false;
  }
  const bool written = write(writer, text.data(), text.size()) == std::ssize(text);
  return close(writer) == 0 && written;
}

// A child forked while every thread of the parent is stuck holds none of them: its first reading
// starts a thread of its own and times out, rather than being refused. The parent answers once the
// machine does.
TEST_F(LibraryOverSysfs, AForkedChildOfAStuckParentHoldsNoThread) {
  const std::filesystem::path address = interface / "address";
  std::filesystem::remove(address);
  ASSERT_EQ(mkfifo(address.c_str(), 0600), 0);
  const std::chrono::milliseconds limit = TimeLimit();
  ASSERT_TRUE(SetTimeLimit(std::chrono::milliseconds(50)));
  ReadStatus status = ReadStatus::TimedOut;
  for (int call = 0; call <= library::kThreadLimit && status == ReadStatus::TimedOut; ++call) {
    status = ReadOutput(Output::CurrentIdentifier).status;
  }
  ASSERT_EQ(status, ReadStatus::NotResponding);

  const pid_t child = fork();
  ASSERT_NE(child, -1);
  if (child == 0) {
    _exit(ReadOutput(Output::CurrentIdentifier).status == ReadStatus::TimedOut ? 0 : 1);
  }
  int exitStatus = 0;
  ASSERT_EQ(waitpid(child, &exitStatus, 0), child);
  ASSERT_TRUE(WIFEXITED(exitStatus));
  EXPECT_EQ(WEXITSTATUS(exitStatus), 0) << "the child's reading did not time out";

  ASSERT_TRUE(Feed(address, "aa:00:00:00:00:03\n"));
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  Reading reading;
  do {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    reading = ReadOutput(Output::CurrentIdentifier);
  } while (reading.status == ReadStatus::NotResponding &&
           std::chrono::steady_clock::now() < giveUp);
  EXPECT_TRUE(SetTimeLimit(limit));
  EXPECT_EQ(reading.status, ReadStatus::Ok);
  EXPECT_EQ(reading.text, ComposeCurrentIdentifier(VolumeSerialText(), "AA:00:00:00:00:03"));
}

}  // namespace
}  // namespace hwid
