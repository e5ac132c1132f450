// Names parameterised tests after their table row's `name`.
#pragma once

#include <gtest/gtest.h>

#include <string>

namespace hwid::testing {

struct CaseName {
  template <class Row>
  std::string operator()(const ::testing::TestParamInfo<Row>& row) const {
    return row.param.name;
  }
};

}  // namespace hwid::testing
