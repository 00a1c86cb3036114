#include <utility>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "vorn/codegen/graph.hpp"

namespace vorn_codegen::graph {
namespace {

using ::testing::ElementsAre;
using ::testing::Pair;

TEST(FlatContainers, IterateAscendingWhateverTheInsertionOrderAndIgnoreDuplicates) {
  ValueSet set;
  ShapeMap map;
  for (const std::uint32_t n : {5u, 9u, 1u, 7u, 9u, 0u}) {
    set.insert(ValueId{n});
    map.insert(ValueId{n}, TensorShape{n});
  }
  EXPECT_FALSE(set.insert(ValueId{7}));
  EXPECT_FALSE(map.insert(ValueId{7}, TensorShape{}));
  EXPECT_THAT(set, ElementsAre(ValueId{0}, ValueId{1}, ValueId{5}, ValueId{7}, ValueId{9}));
  EXPECT_THAT(map, ElementsAre(Pair(ValueId{0}, TensorShape{0}), Pair(ValueId{1}, TensorShape{1}),
                               Pair(ValueId{5}, TensorShape{5}), Pair(ValueId{7}, TensorShape{7}),
                               Pair(ValueId{9}, TensorShape{9})));
  EXPECT_EQ(set.size(), 5u);
  EXPECT_EQ(map.size(), 5u);
}

TEST(FlatContainers, FindOnlyWhatWasInserted) {
  const ValueSet set{ValueId{2}, ValueId{4}};
  const ShapeMap map{{ValueId{2}, {3, 3}}, {ValueId{4}, {}}};
  for (const std::uint32_t n : {0u, 1u, 3u, 5u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(n);
    EXPECT_FALSE(set.contains(ValueId{n}));
    EXPECT_EQ(set.find(ValueId{n}), set.end());
    EXPECT_EQ(map.find(ValueId{n}), map.end());
    EXPECT_EQ(map.lookup(ValueId{n}), nullptr);
  }
  EXPECT_TRUE(set.contains(ValueId{4}));
  EXPECT_TRUE(map.contains(ValueId{2}));
  EXPECT_EQ(map.find(ValueId{2})->second, (TensorShape{3, 3}));
  EXPECT_EQ(*map.lookup(ValueId{4}), TensorShape{});
}

}  // namespace
}  // namespace vorn_codegen::graph
