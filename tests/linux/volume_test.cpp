// The stand-in's "C:\": the file system mounted at "/", whose serial is its file system ID folded
// to 32 bits.
#include <gtest/gtest.h>
#include <sys/statvfs.h>

#include <cstdint>

#include "platform/win32.h"
#include "tests/case_name.h"

namespace {

// From statvfs rather than the statfs call the stand-in makes: glibc packs the two ID words into
// one 64-bit f_fsid there, so the expected value comes by a separate route.
DWORD RootFileSystemIdFolded() {
  struct statvfs info {};
  EXPECT_EQ(statvfs("/", &info), 0);
  const std::uint64_t fsid = info.f_fsid;
  return static_cast<DWORD>(fsid >> 32) ^ static_cast<DWORD>(fsid);
}

TEST(VolumeInformation, SerialOfCIsTheRootFileSystemIdFolded) {
  static_assert(sizeof(statvfs::f_fsid) == 8, "both ID words are packed into f_fsid");
  DWORD serial = 0;

  EXPECT_TRUE(GetVolumeInformationA("C:\\", nullptr, 0, &serial, nullptr, nullptr, nullptr, 0));

  EXPECT_EQ(serial, RootFileSystemIdFolded());
}

TEST(VolumeInformation, AskedForNamesAreEmptyAndTheOtherFactsAreFilledIn) {
  char volumeName[8] = "xxxxxxx";
  char fileSystemName[8] = "xxxxxxx";
  DWORD serial = 0;
  DWORD maximumComponentLength = 0;
  DWORD flags = 0xFFFFFFFF;

  EXPECT_TRUE(GetVolumeInformationA("C:\\", volumeName, sizeof volumeName, &serial,
                                    &maximumComponentLength, &flags, fileSystemName,
                                    sizeof fileSystemName));

  EXPECT_EQ(serial, RootFileSystemIdFolded());
  EXPECT_STREQ(volumeName, "");
  EXPECT_STREQ(fileSystemName, "");
  EXPECT_GT(maximumComponentLength, 0u);
  EXPECT_EQ(flags, 0u);
}

TEST(VolumeInformation, EveryOtherRootFails) {
  for (const char* root : {"D:\\", "C:", "C:\\Windows\\", "/", ""}) {
    DWORD serial = 0x12345678;
    SetLastError(0);
    EXPECT_FALSE(GetVolumeInformationA(root, nullptr, 0, &serial, nullptr, nullptr, nullptr, 0))
        << root;
    EXPECT_EQ(serial, 0x12345678u) << "a failed call leaves the serial alone";
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND) << root;
  }
  EXPECT_FALSE(GetVolumeInformationA(nullptr, nullptr, 0, nullptr, nullptr, nullptr, nullptr, 0));
}

// The name buffers as Windows documents them: a size counts only with its buffer, and a buffer
// must hold the name and its terminator (here both names are empty, so one character does).
struct NameBuffers {
  const char* name;
  bool withBuffers;
  DWORD volumeNameSize;
  DWORD fileSystemNameSize;
  BOOL result;
  DWORD error;  // checked where the call fails
};

class NameBuffersTest : public ::testing::TestWithParam<NameBuffers> {};

TEST_P(NameBuffersTest, AreCheckedAsWindowsChecksThem) {
  const NameBuffers& row = GetParam();
  char volumeName[MAX_PATH + 1] = "unwritten";
  char fileSystemName[MAX_PATH + 1] = "unwritten";
  DWORD serial = 0;
  SetLastError(0);

  EXPECT_EQ(
      GetVolumeInformationA("C:\\", row.withBuffers ? volumeName : nullptr, row.volumeNameSize,
                            &serial, nullptr, nullptr, row.withBuffers ? fileSystemName : nullptr,
                            row.fileSystemNameSize),
      row.result);

  if (row.result == FALSE) {
    EXPECT_EQ(GetLastError(), row.error);
    EXPECT_EQ(serial, 0u) << "a failed call leaves the serial alone";
  } else {
    EXPECT_EQ(serial, RootFileSystemIdFolded());
  }
}

const NameBuffers kNameBuffers[] = {
    {"SizesWithoutBuffersAreIgnored", false, 5, 1000, TRUE, 0},
    {"OneCharacterHoldsTheEmptyNames", true, 1, 1, TRUE, 0},
    {"VolumeNameBufferOfSizeZero", true, 0, MAX_PATH + 1, FALSE, ERROR_BAD_LENGTH},
    {"FileSystemNameBufferOfSizeZero", true, MAX_PATH + 1, 0, FALSE, ERROR_BAD_LENGTH},
};

INSTANTIATE_TEST_SUITE_P(VolumeInformation, NameBuffersTest, ::testing::ValuesIn(kNameBuffers),
                         hwid::testing::CaseName());

}  // namespace
