#include "circuit/instruction.hpp"

#include "circuit/debug_text.hpp"

namespace telm {

std::span<const std::uint64_t> CircuitInstruction::targets() const {
  return std::visit([](const auto& v) { return std::span<const std::uint64_t>(v.targets); }, value_);
}

const Operator* CircuitInstruction::operation() const {
  if (const ApplyOperator* apply = as_apply()) return apply->op.get();
  return std::get<MeasureExpectation>(value_).observable.get();
}

std::string CircuitInstruction::debug_text() const {
  // The operator is never named, so an optimized and an unoptimized circuit differ only in the
  // number, order and targets of their instructions.
  if (const ApplyOperator* apply = as_apply()) {
    return "ApplyOperator { operator: \"<dyn Operator>\", targets: " + debug_index_list(apply->targets) + " }";
  }
  const MeasureExpectation& measure = std::get<MeasureExpectation>(value_);
  return "MeasureExpectation { label: " + quoted_debug_string(measure.label) +
         ", observable: \"<dyn Observable>\", targets: " + debug_index_list(measure.targets) + " }";
}

}  // namespace telm
