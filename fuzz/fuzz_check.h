// Property checks for the fuzz targets: a broken property is a crash, which libFuzzer records
// together with the input that caused it.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace hwid::fuzz {

inline void Check(bool holds, const char* property) {
  if (!holds) {
    static_cast<void>(std::fprintf(stderr, "property broken: %s\n", property));
    std::abort();
  }
}

}  // namespace hwid::fuzz
