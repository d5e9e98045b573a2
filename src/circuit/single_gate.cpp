#include "circuit/single_gate.hpp"

#include <cmath>
#include <map>
#include <memory>
#include <utility>

#include "discrete/gates.hpp"

namespace telm {
namespace {

// A Rotation record for an Rx/Ry/Rz gate. A rotation gate always reads exactly one parameter;
// should one not, it is kept unchanged (Opaque) so that it still reports its own error at run
// time instead of turning into a rotation that runs.
template <class RotationGate>
std::optional<SingleGate> rotation_record(const RotationGate& gate, std::uint8_t axis) {
  const std::span<const std::uint64_t> indices = gate.param_spec().indices();
  if (indices.size() != 1) return std::nullopt;
  return SingleGate(SingleGate::Rotation{LinearAngle::from_term(indices[0], gate.coefficient()), axis});
}

std::optional<SingleGate> known_record(const Operator& op) {
  const AnyOperatorRef any = op.as_any();
  if (any.get<XGate>() != nullptr) return SingleGate(SingleGate::X{});
  if (any.get<YGate>() != nullptr) return SingleGate(SingleGate::Y{});
  if (any.get<ZGate>() != nullptr) return SingleGate(SingleGate::Z{});
  if (any.get<Hadamard>() != nullptr) return SingleGate(SingleGate::H{});
  if (const RxGate* rx = any.get<RxGate>()) return rotation_record(*rx, kAxisX);
  if (const RyGate* ry = any.get<RyGate>()) return rotation_record(*ry, kAxisY);
  if (const RzGate* rz = any.get<RzGate>()) return rotation_record(*rz, kAxisZ);
  return std::nullopt;
}

template <class Kind>
bool same_fixed_kind(const SingleGate& earlier, const SingleGate& later) {
  return earlier.is<Kind>() && later.is<Kind>();
}

bool is_fixed(const SingleGate& g) {
  return g.is<SingleGate::X>() || g.is<SingleGate::Y>() || g.is<SingleGate::Z>() || g.is<SingleGate::H>();
}

// The sum of two angles: coefficients added per parameter index (in the order the terms come),
// indices ascending, and coefficients of magnitude at most kMergeTolerance (or NaN) dropped.
LinearAngle add_angles(const LinearAngle& earlier, const LinearAngle& later) {
  std::map<std::uint64_t, double> sums;
  const auto accumulate = [&](const LinearAngle& angle) {
    for (const LinearAngle::Term& term : angle.terms) {
      double& sum = sums.try_emplace(term.param_index, 0.0).first->second;
      sum = term.coefficient + sum;
    }
  };
  accumulate(earlier);
  accumulate(later);
  LinearAngle merged;
  for (const auto& [index, sum] : sums) {
    if (std::abs(sum) > kMergeTolerance) merged.terms.push_back({index, sum});
  }
  return merged;
}

}  // namespace

SingleGate SingleGate::classify(CircuitInstruction instruction) {
  if (const ApplyOperator* apply = instruction.as_apply(); apply != nullptr && apply->op != nullptr) {
    if (std::optional<SingleGate> record = known_record(*apply->op)) return std::move(*record);
  }
  return SingleGate(Opaque{std::move(instruction)});
}

MergeOutcome SingleGate::merge(SingleGate earlier, SingleGate later) {
  if (is_fixed(earlier)) {
    // Each of X, Y, Z and H is its own inverse.
    if (same_fixed_kind<X>(earlier, later) || same_fixed_kind<Y>(earlier, later) ||
        same_fixed_kind<Z>(earlier, later) || same_fixed_kind<H>(earlier, later)) {
      return MergeOutcome{MergeOutcome::Cancelled{}};
    }
    return MergeOutcome{MergeOutcome::Unmerged{std::move(earlier), std::move(later)}};
  }
  const Rotation* first = earlier.rotation();
  const Rotation* second = later.rotation();
  if (first != nullptr && second != nullptr && first->axis == second->axis) {
    LinearAngle sum = add_angles(first->angle, second->angle);
    if (sum.terms.empty()) return MergeOutcome{MergeOutcome::Cancelled{}};
    return MergeOutcome{MergeOutcome::Merged{SingleGate(Rotation{std::move(sum), first->axis})}};
  }
  return MergeOutcome{MergeOutcome::Unmerged{std::move(earlier), std::move(later)}};
}

std::optional<CircuitInstruction> SingleGate::into_instruction(SingleGate gate, std::uint64_t qubit) {
  const auto on_qubit = [qubit](std::unique_ptr<Operator> op) -> std::optional<CircuitInstruction> {
    return CircuitInstruction::apply(std::move(op), {qubit});
  };
  return std::visit(
      [&](auto&& record) -> std::optional<CircuitInstruction> {
        using Kind = std::decay_t<decltype(record)>;
        if constexpr (std::is_same_v<Kind, X>) {
          return on_qubit(std::make_unique<XGate>());
        } else if constexpr (std::is_same_v<Kind, Y>) {
          return on_qubit(std::make_unique<YGate>());
        } else if constexpr (std::is_same_v<Kind, Z>) {
          return on_qubit(std::make_unique<ZGate>());
        } else if constexpr (std::is_same_v<Kind, H>) {
          return on_qubit(std::make_unique<Hadamard>());
        } else if constexpr (std::is_same_v<Kind, Rotation>) {
          if (record.angle.terms.empty()) return std::nullopt;
          std::vector<std::pair<std::uint64_t, double>> terms;
          terms.reserve(record.angle.terms.size());
          for (const LinearAngle::Term& term : record.angle.terms) terms.emplace_back(term.param_index, term.coefficient);
          return on_qubit(std::make_unique<AffineRotationGate>(record.axis, terms));
        } else {
          return std::move(record.instruction);
        }
      },
      std::move(gate.value()));
}

}  // namespace telm
