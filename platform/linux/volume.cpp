// Linux stand-in only: "C:\" is the file system mounted at "/", and its serial number is the
// file system ID that statfs reports, its two 32-bit words combined by exclusive or. ext4 and btrfs
// derive that ID from the file system's UUID and xfs from its device, so it survives reboots.
// Its volume label and file-system name are unknown here, so both are the empty text.

#include <sys/vfs.h>

#include <cerrno>
#include <cstring>

#include "platform/win32.h"

namespace {

constexpr char kSystemRoot[] = "C:\\";
constexpr char kMountPoint[] = "/";

// The error Windows gives for what stopped statfs.
DWORD VolumeError(int error) {
  switch (error) {
    case EACCES:
    case EPERM:
      return ERROR_ACCESS_DENIED;
    case ENOENT:
    case ENOTDIR:
    case ELOOP:
      return ERROR_PATH_NOT_FOUND;
    case EIO:
      return ERROR_IO_DEVICE;
    default:
      return ERROR_NOT_READY;
  }
}

}  // namespace

BOOL GetVolumeInformationA(LPCSTR lpRootPathName, LPSTR lpVolumeNameBuffer, DWORD nVolumeNameSize,
                           LPDWORD lpVolumeSerialNumber, LPDWORD lpMaximumComponentLength,
                           LPDWORD lpFileSystemFlags, LPSTR lpFileSystemNameBuffer,
                           DWORD nFileSystemNameSize) {
  if (lpRootPathName == nullptr || std::strcmp(lpRootPathName, kSystemRoot) != 0) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return FALSE;
  }
  // A name buffer must hold the name and its terminator; a size without a buffer is ignored, as
  // Windows documents.
  if ((lpVolumeNameBuffer != nullptr && nVolumeNameSize == 0) ||
      (lpFileSystemNameBuffer != nullptr && nFileSystemNameSize == 0)) {
    SetLastError(ERROR_BAD_LENGTH);
    return FALSE;
  }
  struct statfs info {};
  if (statfs(kMountPoint, &info) != 0) {
    SetLastError(VolumeError(errno));
    return FALSE;
  }
  if (lpVolumeSerialNumber != nullptr) {
    *lpVolumeSerialNumber =
        static_cast<DWORD>(info.f_fsid.__val[0]) ^ static_cast<DWORD>(info.f_fsid.__val[1]);
  }
  if (lpMaximumComponentLength != nullptr) {
    *lpMaximumComponentLength = static_cast<DWORD>(info.f_namelen);
  }
  if (lpFileSystemFlags != nullptr) {
    *lpFileSystemFlags = 0;
  }
  if (lpVolumeNameBuffer != nullptr) {
    lpVolumeNameBuffer[0] = '\0';
  }
  if (lpFileSystemNameBuffer != nullptr) {
    lpFileSystemNameBuffer[0] = '\0';
  }
  return TRUE;
}
