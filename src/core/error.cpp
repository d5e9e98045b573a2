#include "core/error.hpp"

#include <type_traits>

namespace telm {
namespace {

std::string num(std::uint64_t value) { return std::to_string(value); }

}  // namespace

std::string TelmError::message() const {
  using namespace errors;
  return std::visit(
      [](const auto& e) -> std::string {
        using E = std::decay_t<decltype(e)>;
        if constexpr (std::is_same_v<E, InvalidDimension>) {
          return "invalid subsystem dimension " + num(e.dim) + ": must be \u2265 2";
        } else if constexpr (std::is_same_v<E, SubsystemOutOfRange>) {
          return "subsystem index " + num(e.index) + " out of range (system has " + num(e.count) + " subsystems)";
        } else if constexpr (std::is_same_v<E, DimensionOverflow>) {
          return "total Hilbert space dimension overflows usize";
        } else if constexpr (std::is_same_v<E, DimensionMismatch>) {
          return "operator matrix size " + num(e.matrix_dim) + "\u00d7" + num(e.matrix_dim) +
                 " is incompatible with target subspace dimension " + num(e.subspace_dim);
        } else if constexpr (std::is_same_v<E, TargetCountMismatch>) {
          return "operator targets " + num(e.given) + " subsystem(s) but was defined for " + num(e.expected);
        } else if constexpr (std::is_same_v<E, ParameterIndexOutOfRange>) {
          return "parameter index " + num(e.index) + " out of range (parameter vector length: " + num(e.length) + ")";
        } else if constexpr (std::is_same_v<E, ParameterCountMismatch>) {
          return "gate requires " + num(e.required) + " parameter(s) but " + num(e.supplied) + " were supplied";
        } else if constexpr (std::is_same_v<E, InstructionSubsystemOutOfRange>) {
          return "circuit instruction references subsystem " + num(e.subsystem) +
                 ", which does not exist in the system (has " + num(e.count) + " subsystems)";
        } else if constexpr (std::is_same_v<E, ChannelsUnsupported>) {
          return "backend does not support channel application (use DensityMatrix backend)";
        } else if constexpr (std::is_same_v<E, OutputSlotOccupied>) {
          return "output slot '" + e.label + "' is already occupied by a previous measurement";
        } else {
          static_assert(std::is_same_v<E, NotImplemented>);
          return "not yet implemented: " + e.detail;
        }
      },
      value_);
}

}  // namespace telm
