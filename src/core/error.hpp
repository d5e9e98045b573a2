#pragma once

#include <cstdint>
#include <string>
#include <variant>

namespace telm {

// The single error type of the library. Each alternative carries the numbers or text that
// explain it; message() renders the one line of English (UTF-8) that Python users see.
namespace errors {

// "invalid subsystem dimension {dim}: must be ≥ 2"
struct InvalidDimension {
  std::uint64_t dim;
  bool operator==(const InvalidDimension&) const = default;
};
// "subsystem index {index} out of range (system has {count} subsystems)"
struct SubsystemOutOfRange {
  std::uint64_t index;
  std::uint64_t count;
  bool operator==(const SubsystemOutOfRange&) const = default;
};
// "total Hilbert space dimension overflows usize"
struct DimensionOverflow {
  bool operator==(const DimensionOverflow&) const = default;
};
// "operator matrix size {matrix_dim}×{matrix_dim} is incompatible with target subspace dimension {subspace_dim}"
struct DimensionMismatch {
  std::uint64_t matrix_dim;
  std::uint64_t subspace_dim;
  bool operator==(const DimensionMismatch&) const = default;
};
// "operator targets {given} subsystem(s) but was defined for {expected}"
struct TargetCountMismatch {
  std::uint64_t expected;
  std::uint64_t given;
  bool operator==(const TargetCountMismatch&) const = default;
};
// "parameter index {index} out of range (parameter vector length: {length})"
struct ParameterIndexOutOfRange {
  std::uint64_t index;
  std::uint64_t length;
  bool operator==(const ParameterIndexOutOfRange&) const = default;
};
// "gate requires {required} parameter(s) but {supplied} were supplied"
struct ParameterCountMismatch {
  std::uint64_t required;
  std::uint64_t supplied;
  bool operator==(const ParameterCountMismatch&) const = default;
};
// "circuit instruction references subsystem {subsystem}, which does not exist in the system (has {count} subsystems)"
struct InstructionSubsystemOutOfRange {
  std::uint64_t subsystem;
  std::uint64_t count;
  bool operator==(const InstructionSubsystemOutOfRange&) const = default;
};
// "backend does not support channel application (use DensityMatrix backend)"
struct ChannelsUnsupported {
  bool operator==(const ChannelsUnsupported&) const = default;
};
// "output slot '{label}' is already occupied by a previous measurement"
struct OutputSlotOccupied {
  std::string label;
  bool operator==(const OutputSlotOccupied&) const = default;
};
// "not yet implemented: {detail}": the catch-all for unsupported operations or inputs.
struct NotImplemented {
  std::string detail;
  bool operator==(const NotImplemented&) const = default;
};

}  // namespace errors

enum class ErrorKind {
  InvalidDimension,
  SubsystemOutOfRange,
  DimensionOverflow,
  DimensionMismatch,
  TargetCountMismatch,
  ParameterIndexOutOfRange,
  ParameterCountMismatch,
  InstructionSubsystemOutOfRange,
  ChannelsUnsupported,
  OutputSlotOccupied,
  NotImplemented,
};

class TelmError {
 public:
  // Alternatives in the order of ErrorKind, so index() is the kind.
  using Value = std::variant<errors::InvalidDimension, errors::SubsystemOutOfRange, errors::DimensionOverflow,
                             errors::DimensionMismatch, errors::TargetCountMismatch,
                             errors::ParameterIndexOutOfRange, errors::ParameterCountMismatch,
                             errors::InstructionSubsystemOutOfRange, errors::ChannelsUnsupported,
                             errors::OutputSlotOccupied, errors::NotImplemented>;

  template <class Alternative>
    requires std::is_constructible_v<Value, Alternative>
  TelmError(Alternative alternative) : value_(std::move(alternative)) {}  // NOLINT: implicit by design

  [[nodiscard]] ErrorKind kind() const { return static_cast<ErrorKind>(value_.index()); }
  [[nodiscard]] const Value& value() const { return value_; }
  template <class Alternative>
  [[nodiscard]] const Alternative* as() const { return std::get_if<Alternative>(&value_); }

  // The display text: exactly what reaches Python as the exception message.
  [[nodiscard]] std::string message() const;

  friend bool operator==(const TelmError&, const TelmError&) = default;

 private:
  Value value_;
};

}  // namespace telm
