#include "core/system_description.hpp"

#include <algorithm>

namespace telm {

Result<SystemDescription> SystemDescription::from_qubits(std::uint64_t n) {
  if (n >= 64) return fail(errors::DimensionOverflow{});
  return SystemDescription(std::vector<Subsystem>(n, Subsystem{std::nullopt, 2}), std::uint64_t{1} << n);
}

Result<SystemDescription> SystemDescription::from_dims(std::span<const std::uint64_t> dims) {
  for (std::uint64_t d : dims) {
    if (d < 2) return fail(errors::InvalidDimension{d});
  }
  std::uint64_t total = 1;
  for (std::uint64_t d : dims) {
    if (__builtin_mul_overflow(total, d, &total)) return fail(errors::DimensionOverflow{});
  }
  std::vector<Subsystem> subsystems;
  subsystems.reserve(dims.size());
  for (std::uint64_t d : dims) subsystems.push_back(Subsystem{std::nullopt, d});
  return SystemDescription(std::move(subsystems), total);
}

std::vector<std::uint64_t> SystemDescription::dims() const {
  std::vector<std::uint64_t> out;
  out.reserve(subsystems_.size());
  for (const Subsystem& s : subsystems_) out.push_back(s.dim);
  return out;
}

Result<std::uint64_t> SystemDescription::dim(std::uint64_t index) const {
  if (index >= subsystems_.size()) return fail(errors::SubsystemOutOfRange{index, subsystems_.size()});
  return subsystems_[index].dim;
}

bool SystemDescription::all_qubits() const {
  return std::ranges::all_of(subsystems_, [](const Subsystem& s) { return s.dim == 2; });
}

}  // namespace telm
