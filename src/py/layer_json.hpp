#pragma once

#include <cstdint>
#include <expected>
#include <string>

#include "py/viz_tree.hpp"

namespace telm::py {

// The direct contents of node `id` as compact JSON: {"nodes":[{"id":..,"name":..,
// "is_composite":..,"targets":[..]},..]}; empty for a gate. The error is the writer's text.
[[nodiscard]] std::expected<std::string, std::string> layer_json(const VizTree& tree, std::uint64_t id);

}  // namespace telm::py
