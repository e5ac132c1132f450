// Names each parameterised test after the `name` member of its case.
#pragma once

#include <gtest/gtest.h>

#include <string>

namespace hwid::testing {

struct CaseName {
  template <class Case>
  std::string operator()(const ::testing::TestParamInfo<Case>& info) const {
    return info.param.name;
  }
};

}  // namespace hwid::testing
