// The ordered colour containers: order, traversal, the red-black invariants, the node pool.
#include "support/pooled_tree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <cmath>
#include <random>
#include <vector>

#include "support/ranked_colors.h"

namespace tarnvick::testing {
namespace {

template <typename Tree>
std::vector<typename Tree::Node*> WalkUp(const Tree& tree) {
  std::vector<typename Tree::Node*> nodes;
  for (auto* node = tree.Minimum(); node != nullptr; node = tree.Next(node)) nodes.push_back(node);
  return nodes;
}

template <typename Tree>
std::vector<typename Tree::Node*> WalkDown(const Tree& tree) {
  std::vector<typename Tree::Node*> nodes;
  for (auto* node = tree.Maximum(); node != nullptr; node = tree.Previous(node)) nodes.push_back(node);
  return nodes;
}

// Checks the red-black rules below `node` and returns its black height; counts nodes and the
// longest path in nodes.
template <typename Node>
int CheckSubtree(const Node* node, const Node* parent, std::size_t& count, int depth, int& longest) {
  if (node == nullptr) {
    longest = std::max(longest, depth);
    return 1;
  }
  ++count;
  EXPECT_EQ(node->parent, parent);
  if (!node->black) {
    EXPECT_TRUE(node->child[0] == nullptr || node->child[0]->black) << "red node with a red child";
    EXPECT_TRUE(node->child[1] == nullptr || node->child[1]->black) << "red node with a red child";
  }
  const int first = CheckSubtree(node->child[0], node, count, depth + 1, longest);
  const int second = CheckSubtree(node->child[1], node, count, depth + 1, longest);
  EXPECT_EQ(first, second) << "unequal black heights";
  return first + (node->black ? 1 : 0);
}

void CheckHistogram(const KeyTree& tree, std::vector<std::uint32_t> keys) {
  ASSERT_NE(tree.root(), nullptr);
  EXPECT_TRUE(tree.root()->black);
  std::size_t count = 0;
  int longest = 0;
  CheckSubtree(tree.root(), static_cast<const KeyTree::Node*>(nullptr), count, 0, longest);
  EXPECT_EQ(count, keys.size());
  EXPECT_EQ(tree.size(), keys.size());
  EXPECT_LE(longest, 2 * std::log2(static_cast<double>(keys.size()) + 1));
  std::sort(keys.begin(), keys.end());
  std::vector<std::uint32_t> up;
  for (const auto* node : WalkUp(tree)) up.push_back(node->key);
  EXPECT_EQ(up, keys);
}

TEST(PooledTree, EmptyContainerHasNoEndsAndAllocatesNothing) {
  const KeyTree histogram;
  EXPECT_EQ(histogram.Minimum(), nullptr);
  EXPECT_EQ(histogram.Maximum(), nullptr);
  EXPECT_EQ(histogram.Find(0), nullptr);
  EXPECT_TRUE(WalkUp(histogram).empty());
  EXPECT_EQ(histogram.allocated_nodes(), 0u);
  const RankedColors ranked;
  EXPECT_TRUE(WalkDown(ranked).empty());
}

TEST(PooledTree, HistogramWalksAscendingKeys) {
  KeyTree histogram;
  for (const std::uint32_t key : {500u, 7u, 65536u, 256u}) histogram.Insert(key, key + 1);
  EXPECT_EQ(histogram.Minimum()->key, 7u);
  EXPECT_EQ(histogram.Maximum()->key, 65536u);
  std::vector<std::uint32_t> keys;
  for (const auto* node : WalkUp(histogram)) keys.push_back(node->key);
  EXPECT_EQ(keys, (std::vector<std::uint32_t>{7, 256, 500, 65536}));
  keys.clear();
  for (const auto* node : WalkDown(histogram)) keys.push_back(node->key);
  EXPECT_EQ(keys, (std::vector<std::uint32_t>{65536, 500, 256, 7}));
  ASSERT_NE(histogram.Find(500), nullptr);
  EXPECT_EQ(histogram.Find(500)->value, 501u);
  EXPECT_EQ(histogram.Find(501), nullptr);
}

TEST(PooledTree, RankedColorsWalkDownByCountThenGreaterKey) {
  RankedColors ranked;
  ranked.Insert({5, 255}, {255, 0, 0, 0});
  ranked.Insert({7, 1}, {1, 0, 0, 0});
  ranked.Insert({5, 65280}, {0, 255, 0, 0});
  EXPECT_EQ(ranked.Maximum()->key.count, 7u);
  EXPECT_EQ(ranked.Minimum()->key.color_key, 255u);
  std::vector<std::pair<PixelCount, std::uint32_t>> walk;
  for (const auto* node : WalkDown(ranked)) walk.emplace_back(node->key.count, node->key.color_key);
  EXPECT_EQ(walk, (std::vector<std::pair<PixelCount, std::uint32_t>>{{7, 1}, {5, 65280}, {5, 255}}));
}

TEST(PooledTree, EqualKeysAreAllVisitedNewerOnesFirstWhenWalkingDown) {
  RankedColors ranked;
  ranked.Insert({3, 3}, {1, 0, 0, 0});
  ranked.Insert({3, 3}, {2, 0, 0, 0});
  ranked.Insert({1, 1}, {3, 0, 0, 0});
  ranked.Insert({3, 3}, {4, 0, 0, 0});
  std::vector<int> values;
  for (const auto* node : WalkDown(ranked)) values.push_back(node->value[0]);
  EXPECT_EQ(values, (std::vector<int>{4, 2, 1, 3}));
}

TEST(PooledTree, NodesComeSixteenAtATime) {
  KeyTree histogram;
  histogram.Insert(0, 0);
  EXPECT_EQ(histogram.allocated_nodes(), 16u);
  for (std::uint32_t key = 1; key < 16; ++key) histogram.Insert(key, 0);
  EXPECT_EQ(histogram.allocated_nodes(), 16u);
  histogram.Insert(16, 0);
  EXPECT_EQ(histogram.allocated_nodes(), 32u);
  EXPECT_EQ(histogram.size(), 17u);
}

TEST(PooledTree, StaysBalancedForAscendingDescendingAndRandomKeys) {
  std::vector<std::uint32_t> ascending(1000);
  for (std::uint32_t i = 0; i < ascending.size(); ++i) ascending[i] = i * 3;
  std::vector<std::uint32_t> descending(ascending.rbegin(), ascending.rend());
  std::vector<std::uint32_t> random = ascending;
  std::shuffle(random.begin(), random.end(), std::mt19937(42));
  for (const auto* keys : {&ascending, &descending, &random}) {
    KeyTree histogram;
    std::vector<std::uint32_t> inserted;
    for (const std::uint32_t key : *keys) {
      histogram.Insert(key, 1);
      inserted.push_back(key);
      CheckHistogram(histogram, inserted);
      if (::testing::Test::HasFailure()) return;
    }
    EXPECT_EQ(histogram.allocated_nodes(), 1008u);
  }
}

}  // namespace
}  // namespace tarnvick::testing
