#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <typeindex>
#include <typeinfo>
#include <vector>

#include "core/amplitude_view.hpp"
#include "core/complex.hpp"
#include "core/result.hpp"
#include "core/system_description.hpp"

namespace telm {

// Dense square complex matrix, row-major: entry (r, c) is data[r * dim + c]. Applied to
// amplitudes a it gives b[r] = sum over c of M(r, c) * a[c]. Rows and columns count the basis
// states of the targets with the first target as the most significant digit.
struct ComplexMatrix {
  std::vector<Complex> data;
  std::uint64_t dim = 0;

  [[nodiscard]] static ComplexMatrix zeros(std::uint64_t dim);
  // A position beyond the data is a programming error: get returns 0 and set does nothing.
  [[nodiscard]] Complex get(std::uint64_t r, std::uint64_t c) const;
  void set(std::uint64_t r, std::uint64_t c, Complex value);

  friend bool operator==(const ComplexMatrix&, const ComplexMatrix&) = default;
};

// Which entries of the run's parameter vector an operator reads: absent (no parameters) or an
// ordered list of indices. The operator requires as many parameters as there are indices.
class ParamSpec {
 public:
  ParamSpec() = default;  // absent
  explicit ParamSpec(std::vector<std::uint64_t> indices) : indices_(std::move(indices)) {}

  [[nodiscard]] bool has_value() const { return indices_.has_value(); }
  // The indices in order; empty when absent.
  [[nodiscard]] std::span<const std::uint64_t> indices() const;
  [[nodiscard]] std::uint64_t required_count() const { return indices_ ? indices_->size() : 0; }

  // The local parameter vector: entry k is run_params[indices[k]]. An index beyond the run
  // vector gives ParameterIndexOutOfRange(index, run_params.size()).
  [[nodiscard]] Result<std::vector<double>> resolve(std::span<const double> run_params) const;

  friend bool operator==(const ParamSpec&, const ParamSpec&) = default;

 private:
  std::optional<std::vector<std::uint64_t>> indices_;
};

class Operator;

// Type-erased reference to an operator that converts back to its concrete class.
class AnyOperatorRef {
 public:
  AnyOperatorRef(const Operator& object, std::type_index type) : object_(&object), type_(type) {}

  [[nodiscard]] std::type_index type() const { return type_; }
  // The concrete object when it is exactly of class T, else nullptr.
  template <class T>
  [[nodiscard]] const T* get() const {
    return type_ == std::type_index(typeid(T)) ? static_cast<const T*>(object_) : nullptr;
  }

 private:
  const Operator* object_;
  std::type_index type_;
};

// Anything a circuit applies: a gate on one or more subsystems. Immutable after construction,
// owned through std::unique_ptr<Operator> by the instruction that holds it.
class Operator {
 public:
  Operator() = default;
  Operator(const Operator&) = delete;
  Operator& operator=(const Operator&) = delete;
  virtual ~Operator() = default;

  // The run-time identity of the concrete class.
  [[nodiscard]] std::type_index type_id() const noexcept { return std::type_index(typeid(*this)); }
  template <class T>
  [[nodiscard]] bool is() const noexcept {
    return type_id() == std::type_index(typeid(T));
  }

  [[nodiscard]] virtual std::uint64_t n_targets() const = 0;

  // The product of the targets' dimensions in list order; the first target out of range gives
  // SubsystemOutOfRange. The count of targets is not compared with n_targets(); no targets give 1.
  [[nodiscard]] virtual Result<std::uint64_t> subspace_dim(const SystemDescription& system,
                                                           std::span<const std::uint64_t> targets) const;

  // Checks the target count (TargetCountMismatch), then the parameter count
  // (ParameterCountMismatch), then the class's own conditions on its targets.
  [[nodiscard]] virtual Result<ComplexMatrix> matrix(const SystemDescription& system,
                                                     std::span<const std::uint64_t> targets,
                                                     std::span<const double> params) const = 0;

  [[nodiscard]] virtual const ParamSpec& param_spec() const = 0;

  [[nodiscard]] virtual AnyOperatorRef as_any() const { return AnyOperatorRef(*this, type_id()); }
};

// An operator that can also be measured: its real expectation value on a whole-system state.
class Observable : public Operator {
 public:
  // `amplitudes` holds one entry per basis state of `system`, subsystem 0 most significant.
  // Computed from the amplitudes directly, never through matrix(); not divided by the norm.
  [[nodiscard]] virtual Result<double> expectation_value(const SystemDescription& system,
                                                         std::span<const std::uint64_t> targets,
                                                         AmplitudeView amplitudes,
                                                         std::span<const double> params) const = 0;
};

}  // namespace telm
