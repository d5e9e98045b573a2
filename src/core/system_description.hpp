#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/result.hpp"

namespace telm {

struct Subsystem {
  std::optional<std::string> label;  // never set by the constructors below
  std::uint64_t dim;                 // always at least 2
  bool operator==(const Subsystem&) const = default;
};

// A named group of subsystems; no operation creates one, so the list is always empty.
struct Register {
  std::string name;
  std::vector<std::uint64_t> subsystems;
  bool operator==(const Register&) const = default;
};

// An ordered list of subsystems and the total Hilbert-space dimension. Immutable, copied by
// every holder. Subsystem 0 is the most significant digit of an amplitude index.
class SystemDescription {
 public:
  // n qubits; DimensionOverflow for n >= 64.
  [[nodiscard]] static Result<SystemDescription> from_qubits(std::uint64_t n);
  // One subsystem per entry; the first entry below 2 gives InvalidDimension, then the product
  // is formed in list order and an overflow gives DimensionOverflow.
  [[nodiscard]] static Result<SystemDescription> from_dims(std::span<const std::uint64_t> dims);

  [[nodiscard]] std::uint64_t n_subsystems() const { return subsystems_.size(); }
  [[nodiscard]] std::vector<std::uint64_t> dims() const;
  // The index check used system-wide: SubsystemOutOfRange(index, n_subsystems()).
  [[nodiscard]] Result<std::uint64_t> dim(std::uint64_t index) const;
  [[nodiscard]] std::uint64_t total_dim() const { return total_dim_; }
  [[nodiscard]] bool all_qubits() const;

  [[nodiscard]] const std::vector<Subsystem>& subsystems() const { return subsystems_; }
  [[nodiscard]] const std::vector<Register>& registers() const { return registers_; }

  bool operator==(const SystemDescription&) const = default;

 private:
  SystemDescription(std::vector<Subsystem> subsystems, std::uint64_t total_dim)
      : subsystems_(std::move(subsystems)), total_dim_(total_dim) {}

  std::vector<Subsystem> subsystems_;
  std::vector<Register> registers_;
  std::uint64_t total_dim_ = 1;
};

}  // namespace telm
