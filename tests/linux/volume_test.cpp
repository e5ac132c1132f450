// The stand-in's "C:\": the file system mounted at "/", whose serial is its file system ID folded
// to 32 bits.
#include <gtest/gtest.h>
#include <sys/statvfs.h>

#include <cstdint>

#include "platform/win32.h"

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

}  // namespace
