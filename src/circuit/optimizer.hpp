#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <variant>
#include <vector>

#include "circuit/instruction.hpp"
#include "circuit/single_gate.hpp"

namespace telm {

// Streaming peephole optimizer for circuits on qubits. It holds back at most one single-qubit
// gate per wire and at most one CNOT per wire, and emits an instruction only once nothing that
// may follow can combine with it:
//   - consecutive single-qubit gates on a wire merge (equal X, Y, Z, H cancel; rotations about
//     one axis add their angles symbolically);
//   - a CNOT followed by the same CNOT cancels when only Z rotations on the control and X
//     rotations on the target came between them on those wires (they commute with it and are
//     kept);
//   - every Rx, Ry, Rz leaves as an equivalent AffineRotationGate.
// Parameter values are never looked at, so the result is valid for every parameter vector. On
// each wire the surviving gates keep the order they were added in; gates on different wires
// may come out in another relative order.
class LALROptimizer {
 public:
  explicit LALROptimizer(std::uint64_t n_qubits) : wires_(n_qubits) {}

  // Takes a gate instruction whose targets the builder has checked against the system.
  void add_gate(CircuitInstruction instruction);
  // Emits everything held that involves wire q.
  void flush_qubit(std::uint64_t q);
  // flush_qubit for every wire, in ascending order.
  void flush_all();
  // Everything emitted so far, in order; the output is empty afterwards.
  [[nodiscard]] std::vector<CircuitInstruction> take_output();

  [[nodiscard]] std::uint64_t n_wires() const { return wires_.size(); }
  // Size of the pair-slot table: the largest number of CNOTs ever held at once.
  [[nodiscard]] std::size_t pair_slot_count() const { return pairs_.size(); }
  // True when no wire holds anything and every pair slot is free.
  [[nodiscard]] bool holds_nothing() const;

 private:
  struct Empty {};
  struct Pending {
    SingleGate gate;  // acts after everything already emitted for the wire
  };
  struct Paired {
    std::size_t pair;  // slot of the held CNOT
    bool is_target;    // false: this wire is its control
  };
  using WireState = std::variant<Empty, Pending, Paired>;

  struct PendingPair {
    CircuitInstruction cnot;
    std::optional<SingleGate> control_transparent;  // a Z rotation acting on the control after the CNOT
    std::optional<SingleGate> target_transparent;   // an X rotation acting on the target after the CNOT
    std::uint64_t control;
    std::uint64_t target;
  };

  void process_single_qubit_gate(std::uint64_t q, CircuitInstruction instruction);
  void process_cnot(std::uint64_t control, std::uint64_t target, CircuitInstruction instruction);
  void restore_or_emit(std::uint64_t q, WireState state);
  void flush_pair(std::size_t slot);
  void promote_pair_transparents(std::size_t slot);

  WireState take_wire(std::uint64_t q);
  // The pair in `slot`, taken out, its slot freed; nothing when the slot is not occupied.
  std::optional<PendingPair> take_pair(std::size_t slot);
  std::size_t store_pair(PendingPair pair);

  void emit(CircuitInstruction instruction) { output_.push_back(std::move(instruction)); }
  void emit_record(SingleGate gate, std::uint64_t q);
  // Turns the record back into an instruction and hands it to process_single_qubit_gate: a
  // rotation returns as an AffineRotationGate, which no longer merges.
  void reenter_record(SingleGate gate, std::uint64_t q);

  std::vector<WireState> wires_;
  std::vector<std::optional<PendingPair>> pairs_;
  std::vector<std::size_t> free_pairs_;  // top = back
  std::vector<CircuitInstruction> output_;
};

}  // namespace telm
