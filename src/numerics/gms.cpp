#include "numerics/gms.hpp"

#include <cstdio>

#include "core/invariant.hpp"

namespace telm {
namespace {

bool violation(const char* message) {
  note_invariant_violation(message);
  return false;
}

// Checks the caller's promises before any amplitude is touched; on success `block_dim` is the
// product of the target dimensions.
bool check_preconditions(const ComplexBuffer& buffer, std::span<const std::uint64_t> dims,
                         std::span<const std::uint64_t> targets, std::span<const Complex> matrix,
                         std::uint64_t& block_dim) {
  if (targets.empty()) return violation("targets must be non-empty");
  for (std::size_t i = 1; i < targets.size(); ++i) {
    if (targets[i] <= targets[i - 1]) return violation("targets must be sorted and unique");
  }
  if (targets.back() >= dims.size()) return violation("target index out of range");

  // A state of 2^64 or more amplitudes cannot exist, so neither can more subsystems than 64.
  if (dims.size() > 64) return violation("buffer length must equal the product of dims");
  std::uint64_t total = 1;
  for (std::uint64_t dim : dims) {
    if (dim != 0 && total > buffer.len() / dim) return violation("buffer length must equal the product of dims");
    total *= dim;
  }
  if (total != buffer.len()) return violation("buffer length must equal the product of dims");

  // Targets are distinct and in range, so this product divides the total and cannot overflow.
  block_dim = 1;
  for (std::uint64_t target : targets) block_dim *= dims[target];
  if (block_dim > MAX_SUBSPACE_DIM) {
    thread_local char message[96];
    std::snprintf(message, sizeof message, "subspace dimension %llu exceeds MAX_SUBSPACE_DIM (%llu)",
                  static_cast<unsigned long long>(block_dim), static_cast<unsigned long long>(MAX_SUBSPACE_DIM));
    return violation(message);
  }
  if (matrix.size() < block_dim * block_dim) return violation("matrix must hold block_dim squared entries");
  return true;
}

// Distance between consecutive states of `subsystem`: the product of the later dimensions.
std::uint64_t stride_of(std::span<const std::uint64_t> dims, std::uint64_t subsystem) {
  std::uint64_t stride = 1;
  for (std::size_t i = subsystem + 1; i < dims.size(); ++i) stride *= dims[i];
  return stride;
}

void run_generic(ComplexBuffer& buffer, const GatherScatterPlan& plan, std::span<const Complex> matrix) {
  double gathered_re[MAX_SUBSPACE_DIM] = {};
  double gathered_im[MAX_SUBSPACE_DIM] = {};
  double result_re[MAX_SUBSPACE_DIM] = {};
  double result_im[MAX_SUBSPACE_DIM] = {};
  const std::uint64_t d = plan.block_dim;
  const std::uint64_t* offsets = plan.block_offsets.data();
  const Complex* m = matrix.data();
  double* re = buffer.re();
  double* im = buffer.im();

  plan.for_each_base([&](std::uint64_t base) {
    for (std::uint64_t k = 0; k < d; ++k) {
      gathered_re[k] = re[base + offsets[k]];
      gathered_im[k] = im[base + offsets[k]];
    }
    for (std::uint64_t r = 0; r < d; ++r) {
      double sum_re = 0.0;
      double sum_im = 0.0;
      for (std::uint64_t c = 0; c < d; ++c) {
        const Complex entry = m[r * d + c];
        sum_re = sum_re + (entry.re * gathered_re[c] - entry.im * gathered_im[c]);
        sum_im = sum_im + (entry.re * gathered_im[c] + entry.im * gathered_re[c]);
      }
      result_re[r] = sum_re;
      result_im[r] = sum_im;
    }
    for (std::uint64_t k = 0; k < d; ++k) {
      re[base + offsets[k]] = result_re[k];
      im[base + offsets[k]] = result_im[k];
    }
  });
}

// ---------------------------------------------------------------------------------------------
// Dedicated loops for one and two targets of dimension 2. They walk the blocks directly instead
// of through offset lists, so the innermost loop runs over contiguous amplitudes and vectorises.
//
// They compute what the generic loop computes: each row starts at 0.0 and adds the column terms
// (m_re x_re - m_im x_im, m_re x_im + m_im x_re) in ascending column order. Where the matrix has
// exact zeros the corresponding products are left out, which for finite amplitudes changes no
// bit of the result:
//  - a product with a zero factor is a signed zero, and subtracting or adding a signed zero to a
//    non-zero value gives that value exactly, so a term m_re x_re - 0 x_im is m_re x_re unless
//    that is itself zero;
//  - a term that is a signed zero leaves the running sum unchanged: the sum starts at +0.0 and
//    under round-to-nearest is never -0.0 (x + y is -0.0 only when both are -0.0), and
//    s + (+-0.0) = s for every s other than -0.0.
// So real matrices (H, RY, CNOT, CZ, ...) drop the imaginary-part products, RX-shaped matrices
// (real diagonal, imaginary off-diagonal) drop the zero parts, and matrices with at most one
// non-zero entry per row (X, Z, RZ, CNOT, CZ, SWAP, RZZ, ...) keep only that entry's term.
// ---------------------------------------------------------------------------------------------

// Which parts of a matrix entry may be non-zero.
enum class Part { Complex, Real, Imaginary };

template <Part P>
[[gnu::always_inline]] inline double term_re(double mr, double mi, double xr, double xi) {
  if constexpr (P == Part::Complex) return mr * xr - mi * xi;
  if constexpr (P == Part::Real) return mr * xr;
  if constexpr (P == Part::Imaginary) return -(mi * xi);
}

template <Part P>
[[gnu::always_inline]] inline double term_im(double mr, double mi, double xr, double xi) {
  if constexpr (P == Part::Complex) return mr * xi + mi * xr;
  if constexpr (P == Part::Real) return mr * xi;
  if constexpr (P == Part::Imaginary) return mi * xr;
}

bool all_real(const Complex* m, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    if (m[i].im != 0.0) return false;
  }
  return true;
}

// Calls step(i0, i1) for every pair of amplitudes that differ only in a dimension-2 target with
// stride `s` (i1 = i0 + s).
template <class Step>
[[gnu::always_inline]] inline void for_each_pair(std::uint64_t total, std::uint64_t s, Step step) {
  if (s == 1) {
#pragma GCC ivdep
    for (std::uint64_t i = 0; i < total; i += 2) step(i, i + 1);
    return;
  }
  for (std::uint64_t h = 0; h < total; h += 2 * s) {
#pragma GCC ivdep
    for (std::uint64_t i = h; i < h + s; ++i) step(i, i + s);
  }
}

// Calls step(base) for every block of two dimension-2 targets with strides high > low; the block
// is (base, base + low, base + high, base + high + low).
template <class Step>
[[gnu::always_inline]] inline void for_each_quad(std::uint64_t total, std::uint64_t high, std::uint64_t low,
                                                 Step step) {
  if (low == 1 && high == 2) {
#pragma GCC ivdep
    for (std::uint64_t b = 0; b < total; b += 4) step(b);
    return;
  }
  if (low == 1) {
    for (std::uint64_t h = 0; h < total; h += 2 * high) {
#pragma GCC ivdep
      for (std::uint64_t b = h; b < h + high; b += 2) step(b);
    }
    return;
  }
  for (std::uint64_t h = 0; h < total; h += 2 * high) {
    for (std::uint64_t m = h; m < h + high; m += 2 * low) {
#pragma GCC ivdep
      for (std::uint64_t b = m; b < m + low; ++b) step(b);
    }
  }
}

// For each row, the one column that may hold a non-zero entry; false if some row has two.
template <std::size_t D>
bool single_entry_rows(const Complex* m, std::uint64_t (&column)[D]) {
  for (std::size_t r = 0; r < D; ++r) {
    column[r] = r;  // an all-zero row keeps its (zero) diagonal entry
    int nonzero = 0;
    for (std::size_t c = 0; c < D; ++c) {
      if (m[r * D + c].re != 0.0 || m[r * D + c].im != 0.0) {
        column[r] = c;
        ++nonzero;
      }
    }
    if (nonzero > 1) return false;
  }
  return true;
}

// Rows (0, 1) of [[m00, m01], [m10, m11]]; Diagonal and Off give the parts of m00, m11 and of
// m01, m10 that may be non-zero.
template <Part Diagonal, Part Off>
void dense_one_qubit(double* __restrict re, double* __restrict im, std::uint64_t total, std::uint64_t s,
                     const Complex* m) {
  const double m00r = m[0].re, m00i = m[0].im, m01r = m[1].re, m01i = m[1].im;
  const double m10r = m[2].re, m10i = m[2].im, m11r = m[3].re, m11i = m[3].im;
  for_each_pair(total, s, [=](std::uint64_t i0, std::uint64_t i1) {
    const double x0r = re[i0], x0i = im[i0], x1r = re[i1], x1i = im[i1];
    re[i0] = (0.0 + term_re<Diagonal>(m00r, m00i, x0r, x0i)) + term_re<Off>(m01r, m01i, x1r, x1i);
    im[i0] = (0.0 + term_im<Diagonal>(m00r, m00i, x0r, x0i)) + term_im<Off>(m01r, m01i, x1r, x1i);
    re[i1] = (0.0 + term_re<Off>(m10r, m10i, x0r, x0i)) + term_re<Diagonal>(m11r, m11i, x1r, x1i);
    im[i1] = (0.0 + term_im<Off>(m10r, m10i, x0r, x0i)) + term_im<Diagonal>(m11r, m11i, x1r, x1i);
  });
}

// Row r takes its one entry from column column[r].
template <Part P>
void single_entry_one_qubit(double* __restrict re, double* __restrict im, std::uint64_t total, std::uint64_t s,
                            const Complex* m, const std::uint64_t (&column)[2]) {
  const double ar = m[column[0]].re, ai = m[column[0]].im;
  const double br = m[2 + column[1]].re, bi = m[2 + column[1]].im;
  const std::uint64_t src0 = column[0] * s, src1 = column[1] * s;
  for_each_pair(total, s, [=](std::uint64_t i0, std::uint64_t i1) {
    const double ur = re[i0 + src0], ui = im[i0 + src0];
    const double vr = re[i0 + src1], vi = im[i0 + src1];
    re[i0] = 0.0 + term_re<P>(ar, ai, ur, ui);
    im[i0] = 0.0 + term_im<P>(ar, ai, ur, ui);
    re[i1] = 0.0 + term_re<P>(br, bi, vr, vi);
    im[i1] = 0.0 + term_im<P>(br, bi, vr, vi);
  });
}

void apply_one_qubit(double* re, double* im, std::uint64_t total, std::uint64_t s, const Complex* m) {
  const bool real = all_real(m, 4);
  std::uint64_t column[2];
  if (single_entry_rows<2>(m, column)) {
    if (real) return single_entry_one_qubit<Part::Real>(re, im, total, s, m, column);
    return single_entry_one_qubit<Part::Complex>(re, im, total, s, m, column);
  }
  if (real) return dense_one_qubit<Part::Real, Part::Real>(re, im, total, s, m);
  const bool rx_shaped = m[0].im == 0.0 && m[3].im == 0.0 && m[1].re == 0.0 && m[2].re == 0.0;
  if (rx_shaped) return dense_one_qubit<Part::Real, Part::Imaginary>(re, im, total, s, m);
  return dense_one_qubit<Part::Complex, Part::Complex>(re, im, total, s, m);
}

template <Part P>
void dense_two_qubit(double* __restrict re, double* __restrict im, std::uint64_t total, std::uint64_t high,
                     std::uint64_t low, const Complex* m) {
  double mr[16], mi[16];
  for (int k = 0; k < 16; ++k) {
    mr[k] = m[k].re;
    mi[k] = m[k].im;
  }
  const std::uint64_t o1 = low, o2 = high, o3 = high + low;
  for_each_quad(total, high, low, [&, re, im](std::uint64_t b) {
    const double xr[4] = {re[b], re[b + o1], re[b + o2], re[b + o3]};
    const double xi[4] = {im[b], im[b + o1], im[b + o2], im[b + o3]};
    double yr[4], yi[4];
    for (int r = 0; r < 4; ++r) {
      double sr = 0.0;
      double si = 0.0;
      for (int c = 0; c < 4; ++c) {
        sr = sr + term_re<P>(mr[4 * r + c], mi[4 * r + c], xr[c], xi[c]);
        si = si + term_im<P>(mr[4 * r + c], mi[4 * r + c], xr[c], xi[c]);
      }
      yr[r] = sr;
      yi[r] = si;
    }
    re[b] = yr[0];
    im[b] = yi[0];
    re[b + o1] = yr[1];
    im[b + o1] = yi[1];
    re[b + o2] = yr[2];
    im[b + o2] = yi[2];
    re[b + o3] = yr[3];
    im[b + o3] = yi[3];
  });
}

// Row r takes its one entry from column column[r]. Diagonal matrices (column[r] == r) get their
// own instantiation: with sources equal to destinations, every offset is known to the compiler
// when both targets are the two lowest qubits, and the loop over adjacent quadruples vectorises.
template <Part P, bool Diagonal>
void single_entry_two_qubit(double* __restrict re, double* __restrict im, std::uint64_t total, std::uint64_t high,
                            std::uint64_t low, const Complex* m, const std::uint64_t (&column)[4]) {
  // Block index 1 is the lower (less significant) target set, index 2 the higher one.
  const std::uint64_t o1 = low, o2 = high, o3 = high + low;
  const std::uint64_t offset[4] = {0, o1, o2, o3};
  const double a0r = m[0 + column[0]].re, a0i = m[0 + column[0]].im;
  const double a1r = m[4 + column[1]].re, a1i = m[4 + column[1]].im;
  const double a2r = m[8 + column[2]].re, a2i = m[8 + column[2]].im;
  const double a3r = m[12 + column[3]].re, a3i = m[12 + column[3]].im;
  const std::uint64_t s0 = Diagonal ? 0 : offset[column[0]];
  const std::uint64_t s1 = Diagonal ? o1 : offset[column[1]];
  const std::uint64_t s2 = Diagonal ? o2 : offset[column[2]];
  const std::uint64_t s3 = Diagonal ? o3 : offset[column[3]];
  for_each_quad(total, high, low, [=](std::uint64_t b) {
    const double x0r = re[b + s0], x0i = im[b + s0];
    const double x1r = re[b + s1], x1i = im[b + s1];
    const double x2r = re[b + s2], x2i = im[b + s2];
    const double x3r = re[b + s3], x3i = im[b + s3];
    re[b] = 0.0 + term_re<P>(a0r, a0i, x0r, x0i);
    im[b] = 0.0 + term_im<P>(a0r, a0i, x0r, x0i);
    re[b + o1] = 0.0 + term_re<P>(a1r, a1i, x1r, x1i);
    im[b + o1] = 0.0 + term_im<P>(a1r, a1i, x1r, x1i);
    re[b + o2] = 0.0 + term_re<P>(a2r, a2i, x2r, x2i);
    im[b + o2] = 0.0 + term_im<P>(a2r, a2i, x2r, x2i);
    re[b + o3] = 0.0 + term_re<P>(a3r, a3i, x3r, x3i);
    im[b + o3] = 0.0 + term_im<P>(a3r, a3i, x3r, x3i);
  });
}

void apply_two_qubit(double* re, double* im, std::uint64_t total, std::uint64_t high, std::uint64_t low,
                     const Complex* m) {
  const bool real = all_real(m, 16);
  std::uint64_t column[4];
  if (single_entry_rows<4>(m, column)) {
    const bool diagonal = column[0] == 0 && column[1] == 1 && column[2] == 2 && column[3] == 3;
    if (diagonal && real) return single_entry_two_qubit<Part::Real, true>(re, im, total, high, low, m, column);
    if (diagonal) return single_entry_two_qubit<Part::Complex, true>(re, im, total, high, low, m, column);
    if (real) return single_entry_two_qubit<Part::Real, false>(re, im, total, high, low, m, column);
    return single_entry_two_qubit<Part::Complex, false>(re, im, total, high, low, m, column);
  }
  if (real) return dense_two_qubit<Part::Real>(re, im, total, high, low, m);
  return dense_two_qubit<Part::Complex>(re, im, total, high, low, m);
}

}  // namespace

std::vector<std::uint64_t> subsystem_strides(std::span<const std::uint64_t> dims) {
  std::vector<std::uint64_t> strides(dims.size(), 1);
  for (std::size_t i = dims.size(); i > 1; --i) strides[i - 2] = dims[i - 1] * strides[i - 1];
  return strides;
}

std::vector<std::uint64_t> enumerate_offsets(std::span<const std::uint64_t> subsystem_dims,
                                             std::span<const std::uint64_t> subsystems,
                                             std::span<const std::uint64_t> strides) {
  std::uint64_t count = 1;
  for (std::uint64_t dim : subsystem_dims) count *= dim;
  std::vector<std::uint64_t> offsets;
  if (count == 0) return offsets;
  offsets.reserve(count);
  std::vector<std::uint64_t> counter(subsystems.size(), 0);
  for (std::uint64_t n = 0; n < count; ++n) {
    std::uint64_t offset = 0;
    for (std::size_t j = 0; j < subsystems.size(); ++j) offset += counter[j] * strides[subsystems[j]];
    offsets.push_back(offset);
    for (std::size_t j = subsystems.size(); j > 0; --j) {
      if (++counter[j - 1] < subsystem_dims[j - 1]) break;
      counter[j - 1] = 0;
    }
  }
  return offsets;
}

GatherScatterPlan make_plan(std::span<const std::uint64_t> dims, std::span<const std::uint64_t> targets) {
  GatherScatterPlan plan;
  const std::vector<std::uint64_t> strides = subsystem_strides(dims);
  std::vector<std::uint64_t> target_dims;
  target_dims.reserve(targets.size());
  for (std::uint64_t target : targets) {
    target_dims.push_back(dims[target]);
    plan.block_dim *= dims[target];
  }
  for (std::uint64_t dim : dims) plan.total_dim *= dim;
  plan.block_offsets = enumerate_offsets(target_dims, targets, strides);
  std::size_t next_target = 0;
  for (std::uint64_t i = 0; i < dims.size(); ++i) {
    if (next_target < targets.size() && targets[next_target] == i) {
      ++next_target;
      continue;
    }
    plan.rest_dims.push_back(dims[i]);
    plan.rest_strides.push_back(strides[i]);
  }
  return plan;
}

std::vector<std::uint64_t> GatherScatterPlan::base_offsets() const {
  std::vector<std::uint64_t> bases;
  for_each_base([&](std::uint64_t base) { bases.push_back(base); });
  return bases;
}

void apply_gate_generic(ComplexBuffer& buffer, std::span<const std::uint64_t> dims,
                        std::span<const std::uint64_t> targets, std::span<const Complex> matrix) {
  std::uint64_t block_dim = 0;
  if (!check_preconditions(buffer, dims, targets, matrix, block_dim)) return;
  run_generic(buffer, make_plan(dims, targets), matrix);
}

void apply_gate(ComplexBuffer& buffer, std::span<const std::uint64_t> dims, std::span<const std::uint64_t> targets,
                std::span<const Complex> matrix) {
  std::uint64_t block_dim = 0;
  if (!check_preconditions(buffer, dims, targets, matrix, block_dim)) return;
  const std::uint64_t total = buffer.len();
  if (targets.size() == 1 && block_dim == 2) {
    apply_one_qubit(buffer.re(), buffer.im(), total, stride_of(dims, targets[0]), matrix.data());
    return;
  }
  if (targets.size() == 2 && block_dim == 4 && dims[targets[0]] == 2) {
    apply_two_qubit(buffer.re(), buffer.im(), total, stride_of(dims, targets[0]), stride_of(dims, targets[1]),
                    matrix.data());
    return;
  }
  run_generic(buffer, make_plan(dims, targets), matrix);
}

}  // namespace telm
