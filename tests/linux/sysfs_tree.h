// A small sysfs tree in a temporary directory, laid out as the kernel lays out the real one:
// devices under devices/, interfaces under their device's net/ (or devices/virtual/net/), and
// class/net/<name> and the device and subsystem links as relative symbolic links.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

namespace hwid::testing {

inline constexpr int kArphrdEther = 1;
inline constexpr int kArphrdInfiniband = 32;
inline constexpr int kArphrdLoopback = 772;
inline constexpr int kArphrdNone = 65534;  // tun: no hardware address

class SysfsTree {
 public:
  SysfsTree() {
    std::string pattern = ::testing::TempDir() + "sysfs.XXXXXX";
    root_ = mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
    if (root_.empty()) {
      ADD_FAILURE() << "cannot make a temporary directory from " << pattern;
      return;
    }
    // Every sysfs has the class: a machine without adapters still has loopback there.
    std::filesystem::create_directories(root_ / "class" / "net");
  }
  SysfsTree(const SysfsTree&) = delete;
  SysfsTree& operator=(const SysfsTree&) = delete;
  ~SysfsTree() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }

  [[nodiscard]] const std::filesystem::path& Root() const { return root_; }

  // devices/<path>, whose subsystem link names bus/<bus>; returns the device's path.
  std::filesystem::path AddDevice(std::string_view path, std::string_view bus) {
    std::filesystem::path device = root_ / "devices" / path;
    std::filesystem::create_directories(device);
    std::filesystem::create_directories(root_ / "bus" / bus);
    Link(device / "subsystem", root_ / "bus" / bus);
    return device;
  }

  // firmware/devicetree/base/<path>, each property a file holding its value's bytes.
  std::filesystem::path AddDeviceTreeNode(
      std::string_view path,
      std::initializer_list<std::pair<std::string_view, std::string_view>> properties) {
    std::filesystem::path node = root_ / "firmware" / "devicetree" / "base" / path;
    std::filesystem::create_directories(node);
    for (const auto& [name, value] : properties) {
      Write(node / name, value);
    }
    return node;
  }

  // A symbolic link at `link` to `target`, relative as sysfs makes its links.
  static void Link(const std::filesystem::path& link, const std::filesystem::path& target) {
    std::filesystem::create_directories(link.parent_path());
    std::filesystem::create_directory_symlink(std::filesystem::relative(target, link.parent_path()),
                                              link);
  }

  // An attribute file with exactly `text`.
  static void Write(const std::filesystem::path& file, std::string_view text) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
  }

  // An interface with the kernel's attributes; without a device it is a virtual one.
  std::filesystem::path AddInterface(std::string_view name, int ifindex, int type,
                                     std::string_view address,
                                     const std::filesystem::path& device = {}) {
    std::filesystem::path dir =
        (device.empty() ? root_ / "devices" / "virtual" : device) / "net" / name;
    Write(dir / "ifindex", std::to_string(ifindex) + "\n");
    Write(dir / "type", std::to_string(type) + "\n");
    Write(dir / "address", std::string(address) + "\n");
    if (!device.empty()) {
      Link(dir / "device", device);
    }
    std::filesystem::create_directories(root_ / "class" / "net");
    Link(root_ / "class" / "net" / name, dir);
    return dir;
  }

 private:
  std::filesystem::path root_;
};

}  // namespace hwid::testing
