// GoogleMock matchers for std::expected results, so that a test names the exact value or error
// it expects instead of a vague "not ok":
//
//     EXPECT_THAT(graph.gemm(a, b), IsOkAndHolds(ValueId{2}));
//     EXPECT_THAT(emit(...), FailsWith(invalid("compute symbol is empty")));
//     EXPECT_THAT(validate(program), IsOk());
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace vorn::testing {

MATCHER(IsOk, "succeeds") {
  if (arg.has_value()) return true;
  *result_listener << "which failed with " << ::testing::PrintToString(arg.error());
  return false;
}

MATCHER_P(IsOkAndHolds, expected, "succeeds with " + ::testing::PrintToString(expected)) {
  if (!arg.has_value()) {
    *result_listener << "which failed with " << ::testing::PrintToString(arg.error());
    return false;
  }
  return ::testing::ExplainMatchResult(expected, *arg, result_listener);
}

MATCHER_P(FailsWith, expected, "fails with " + ::testing::PrintToString(expected)) {
  if (arg.has_value()) {
    *result_listener << "which succeeded";
    return false;
  }
  return ::testing::ExplainMatchResult(expected, arg.error(), result_listener);
}

}  // namespace vorn::testing
