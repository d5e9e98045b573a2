#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "circuit/instruction.hpp"
#include "core/system_description.hpp"

namespace telm {

// A built circuit: the system it was built for and its instructions, in order. Immutable; run
// it any number of times with CircuitExecutor::run.
class Circuit {
 public:
  Circuit(SystemDescription system, std::vector<CircuitInstruction> instructions)
      : system_(std::move(system)), instructions_(std::move(instructions)) {}

  Circuit(Circuit&&) noexcept = default;
  Circuit& operator=(Circuit&&) noexcept = default;

  [[nodiscard]] const SystemDescription& system() const { return system_; }
  [[nodiscard]] std::span<const CircuitInstruction> instructions() const { return instructions_; }
  [[nodiscard]] std::size_t instruction_count() const { return instructions_.size(); }

  // The largest parameter index any instruction's operator or observable reads, or nothing
  // when none reads one.
  [[nodiscard]] std::optional<std::uint64_t> max_param_index() const;
  // The shortest parameter vector that covers every index read: 1 + max_param_index(), 0 when
  // no index is read. Nothing when that count does not fit in 64 bits (an index of 2^64 - 1);
  // the caller then reports max_param_index() + 1 in a wider type.
  [[nodiscard]] std::optional<std::uint64_t> n_params() const;

  // One debug text per instruction, in order.
  [[nodiscard]] std::vector<std::string> debug_texts() const;

 private:
  SystemDescription system_;
  std::vector<CircuitInstruction> instructions_;
};

}  // namespace telm
