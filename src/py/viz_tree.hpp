#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace telm::py {

// One node of a circuit's visualisation tree; a node's id is its index in the tree.
struct VizNode {
  enum class Kind { Composite, Gate };
  std::optional<std::uint64_t> parent;  // absent only for the root
  Kind kind;
  std::uint64_t id;
  std::string name;
  std::vector<std::uint64_t> targets;
  std::vector<std::uint64_t> children;  // composites only, in insertion order
};

// Composite blocks and gates as the user added them, for drawing. Nodes are only appended;
// `current` always names the open composite.
class VizTree {
 public:
  VizTree() { nodes_.push_back(VizNode{std::nullopt, VizNode::Kind::Composite, 0, "Root", {}, {}}); }

  void add_gate(std::string name, std::vector<std::uint64_t> targets) {
    append(VizNode::Kind::Gate, std::move(name), std::move(targets));
  }
  void enter_composite(std::string name, std::vector<std::uint64_t> targets) {
    current_ = append(VizNode::Kind::Composite, std::move(name), std::move(targets));
  }
  void exit_composite() {
    if (nodes_[current_].parent) current_ = *nodes_[current_].parent;
  }

  [[nodiscard]] std::uint64_t size() const { return nodes_.size(); }
  [[nodiscard]] const VizNode& node(std::uint64_t id) const { return nodes_[id]; }

 private:
  std::uint64_t append(VizNode::Kind kind, std::string name, std::vector<std::uint64_t> targets) {
    const std::uint64_t id = nodes_.size();
    nodes_.push_back(VizNode{current_, kind, id, std::move(name), std::move(targets), {}});
    nodes_[current_].children.push_back(id);
    return id;
  }

  std::vector<VizNode> nodes_;
  std::uint64_t current_ = 0;
};

}  // namespace telm::py
