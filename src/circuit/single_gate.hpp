#pragma once

#include <cstdint>
#include <optional>
#include <variant>
#include <vector>

#include "circuit/instruction.hpp"

namespace telm {

// Axis codes of AffineRotationGate, as the optimizer writes them.
inline constexpr std::uint8_t kAxisX = 0;
inline constexpr std::uint8_t kAxisY = 1;
inline constexpr std::uint8_t kAxisZ = 2;

// A rotation angle θ = Σ coefficient · p[param_index] over the circuit's parameter vector p.
// No constant offset: every angle the optimizer handles is a pure combination of parameters.
struct LinearAngle {
  struct Term {
    std::uint64_t param_index;
    double coefficient;
    friend bool operator==(const Term&, const Term&) = default;
  };
  std::vector<Term> terms;

  [[nodiscard]] static LinearAngle from_term(std::uint64_t param_index, double coefficient) {
    return LinearAngle{{Term{param_index, coefficient}}};
  }
  friend bool operator==(const LinearAngle&, const LinearAngle&) = default;
};

struct MergeOutcome;

// A single-qubit gate held back by the optimizer on one wire. It does not record its qubit:
// that is the wire holding it, given again by into_instruction.
class SingleGate {
 public:
  struct X {};
  struct Y {};
  struct Z {};
  struct H {};
  // exp(-i θ/2 σ) about `axis` (kAxisX, kAxisY or kAxisZ).
  struct Rotation {
    LinearAngle angle;
    std::uint8_t axis;
  };
  // Any other instruction, kept unchanged.
  struct Opaque {
    CircuitInstruction instruction;
  };
  using Value = std::variant<X, Y, Z, H, Rotation, Opaque>;

  SingleGate(Value value) : value_(std::move(value)) {}  // NOLINT: implicit by design

  // X, Y, Z and Hadamard gates become their kinds, Rx/Ry/Rz rotations a Rotation with one term
  // (parameter index, coefficient); everything else, AffineRotationGate and measurements
  // included, an Opaque record holding the instruction unchanged. Exact class identity only.
  [[nodiscard]] static SingleGate classify(CircuitInstruction instruction);

  // Combines `earlier` (applied first) with `later`: equal self-inverse fixed gates cancel,
  // rotations about one axis add their angles; anything else comes back unmerged, in order.
  [[nodiscard]] static MergeOutcome merge(SingleGate earlier, SingleGate later);

  // The instruction on [qubit] the record stands for: a fresh fixed gate, an AffineRotationGate
  // for a rotation with terms, nothing for a rotation without terms, the held instruction for
  // an Opaque record.
  [[nodiscard]] static std::optional<CircuitInstruction> into_instruction(SingleGate gate, std::uint64_t qubit);

  [[nodiscard]] const Value& value() const { return value_; }
  [[nodiscard]] Value& value() { return value_; }
  template <class Kind>
  [[nodiscard]] bool is() const {
    return std::holds_alternative<Kind>(value_);
  }
  [[nodiscard]] const Rotation* rotation() const { return std::get_if<Rotation>(&value_); }
  // True for a Rotation about `axis`.
  [[nodiscard]] bool is_rotation_about(std::uint8_t axis) const {
    const Rotation* r = rotation();
    return r != nullptr && r->axis == axis;
  }

 private:
  Value value_;
};

struct MergeOutcome {
  // The two gates multiply to the identity; both disappear.
  struct Cancelled {};
  // One record replaces both.
  struct Merged {
    SingleGate gate;
  };
  // Both records unchanged, the earlier first.
  struct Unmerged {
    SingleGate earlier;
    SingleGate later;
  };
  std::variant<Cancelled, Merged, Unmerged> value;
};

// Terms of a merged angle whose summed coefficient has magnitude at most this are dropped.
inline constexpr double kMergeTolerance = 1e-12;

}  // namespace telm
