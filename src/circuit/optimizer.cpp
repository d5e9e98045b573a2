#include "circuit/optimizer.hpp"

#include <algorithm>

#include "core/invariant.hpp"
#include "discrete/gates.hpp"

namespace telm {

void LALROptimizer::add_gate(CircuitInstruction instruction) {
  const std::span<const std::uint64_t> targets = instruction.targets();
  const bool in_range = std::all_of(targets.begin(), targets.end(), [&](std::uint64_t t) { return t < wires_.size(); });
  const ApplyOperator* apply = instruction.as_apply();
  if (apply == nullptr || !in_range) {
    // A measurement is a barrier for every wire. A target beyond the wires cannot come from the
    // builder; such an instruction is passed on, after everything held, for the executor to refuse.
    if (!in_range) note_invariant_violation("LALROptimizer::add_gate: target beyond the wires");
    flush_all();
    emit(std::move(instruction));
    return;
  }
  if (targets.size() == 1) {
    const std::uint64_t q = targets[0];
    process_single_qubit_gate(q, std::move(instruction));
    return;
  }
  if (targets.size() == 2 && apply->op != nullptr && apply->op->is<Cnot>()) {
    const std::uint64_t control = targets[0];
    const std::uint64_t target = targets[1];
    process_cnot(control, target, std::move(instruction));
    return;
  }
  if (targets.empty()) {
    emit(std::move(instruction));
    return;
  }
  // Other multi-qubit gates (CZ, SWAP, RZZ): emit what their wires hold, in target order.
  for (std::uint64_t t : targets) flush_qubit(t);
  emit(std::move(instruction));
}

void LALROptimizer::flush_qubit(std::uint64_t q) {
  TELM_EXPECT(q < wires_.size(), );
  restore_or_emit(q, take_wire(q));
}

void LALROptimizer::flush_all() {
  for (std::uint64_t q = 0; q < wires_.size(); ++q) flush_qubit(q);
}

std::vector<CircuitInstruction> LALROptimizer::take_output() {
  std::vector<CircuitInstruction> taken = std::move(output_);
  output_.clear();
  return taken;
}

bool LALROptimizer::holds_nothing() const {
  const bool wires_empty =
      std::all_of(wires_.begin(), wires_.end(), [](const WireState& s) { return std::holds_alternative<Empty>(s); });
  const bool slots_free =
      std::all_of(pairs_.begin(), pairs_.end(), [](const std::optional<PendingPair>& p) { return !p.has_value(); });
  return wires_empty && slots_free;
}

void LALROptimizer::process_single_qubit_gate(std::uint64_t q, CircuitInstruction instruction) {
  SingleGate gate = SingleGate::classify(std::move(instruction));
  WireState state = take_wire(q);

  if (std::holds_alternative<Empty>(state)) {
    wires_[q] = Pending{std::move(gate)};
    return;
  }

  if (auto* pending = std::get_if<Pending>(&state)) {
    MergeOutcome outcome = SingleGate::merge(std::move(pending->gate), std::move(gate));
    if (auto* merged = std::get_if<MergeOutcome::Merged>(&outcome.value)) {
      wires_[q] = Pending{std::move(merged->gate)};
    } else if (auto* unmerged = std::get_if<MergeOutcome::Unmerged>(&outcome.value)) {
      emit_record(std::move(unmerged->earlier), q);
      wires_[q] = Pending{std::move(unmerged->later)};
    }
    return;  // Cancelled: the wire stays empty
  }

  const Paired paired = std::get<Paired>(state);
  wires_[q] = paired;
  std::optional<PendingPair>* slot = paired.pair < pairs_.size() ? &pairs_[paired.pair] : nullptr;
  if (slot == nullptr || !slot->has_value()) {
    // A wire paired with a free slot cannot happen; treat the wire as empty.
    note_invariant_violation("LALROptimizer: wire paired with a free slot");
    wires_[q] = Pending{std::move(gate)};
    return;
  }
  PendingPair& pair = **slot;
  const bool transparent =
      paired.is_target ? gate.is_rotation_about(kAxisX) : gate.is_rotation_about(kAxisZ);
  if (!transparent) {
    flush_pair(paired.pair);
    reenter_record(std::move(gate), q);
    return;
  }
  std::optional<SingleGate>& held = paired.is_target ? pair.target_transparent : pair.control_transparent;
  if (!held) {
    held = std::move(gate);
    return;
  }
  MergeOutcome outcome = SingleGate::merge(std::move(*held), std::move(gate));
  held.reset();
  if (auto* merged = std::get_if<MergeOutcome::Merged>(&outcome.value)) {
    held = std::move(merged->gate);
  } else if (auto* unmerged = std::get_if<MergeOutcome::Unmerged>(&outcome.value)) {
    // Two rotations about one axis always merge; should they not, keep the exact order: the
    // pair with the held rotation first, then the new one.
    note_invariant_violation("LALROptimizer: transparent rotations did not merge");
    held = std::move(unmerged->earlier);
    flush_pair(paired.pair);
    reenter_record(std::move(unmerged->later), q);
  }
}

void LALROptimizer::process_cnot(std::uint64_t control, std::uint64_t target, CircuitInstruction instruction) {
  WireState control_state = take_wire(control);
  WireState target_state = take_wire(target);  // Empty when control == target

  const auto* control_paired = std::get_if<Paired>(&control_state);
  const auto* target_paired = std::get_if<Paired>(&target_state);
  if (control_paired != nullptr && target_paired != nullptr && !control_paired->is_target &&
      target_paired->is_target && control_paired->pair == target_paired->pair &&
      control_paired->pair < pairs_.size() && pairs_[control_paired->pair].has_value() &&
      pairs_[control_paired->pair]->control == control && pairs_[control_paired->pair]->target == target) {
    // The same CNOT again: both go, the rotations that were between them stay.
    promote_pair_transparents(control_paired->pair);
    return;
  }

  restore_or_emit(control, std::move(control_state));
  restore_or_emit(target, std::move(target_state));
  const std::size_t slot = store_pair(PendingPair{std::move(instruction), std::nullopt, std::nullopt, control, target});
  wires_[control] = Paired{slot, false};
  wires_[target] = Paired{slot, true};
}

void LALROptimizer::restore_or_emit(std::uint64_t q, WireState state) {
  if (auto* pending = std::get_if<Pending>(&state)) {
    emit_record(std::move(pending->gate), q);
  } else if (auto* paired = std::get_if<Paired>(&state)) {
    const std::size_t slot = paired->pair;
    wires_[q] = std::move(state);
    flush_pair(slot);
  }
}

void LALROptimizer::flush_pair(std::size_t slot) {
  std::optional<PendingPair> pair = take_pair(slot);
  if (!pair) return;
  wires_[pair->control] = Empty{};
  wires_[pair->target] = Empty{};
  emit(std::move(pair->cnot));
  if (pair->control_transparent) emit_record(std::move(*pair->control_transparent), pair->control);
  if (pair->target_transparent) emit_record(std::move(*pair->target_transparent), pair->target);
}

void LALROptimizer::promote_pair_transparents(std::size_t slot) {
  std::optional<PendingPair> pair = take_pair(slot);
  if (!pair) return;
  wires_[pair->control] = Empty{};
  wires_[pair->target] = Empty{};
  if (pair->control_transparent) wires_[pair->control] = Pending{std::move(*pair->control_transparent)};
  if (pair->target_transparent) wires_[pair->target] = Pending{std::move(*pair->target_transparent)};
  // The held CNOT is dropped here, the new one by the caller.
}

LALROptimizer::WireState LALROptimizer::take_wire(std::uint64_t q) { return std::exchange(wires_[q], Empty{}); }

std::optional<LALROptimizer::PendingPair> LALROptimizer::take_pair(std::size_t slot) {
  if (slot >= pairs_.size() || !pairs_[slot]) return std::nullopt;
  std::optional<PendingPair> pair = std::move(pairs_[slot]);
  pairs_[slot].reset();
  free_pairs_.push_back(slot);
  return pair;
}

std::size_t LALROptimizer::store_pair(PendingPair pair) {
  if (!free_pairs_.empty()) {
    const std::size_t slot = free_pairs_.back();
    free_pairs_.pop_back();
    pairs_[slot] = std::move(pair);
    return slot;
  }
  pairs_.push_back(std::move(pair));
  return pairs_.size() - 1;
}

void LALROptimizer::emit_record(SingleGate gate, std::uint64_t q) {
  if (std::optional<CircuitInstruction> instruction = SingleGate::into_instruction(std::move(gate), q)) {
    emit(std::move(*instruction));
  }
}

void LALROptimizer::reenter_record(SingleGate gate, std::uint64_t q) {
  if (std::optional<CircuitInstruction> instruction = SingleGate::into_instruction(std::move(gate), q)) {
    process_single_qubit_gate(q, std::move(*instruction));
  }
}

}  // namespace telm
