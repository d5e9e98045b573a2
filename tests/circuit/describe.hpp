#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "circuit/circuit.hpp"
#include "circuit/instruction.hpp"
#include "discrete/gates.hpp"

namespace telm::testing {

inline std::string number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

inline std::string axis_name(std::uint8_t axis) { return axis == 0 ? "X" : axis == 1 ? "Y" : "Z"; }

// A short name for an operator's concrete class, with what the optimizer writes into it:
// "H", "CNOT", "Rx(p3)", "Aff(X; 0:2, 1:1)".
inline std::string describe_operator(const Operator& op) {
  const AnyOperatorRef any = op.as_any();
  if (any.get<XGate>()) return "X";
  if (any.get<YGate>()) return "Y";
  if (any.get<ZGate>()) return "Z";
  if (any.get<Hadamard>()) return "H";
  if (any.get<Cnot>()) return "CNOT";
  if (any.get<CzGate>()) return "CZ";
  if (any.get<SwapGate>()) return "SWAP";
  if (const auto* g = any.get<RxGate>()) return "Rx(p" + std::to_string(g->param_index()) + ")";
  if (const auto* g = any.get<RyGate>()) return "Ry(p" + std::to_string(g->param_index()) + ")";
  if (const auto* g = any.get<RzGate>()) return "Rz(p" + std::to_string(g->param_index()) + ")";
  if (const auto* g = any.get<RzzGate>()) return "RZZ(p" + std::to_string(g->param_index()) + ")";
  if (const auto* g = any.get<AffineRotationGate>()) {
    std::string text = "Aff(" + axis_name(g->axis()) + ";";
    for (std::size_t i = 0; i < g->param_indices().size(); ++i) {
      text += (i == 0 ? " " : ", ") + std::to_string(g->param_indices()[i]) + ":" + number(g->coefficients()[i]);
    }
    return text + ")";
  }
  return "?";
}

// "CNOT [0, 1]", "Aff(Z; 0:1) [0]", "M(z0) [2]".
inline std::string describe(const CircuitInstruction& instruction) {
  std::string targets = " [";
  for (std::size_t i = 0; i < instruction.targets().size(); ++i) {
    targets += (i == 0 ? "" : ", ") + std::to_string(instruction.targets()[i]);
  }
  targets += "]";
  if (const MeasureExpectation* m = instruction.as_measure()) return "M(" + m->label + ")" + targets;
  return describe_operator(*instruction.as_apply()->op) + targets;
}

inline std::vector<std::string> describe_all(std::span<const CircuitInstruction> instructions) {
  std::vector<std::string> texts;
  for (const CircuitInstruction& instruction : instructions) texts.push_back(describe(instruction));
  return texts;
}

}  // namespace telm::testing
