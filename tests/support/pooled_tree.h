// An ordered container: a red-black tree whose nodes come from a free list refilled 16 at a
// time, which keeps its smallest and greatest elements at hand. Elements are only ever added;
// every node is released when the container is destroyed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>

namespace tarnvick {

// `Less` orders the keys. An in-order walk of the tree (first child, node, second child) visits
// ascending keys when `kAscending`, descending keys otherwise; equal keys are allowed and a new
// one is placed after those present in the walk's direction.
template <typename Key, typename Value, typename Less, bool kAscending>
class PooledTree {
 public:
  static constexpr std::size_t kRefill = 16;

  struct Node {
    bool black = false;  // a zeroed node is red
    Node* parent = nullptr;
    Node* child[2] = {nullptr, nullptr};  // first, second; the second also links the free list
    Key key{};
    Value value{};
  };

  PooledTree() = default;
  PooledTree(const PooledTree&) = delete;
  PooledTree& operator=(const PooledTree&) = delete;
  virtual ~PooledTree() {
    Recycle(root_);
    root_ = minimum_ = maximum_ = nullptr;
    while (free_ != nullptr) {
      Node* next = free_->child[1];
      delete free_;
      free_ = next;
    }
  }

  // The node holding `key`, or null.
  Node* Find(const Key& key) const {
    Node* node = root_;
    while (node != nullptr) {
      if (Before(key, node->key)) {
        node = node->child[0];
      } else if (Before(node->key, key)) {
        node = node->child[1];
      } else {
        return node;
      }
    }
    return nullptr;
  }

  // Adds a node; null only when no memory could be had for it (the tree is then unchanged).
  Node* Insert(const Key& key, const Value& value) {
    Node* node = Take();
    if (node == nullptr) return nullptr;
    node->key = key;
    node->value = value;
    Node* parent = nullptr;
    Node** slot = &root_;
    while (*slot != nullptr) {
      parent = *slot;
      slot = &parent->child[Before(parent->key, key) ? 1 : 0];
    }
    *slot = node;
    node->parent = parent;
    ++count_;
    // A key equal to the cached one lies before it in the walk: at the end the walk starts
    // from, it takes over, so that a walk from there still visits every element.
    if (minimum_ == nullptr || Less()(key, minimum_->key) ||
        (kAscending && !Less()(minimum_->key, key))) {
      minimum_ = node;
    }
    if (maximum_ == nullptr || Less()(maximum_->key, key) ||
        (!kAscending && !Less()(key, maximum_->key))) {
      maximum_ = node;
    }
    Rebalance(node);
    return node;
  }

  Node* Minimum() const { return minimum_; }
  Node* Maximum() const { return maximum_; }
  // The node with the next greater key, or null after the greatest.
  Node* Next(const Node* node) const { return Step(node, kAscending ? 1 : 0); }
  // The node with the next smaller key, or null after the smallest.
  Node* Previous(const Node* node) const { return Step(node, kAscending ? 0 : 1); }

  std::uint32_t size() const { return count_; }
  const Node* root() const { return root_; }
  // Nodes allocated so far, in the tree or spare.
  std::size_t allocated_nodes() const { return allocated_; }

 private:
  static bool Before(const Key& a, const Key& b) { return kAscending ? Less()(a, b) : Less()(b, a); }

  static bool IsRed(const Node* node) { return node != nullptr && !node->black; }

  Node* Take() {
    if (free_ == nullptr) {
      Node* last = nullptr;
      for (std::size_t i = 0; i < kRefill; ++i) {
        Node* fresh = new (std::nothrow) Node();
        if (fresh == nullptr) break;
        ++allocated_;
        if (last == nullptr) {
          free_ = fresh;
        } else {
          last->child[1] = fresh;
        }
        last = fresh;
      }
      if (free_ == nullptr) return nullptr;
    }
    Node* node = free_;
    free_ = node->child[1];
    node->black = false;
    node->child[0] = node->child[1] = nullptr;
    return node;
  }

  // Puts every node of the subtree back on the free list, each subtree before its root.
  void Recycle(Node* node) {
    if (node == nullptr) return;
    Recycle(node->child[0]);
    Recycle(node->child[1]);
    node->child[0] = nullptr;
    node->child[1] = free_;
    free_ = node;
  }

  static Node* Step(const Node* node, int side) {
    if (node->child[side] != nullptr) {
      Node* next = node->child[side];
      while (next->child[1 - side] != nullptr) next = next->child[1 - side];
      return next;
    }
    Node* parent = node->parent;
    while (parent != nullptr && node == parent->child[side]) {
      node = parent;
      parent = parent->parent;
    }
    return parent;
  }

  // Turns `node` down towards `side`: its child on the other side takes its place.
  void Rotate(Node* node, int side) {
    Node* up = node->child[1 - side];
    node->child[1 - side] = up->child[side];
    if (up->child[side] != nullptr) up->child[side]->parent = node;
    up->parent = node->parent;
    if (node->parent == nullptr) {
      root_ = up;
    } else {
      node->parent->child[node == node->parent->child[0] ? 0 : 1] = up;
    }
    up->child[side] = node;
    node->parent = up;
  }

  void Rebalance(Node* node) {
    while (IsRed(node->parent)) {
      Node* parent = node->parent;
      Node* grandparent = parent->parent;  // a red parent is never the root
      const int side = parent == grandparent->child[0] ? 0 : 1;
      Node* uncle = grandparent->child[1 - side];
      if (IsRed(uncle)) {
        parent->black = true;
        uncle->black = true;
        grandparent->black = false;
        node = grandparent;
        continue;
      }
      if (node == parent->child[1 - side]) {
        node = parent;
        Rotate(node, side);
        parent = node->parent;
      }
      parent->black = true;
      grandparent->black = false;
      Rotate(grandparent, 1 - side);
    }
    root_->black = true;
  }

  Node* free_ = nullptr;
  Node* root_ = nullptr;
  Node* minimum_ = nullptr;
  Node* maximum_ = nullptr;
  std::uint32_t count_ = 0;
  std::size_t allocated_ = 0;
};

}  // namespace tarnvick
