// Distinct MAC addresses in the form WMI reports them, in a fixed shuffled order.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace hwid::bench {

inline std::vector<std::string> ShuffledAddresses(std::int64_t count) {
  std::vector<std::string> addresses;
  addresses.reserve(static_cast<std::size_t>(count));
  for (std::int64_t i = 0; i < count; ++i) {
    char address[18];
    // Sized for the address: the length returned says nothing new.
    static_cast<void>(std::snprintf(
        address, sizeof address, "00:0C:29:%02X:%02X:%02X", static_cast<unsigned>((i >> 16) & 0xFF),
        static_cast<unsigned>((i >> 8) & 0xFF), static_cast<unsigned>(i & 0xFF)));
    addresses.emplace_back(address);
  }
  // NOLINTNEXTLINE(cert-msc32-c,cert-msc51-cpp): a fixed seed measures the same order every run
  std::mt19937 random(20240601);
  std::shuffle(addresses.begin(), addresses.end(), random);
  return addresses;
}

}  // namespace hwid::bench
