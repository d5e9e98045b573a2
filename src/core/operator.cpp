#include "core/operator.hpp"

#include "core/invariant.hpp"

namespace telm {

ComplexMatrix ComplexMatrix::zeros(std::uint64_t dim) {
  ComplexMatrix m;
  m.data.assign(dim * dim, Complex{});
  m.dim = dim;
  return m;
}

Complex ComplexMatrix::get(std::uint64_t r, std::uint64_t c) const {
  const std::uint64_t position = r * dim + c;
  TELM_EXPECT(position < data.size(), Complex{});
  return data[position];
}

void ComplexMatrix::set(std::uint64_t r, std::uint64_t c, Complex value) {
  const std::uint64_t position = r * dim + c;
  TELM_EXPECT(position < data.size(), );
  data[position] = value;
}

std::span<const std::uint64_t> ParamSpec::indices() const {
  if (!indices_) return {};
  return *indices_;
}

Result<std::vector<double>> ParamSpec::resolve(std::span<const double> run_params) const {
  std::vector<double> local;
  if (!indices_) return local;
  local.reserve(indices_->size());
  for (std::uint64_t index : *indices_) {
    if (index >= run_params.size()) return fail(errors::ParameterIndexOutOfRange{index, run_params.size()});
    local.push_back(run_params[index]);
  }
  return local;
}

Result<std::uint64_t> Operator::subspace_dim(const SystemDescription& system,
                                             std::span<const std::uint64_t> targets) const {
  std::uint64_t product = 1;
  for (std::uint64_t target : targets) {
    const Result<std::uint64_t> dim = system.dim(target);
    if (!dim) return fail(dim.error());
    product *= *dim;
  }
  return product;
}

}  // namespace telm
