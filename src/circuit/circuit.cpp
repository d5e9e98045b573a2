#include "circuit/circuit.hpp"

#include <limits>

namespace telm {

std::optional<std::uint64_t> Circuit::max_param_index() const {
  std::optional<std::uint64_t> largest;
  for (const CircuitInstruction& instruction : instructions_) {
    const Operator* op = instruction.operation();
    if (op == nullptr) continue;
    for (std::uint64_t index : op->param_spec().indices()) {
      if (!largest || index > *largest) largest = index;
    }
  }
  return largest;
}

std::optional<std::uint64_t> Circuit::n_params() const {
  const std::optional<std::uint64_t> largest = max_param_index();
  if (!largest) return 0;
  if (*largest == std::numeric_limits<std::uint64_t>::max()) return std::nullopt;
  return *largest + 1;
}

std::vector<std::string> Circuit::debug_texts() const {
  std::vector<std::string> texts;
  texts.reserve(instructions_.size());
  for (const CircuitInstruction& instruction : instructions_) texts.push_back(instruction.debug_text());
  return texts;
}

}  // namespace telm
