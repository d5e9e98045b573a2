#include "core/tensor.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <new>
#include <optional>
#include <string>
#include <utility>

#include "core/dense.hpp"
#include "core/invariant.hpp"

namespace telm {
namespace {

using Eigen::Index;
using Element = SiteTensor::Element;
using ColMatrix = Eigen::MatrixXcd;
constexpr std::uint64_t kU64Max = std::numeric_limits<std::uint64_t>::max();

// Largest element count we ever try to hold in one vector.
constexpr std::uint64_t kMaxElements = static_cast<std::uint64_t>(PTRDIFF_MAX) / sizeof(Element);

Index as_index(std::uint64_t n) { return static_cast<Index>(n); }

// Nothing when a flat list of `length` entries is a square matrix of side `expected`; otherwise
// the mismatch, naming the side that was found.
std::optional<errors::DimensionMismatch> matrix_side_mismatch(std::size_t length, std::uint64_t expected) {
  const double root = std::sqrt(static_cast<double>(length));
  std::uint64_t side = 0;
  if (std::isnan(root)) {
    side = 0;
  } else if (root >= 18446744073709551616.0) {
    side = kU64Max;
  } else {
    side = static_cast<std::uint64_t>(root);
  }
  const bool square = side <= 0xFFFFFFFFull && side * side == length;
  if (!square || side != expected) return errors::DimensionMismatch{side, expected};
  return std::nullopt;
}

// out[l][t][r] = sum over s of gate[t][s] * in[l][s][r], for data laid out as left × dim × right.
// Written out on the real and imaginary parts: the gates are tiny (dim 2 or 4), where a general
// matrix product per block costs more in set-up than in arithmetic.
void apply_to_middle_index(const Element* in, Element* out, std::uint64_t left, std::uint64_t dim,
                           std::uint64_t right, std::span<const Element> gate) {
  const std::uint64_t block = dim * right;
  for (std::uint64_t l = 0; l < left; ++l) {
    for (std::uint64_t t = 0; t < dim; ++t) {
      double* target = reinterpret_cast<double*>(out + l * block + t * right);
      for (std::uint64_t r = 0; r < 2 * right; ++r) target[r] = 0.0;
      for (std::uint64_t s = 0; s < dim; ++s) {
        const double g_re = gate[t * dim + s].real();
        const double g_im = gate[t * dim + s].imag();
        const double* source = reinterpret_cast<const double*>(in + l * block + s * right);
        for (std::uint64_t r = 0; r < 2 * right; r += 2) {
          const double x_re = source[r];
          const double x_im = source[r + 1];
          target[r] += g_re * x_re - g_im * x_im;
          target[r + 1] += g_re * x_im + g_im * x_re;
        }
      }
    }
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// SiteTensor

SiteTensor SiteTensor::zero_state(std::uint64_t left_dim, std::uint64_t phys_dim, std::uint64_t right_dim) {
  TELM_EXPECT(left_dim >= 1 && phys_dim >= 1 && right_dim >= 1, SiteTensor{});
  TELM_EXPECT(phys_dim <= kMaxElements / left_dim && right_dim <= kMaxElements / (left_dim * phys_dim),
              SiteTensor{});
  SiteTensor t;
  t.left_dim = left_dim;
  t.phys_dim = phys_dim;
  t.right_dim = right_dim;
  t.data.assign(left_dim * phys_dim * right_dim, Element(0.0, 0.0));
  t.data[0] = Element(1.0, 0.0);
  return t;
}

SiteTensor SiteTensor::from_left_matrix(const Eigen::Ref<const RowMatrix>& matrix, std::uint64_t phys_dim) {
  const auto rows = static_cast<std::uint64_t>(matrix.rows());
  TELM_EXPECT(phys_dim != 0 && rows % phys_dim == 0, SiteTensor{});
  SiteTensor t;
  t.left_dim = rows / phys_dim;
  t.phys_dim = phys_dim;
  t.right_dim = static_cast<std::uint64_t>(matrix.cols());
  t.data.resize(static_cast<std::size_t>(matrix.size()));
  Eigen::Map<RowMatrix>(t.data.data(), matrix.rows(), matrix.cols()) = matrix;
  return t;
}

SiteTensor SiteTensor::from_right_matrix(const Eigen::Ref<const RowMatrix>& matrix, std::uint64_t phys_dim) {
  const auto cols = static_cast<std::uint64_t>(matrix.cols());
  TELM_EXPECT(phys_dim != 0 && cols % phys_dim == 0, SiteTensor{});
  SiteTensor t;
  t.left_dim = static_cast<std::uint64_t>(matrix.rows());
  t.phys_dim = phys_dim;
  t.right_dim = cols / phys_dim;
  t.data.resize(static_cast<std::size_t>(matrix.size()));
  Eigen::Map<RowMatrix>(t.data.data(), matrix.rows(), matrix.cols()) = matrix;
  return t;
}

SiteTensor::RowMap SiteTensor::left_view() const {
  return RowMap(data.data(), as_index(left_dim * phys_dim), as_index(right_dim));
}

SiteTensor::RowMap SiteTensor::right_view() const {
  return RowMap(data.data(), as_index(left_dim), as_index(phys_dim * right_dim));
}

SiteTensor::SliceMap SiteTensor::slice_view(std::uint64_t s) const {
  return SliceMap(data.data() + s * right_dim, as_index(left_dim), as_index(right_dim),
                  Eigen::OuterStride<>(as_index(phys_dim * right_dim)));
}

// ---------------------------------------------------------------------------------------------
// Mps: creation, arena, norm

Result<Mps> Mps::zero_state(std::vector<std::uint64_t> phys_dims, const MpsConfig& config) {
  if (phys_dims.empty()) return fail(errors::NotImplemented{"zero-site MPS"});
  const std::uint64_t n = phys_dims.size();
  std::uint64_t total = 0;
  for (const std::uint64_t d : phys_dims) {
    TELM_EXPECT(d >= 1, fail(errors::NotImplemented{"MPS site of physical dimension 0"}));
    if (d > kMaxElements - total) {
      total = kU64Max;
      break;
    }
    total += d;
  }
  if (n > kMaxSites || total > kMaxElements) {
    return fail(errors::NotImplemented{"MPS of " + std::to_string(n) + " sites is too large to store"});
  }

  Mps mps;
  mps.tensors_.reserve(n);
  mps.slots_.reserve(n);
  mps.arena_.reserve(total);
  for (const std::uint64_t d : phys_dims) {
    mps.tensors_.push_back(SiteTensor::zero_state(1, d, 1));
    const SiteTensor& t = mps.tensors_.back();
    mps.slots_.push_back(ArenaSlot{mps.arena_.size(), t.data.size(), t.data.size()});
    mps.arena_.insert(mps.arena_.end(), t.data.begin(), t.data.end());
  }
  mps.phys_dims_ = std::move(phys_dims);
  mps.config_ = config;
  mps.n_sites_ = n;
  mps.abandoned_ = 0;
  mps.compaction_threshold_ = 0.3;
  mps.center_ = 0;
  return mps;
}

std::uint64_t Mps::growth_needed(std::uint64_t site, const SiteTensor& t) const {
  return t.data.size() > slots_[site].capacity ? t.data.size() : 0;
}

void Mps::update_arena_slot_from_tensor(std::uint64_t site) {
  TELM_EXPECT(site < n_sites_, );
  const std::vector<Element>& data = tensors_[site].data;
  ArenaSlot& slot = slots_[site];
  TELM_EXPECT(slot.offset <= arena_.size() && slot.capacity <= arena_.size() - slot.offset, );
  if (data.size() > slot.capacity) {
    abandoned_ += slot.capacity;
    slot.offset = arena_.size();
    slot.len = data.size();
    slot.capacity = data.size();
    arena_.insert(arena_.end(), data.begin(), data.end());
  } else {
    std::copy(data.begin(), data.end(), arena_.begin() + static_cast<std::ptrdiff_t>(slot.offset));
    slot.len = data.size();
  }
}

double Mps::waste_ratio() const {
  if (arena_.empty()) return 0.0;
  std::uint64_t slack = 0;
  for (const ArenaSlot& slot : slots_) slack += slot.capacity - slot.len;
  return static_cast<double>(slack + abandoned_) / static_cast<double>(arena_.size());
}

void Mps::maybe_compact_arena() {
  if (!(waste_ratio() > compaction_threshold_)) return;
  std::uint64_t live = 0;
  for (const ArenaSlot& slot : slots_) live += slot.len;
  std::vector<Element> packed;
  try {
    packed.reserve(live);
  } catch (const std::bad_alloc&) {
    return;  // compaction only saves space; without room for the copy the old arena stays valid
  }
  for (ArenaSlot& slot : slots_) {
    const auto first = arena_.begin() + static_cast<std::ptrdiff_t>(slot.offset);
    const std::uint64_t offset = packed.size();
    packed.insert(packed.end(), first, first + static_cast<std::ptrdiff_t>(slot.len));
    slot.offset = offset;
    slot.capacity = slot.len;
  }
  arena_ = std::move(packed);
  abandoned_ = 0;
}

void Mps::reserve_arena_for(std::uint64_t growth) {
  const std::size_t needed = arena_.size() + growth;
  if (needed > arena_.capacity()) arena_.reserve(std::max(needed, 2 * arena_.capacity()));
}

void Mps::install(std::uint64_t site, SiteTensor&& tensor) {
  tensors_[site] = std::move(tensor);
  update_arena_slot_from_tensor(site);
}

void Mps::replace_pair(std::uint64_t first, SiteTensor&& a, std::uint64_t second, SiteTensor&& b) {
  reserve_arena_for(growth_needed(first, a) + growth_needed(second, b));
  install(first, std::move(a));
  install(second, std::move(b));
}

double Mps::norm_sq() const {
  RowMatrix env = RowMatrix::Ones(1, 1);
  RowMatrix next;
  RowMatrix env_times_slice;
  for (const SiteTensor& t : tensors_) {
    next.setZero(as_index(t.right_dim), as_index(t.right_dim));
    for (std::uint64_t s = 0; s < t.phys_dim; ++s) {
      const SiteTensor::SliceMap slice = t.slice_view(s);
      env_times_slice.noalias() = env * slice;
      next.noalias() += slice.adjoint() * env_times_slice;
    }
    std::swap(env, next);
  }
  return env(0, 0).real();
}

std::uint64_t Mps::max_bond_dim() const {
  std::uint64_t largest = 1;
  for (const SiteTensor& t : tensors_) largest = std::max({largest, t.left_dim, t.right_dim});
  return largest;
}

// ---------------------------------------------------------------------------------------------
// Gates

Status Mps::apply_single_site_gate(std::uint64_t site, std::span<const Element> matrix) {
  if (site >= n_sites_) return fail(errors::SubsystemOutOfRange{site, n_sites_});
  const std::uint64_t d = phys_dims_[site];
  if (const auto mismatch = matrix_side_mismatch(matrix.size(), d)) return fail(*mismatch);

  const SiteTensor& old = tensors_[site];
  SiteTensor updated;
  updated.left_dim = old.left_dim;
  updated.phys_dim = old.phys_dim;
  updated.right_dim = old.right_dim;
  updated.data.resize(old.data.size());
  apply_to_middle_index(old.data.data(), updated.data.data(), old.left_dim, d, old.right_dim, matrix);

  reserve_arena_for(growth_needed(site, updated));
  install(site, std::move(updated));
  maybe_compact_arena();
  return {};
}

void Mps::move_center_right_from(std::uint64_t c) {
  const SiteTensor& here = tensors_[c];
  const SiteTensor& next = tensors_[c + 1];
  const Index bond = as_index(here.right_dim);
  ColMatrix q = here.left_view();  // column-major copy of the left matrix
  ColMatrix r;
  dense::thin_qr(q, r);
  const Index k = r.rows();
  // carried = r · (right matrix of c + 1), row-major: as column-major it is next^T · r^T.
  const Index next_cols = as_index(next.phys_dim * next.right_dim);
  RowMatrix carried(k, next_cols);
  dense::gemm(dense::Op::None, dense::Op::Transpose, next_cols, k, bond, next.data.data(), next_cols, r.data(), k,
              carried.data(), next_cols);
  replace_pair(c, SiteTensor::from_left_matrix(q, phys_dims_[c]), c + 1,
               SiteTensor::from_right_matrix(carried, phys_dims_[c + 1]));
  maybe_compact_arena();
}

void Mps::move_center_left_from(std::uint64_t c) {
  const SiteTensor& here = tensors_[c];
  const SiteTensor& before = tensors_[c - 1];
  const Index cols = as_index(here.phys_dim * here.right_dim);
  const Index bond = as_index(here.left_dim);
  // The row-major right matrix read column-major is its plain transpose.
  ColMatrix q = Eigen::Map<const ColMatrix>(here.data.data(), cols, bond);
  ColMatrix r;
  dense::thin_qr(q, r);
  const Index k = r.rows();
  // Q column-major is Q^T row-major: the orthonormal rows of the new right matrix.
  const Eigen::Map<const RowMatrix> q_transposed(q.data(), k, cols);
  // carried = (left matrix of c - 1) · r^T, row-major: as column-major it is r · before^T.
  const Index before_rows = as_index(before.left_dim * before.phys_dim);
  RowMatrix carried(before_rows, k);
  dense::gemm(dense::Op::None, dense::Op::None, k, before_rows, bond, r.data(), k, before.data.data(), bond,
              carried.data(), k);
  replace_pair(c, SiteTensor::from_right_matrix(q_transposed, phys_dims_[c]), c - 1,
               SiteTensor::from_left_matrix(carried, phys_dims_[c - 1]));
  maybe_compact_arena();
}

void Mps::move_center_to(std::uint64_t site) {
  while (center_ < site) {
    move_center_right_from(center_);
    ++center_;
  }
  while (center_ > site) {
    move_center_left_from(center_);
    --center_;
  }
}

Status Mps::apply_two_site_gate(std::uint64_t site, std::span<const Element> matrix) {
  if (site == kU64Max) return fail(errors::SubsystemOutOfRange{site, n_sites_});
  if (site + 1 >= n_sites_) return fail(errors::SubsystemOutOfRange{site + 1, n_sites_});
  move_center_to(site);

  const std::uint64_t d1 = phys_dims_[site];
  const std::uint64_t d2 = phys_dims_[site + 1];
  const std::uint64_t dim = d1 * d2;
  if (const auto mismatch = matrix_side_mismatch(matrix.size(), dim)) return fail(*mismatch);

  const SiteTensor& left_site = tensors_[site];
  const SiteTensor& right_site = tensors_[site + 1];
  const std::uint64_t left = left_site.left_dim;
  const std::uint64_t right = right_site.right_dim;
  const std::uint64_t rows = left * d1;
  const std::uint64_t cols = d2 * right;

  // theta[l*d1 + s1][s2*right + r] is, in memory, a left × (d1*d2) × right tensor whose middle
  // index s1*d2 + s2 is exactly the gate's index: the gate acts on it block by block.
  // theta = L · R row-major, i.e. column-major theta^T = R^T · L^T.
  const Index mid = as_index(left_site.right_dim);
  RowMatrix theta(as_index(rows), as_index(cols));
  dense::gemm(dense::Op::None, dense::Op::None, as_index(cols), as_index(rows), mid, right_site.data.data(),
              as_index(cols), left_site.data.data(), mid, theta.data(), as_index(cols));
  RowMatrix gated(as_index(rows), as_index(cols));
  apply_to_middle_index(theta.data(), gated.data(), left, dim, right, matrix);

  SvdResult svd;
  if (rows < config_.randomized_svd_min_rows) {
    svd = thin_svd(std::move(gated));
  } else {
    const std::uint64_t rank = std::max<std::uint64_t>(1, std::min({rows, cols, config_.chi_max}));
    const std::uint64_t seed = (site << 32) ^ (d1 << 16) ^ left ^ right;
    svd = randomized_svd(gated, rank, config_.randomized_svd_oversampling, seed);
  }

  // Absolute cut; a not-a-number value stops the count like any value not above the threshold.
  const auto n_values = static_cast<std::uint64_t>(svd.s.size());
  std::uint64_t keep = 0;
  while (keep < n_values && svd.s[as_index(keep)] > config_.singular_value_eps) ++keep;
  keep = std::max<std::uint64_t>(std::min(keep, config_.chi_max), 1);
  TELM_EXPECT(keep <= n_values, fail(errors::NotImplemented{"empty singular value decomposition"}));

  RowMatrix weighted = svd.vh.topRows(as_index(keep));
  for (Index i = 0; i < as_index(keep); ++i) weighted.row(i) *= svd.s[i];
  replace_pair(site, SiteTensor::from_left_matrix(svd.u.leftCols(as_index(keep)), d1), site + 1,
               SiteTensor::from_right_matrix(weighted, d2));
  maybe_compact_arena();
  center_ = site + 1;
  return {};
}

}  // namespace telm
