#include "py/layer_json.hpp"

#include <nlohmann/json.hpp>

namespace telm::py {

std::expected<std::string, std::string> layer_json(const VizTree& tree, std::uint64_t id) {
  // ordered_json keeps the keys in insertion order: id, name, is_composite, targets.
  nlohmann::ordered_json nodes = nlohmann::ordered_json::array();
  for (std::uint64_t child_id : tree.node(id).children) {
    const VizNode& child = tree.node(child_id);
    nlohmann::ordered_json node;
    node["id"] = child.id;
    node["name"] = child.name;
    node["is_composite"] = child.kind == VizNode::Kind::Composite;
    node["targets"] = child.targets;
    nodes.push_back(std::move(node));
  }
  nlohmann::ordered_json layer;
  layer["nodes"] = std::move(nodes);
  try {
    return layer.dump();  // compact; non-ASCII as UTF-8; control characters as \b \t \n \f \r or \u00xx
  } catch (const nlohmann::json::exception& e) {
    return std::unexpected(std::string(e.what()));
  }
}

}  // namespace telm::py
