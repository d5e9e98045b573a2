#pragma once

#include <complex>
#include <cstdint>
#include <span>
#include <vector>

#include <Eigen/Core>

#include "core/result.hpp"
#include "core/svd.hpp"

namespace telm {

// One site of a matrix product state: element (l, s, r) is data[(l * phys_dim + s) * right_dim + r],
// the right bond index running fastest.
struct SiteTensor {
  using Element = std::complex<double>;
  using RowMap = Eigen::Map<const RowMatrix>;
  using SliceMap = Eigen::Map<const RowMatrix, 0, Eigen::OuterStride<>>;

  std::vector<Element> data;
  std::uint64_t left_dim = 0;
  std::uint64_t phys_dim = 0;
  std::uint64_t right_dim = 0;

  // All zero except element 0, which is 1. The element count must be at least 1.
  [[nodiscard]] static SiteTensor zero_state(std::uint64_t left_dim, std::uint64_t phys_dim, std::uint64_t right_dim);
  // Rows are l * phys_dim + s; phys_dim must divide the row count.
  [[nodiscard]] static SiteTensor from_left_matrix(const Eigen::Ref<const RowMatrix>& matrix, std::uint64_t phys_dim);
  // Columns are s * right_dim + r; phys_dim must divide the column count.
  [[nodiscard]] static SiteTensor from_right_matrix(const Eigen::Ref<const RowMatrix>& matrix,
                                                    std::uint64_t phys_dim);

  [[nodiscard]] std::uint64_t element_count() const { return left_dim * phys_dim * right_dim; }

  // Views of data without copying: (left_dim * phys_dim) × right_dim, left_dim × (phys_dim * right_dim),
  // and the left_dim × right_dim slice of one physical index.
  [[nodiscard]] RowMap left_view() const;
  [[nodiscard]] RowMap right_view() const;
  [[nodiscard]] SliceMap slice_view(std::uint64_t s) const;

  // The same three shapes as new dense matrices.
  [[nodiscard]] RowMatrix to_left_matrix() const { return left_view(); }
  [[nodiscard]] RowMatrix to_right_matrix() const { return right_view(); }
  [[nodiscard]] RowMatrix physical_slice(std::uint64_t s) const { return slice_view(s); }
};

struct MpsConfig {
  std::uint64_t chi_max = 64;
  double singular_value_eps = 1e-10;
  std::uint64_t randomized_svd_min_rows = 64;
  std::uint64_t randomized_svd_oversampling = 10;
};

// Where one site's elements lie in the packed arena.
struct ArenaSlot {
  std::uint64_t offset = 0;
  std::uint64_t len = 0;
  std::uint64_t capacity = 0;
  bool operator==(const ArenaSlot&) const = default;
};

// A chain of sites with an orthogonality centre. Every site tensor is mirrored in one packed
// arena; a tensor that outgrows its region moves to the end of the arena and the arena is
// compacted once more than 30 % of it is wasted.
class Mps {
 public:
  using Element = SiteTensor::Element;

  // Longest chain whose bookkeeping is addressable at all; longer ones are refused up front.
  static constexpr std::uint64_t kMaxSites = (std::uint64_t{1} << 40);

  [[nodiscard]] static Result<Mps> zero_state(std::vector<std::uint64_t> phys_dims, const MpsConfig& config);

  [[nodiscard]] double norm_sq() const;

  Status apply_single_site_gate(std::uint64_t site, std::span<const Element> matrix);
  Status apply_two_site_gate(std::uint64_t site, std::span<const Element> matrix);

  void update_arena_slot_from_tensor(std::uint64_t site);
  void maybe_compact_arena();
  // (slack + abandoned) / arena length, 0 for an empty arena.
  [[nodiscard]] double waste_ratio() const;

  [[nodiscard]] std::uint64_t n_sites() const { return n_sites_; }
  [[nodiscard]] std::uint64_t center() const { return center_; }
  [[nodiscard]] const std::vector<std::uint64_t>& phys_dims() const { return phys_dims_; }
  [[nodiscard]] const std::vector<SiteTensor>& tensors() const { return tensors_; }
  [[nodiscard]] const SiteTensor& tensor(std::uint64_t site) const { return tensors_[site]; }
  [[nodiscard]] const std::vector<Element>& arena() const { return arena_; }
  [[nodiscard]] const std::vector<ArenaSlot>& slots() const { return slots_; }
  [[nodiscard]] const MpsConfig& config() const { return config_; }
  [[nodiscard]] std::uint64_t abandoned() const { return abandoned_; }
  [[nodiscard]] double compaction_threshold() const { return compaction_threshold_; }
  // The largest left or right extent over all sites (1 for a product state).
  [[nodiscard]] std::uint64_t max_bond_dim() const;

 private:
  Mps() = default;

  void move_center_to(std::uint64_t site);
  void move_center_right_from(std::uint64_t c);
  void move_center_left_from(std::uint64_t c);
  // Installs new tensors for one or two sites and their arena images; the arena is grown before
  // anything is replaced, so an allocation failure leaves the chain as it was.
  void replace_pair(std::uint64_t first, SiteTensor&& a, std::uint64_t second, SiteTensor&& b);
  void reserve_arena_for(std::uint64_t growth);
  void install(std::uint64_t site, SiteTensor&& tensor);
  [[nodiscard]] std::uint64_t growth_needed(std::uint64_t site, const SiteTensor& t) const;

  std::vector<std::uint64_t> phys_dims_;
  std::vector<SiteTensor> tensors_;
  std::vector<Element> arena_;
  std::vector<ArenaSlot> slots_;
  MpsConfig config_;
  std::uint64_t n_sites_ = 0;
  std::uint64_t abandoned_ = 0;
  double compaction_threshold_ = 0.3;
  std::uint64_t center_ = 0;
};

}  // namespace telm
