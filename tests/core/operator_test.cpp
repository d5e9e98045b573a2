#include "core/operator.hpp"

#include <gtest/gtest.h>

#include <memory>

#include "core/backend.hpp"
#include "core/invariant.hpp"

namespace telm {
namespace {

// A minimal operator to exercise the interface defaults.
class BoundOperator final : public Operator {
 public:
  explicit BoundOperator(ParamSpec binding) : binding_(std::move(binding)) {}
  std::uint64_t n_targets() const override { return 2; }
  Result<ComplexMatrix> matrix(const SystemDescription&, std::span<const std::uint64_t>,
                               std::span<const double> params) const override {
    if (params.size() != binding_.required_count())
      return fail(errors::ParameterCountMismatch{binding_.required_count(), params.size()});
    return ComplexMatrix::zeros(4);
  }
  const ParamSpec& param_spec() const override { return binding_; }

 private:
  ParamSpec binding_;
};

class OtherOperator final : public Operator {
 public:
  std::uint64_t n_targets() const override { return 1; }
  Result<ComplexMatrix> matrix(const SystemDescription&, std::span<const std::uint64_t>,
                               std::span<const double>) const override {
    return ComplexMatrix::zeros(2);
  }
  const ParamSpec& param_spec() const override { return binding_; }

 private:
  ParamSpec binding_;
};

TEST(ComplexMatrix, ZerosAndRowMajorPositions) {
  auto m = ComplexMatrix::zeros(4);
  EXPECT_EQ(m.dim, 4u);
  ASSERT_EQ(m.data.size(), 16u);
  for (const Complex& z : m.data) EXPECT_EQ(z, Complex{});
  m.set(2, 3, Complex{0.5, -1.0});
  EXPECT_EQ(m.data[11], (Complex{0.5, -1.0}));
  EXPECT_EQ(m.get(2, 3), (Complex{0.5, -1.0}));
}

TEST(ComplexMatrix, PositionBeyondDataIsRecordedNotFatal) {
  auto m = ComplexMatrix::zeros(2);
  EXPECT_EQ(m.get(2, 0), Complex{});
  EXPECT_TRUE(take_invariant_violation());
  m.set(1, 2, Complex{1.0, 0.0});
  EXPECT_TRUE(take_invariant_violation());
  for (const Complex& z : m.data) EXPECT_EQ(z, Complex{});
}

TEST(Operator, SubspaceDimIsProductOfTargetDims) {
  const std::uint64_t dims[] = {2, 3, 5};
  auto system = SystemDescription::from_dims(dims).value();
  BoundOperator op{ParamSpec{}};
  const std::uint64_t targets[] = {0, 2};
  EXPECT_EQ(op.subspace_dim(system, targets).value(), 10u);
  const std::uint64_t bad[] = {0, 7};
  EXPECT_EQ(op.subspace_dim(system, bad).error(), TelmError(errors::SubsystemOutOfRange{7, 3}));
  EXPECT_EQ(op.subspace_dim(system, {}).value(), 1u);
}

TEST(ParamSpec, BindingResolvesLocalVector) {
  ParamSpec binding{{5, 0}};
  EXPECT_TRUE(binding.has_value());
  EXPECT_EQ(binding.required_count(), 2u);
  const double run[] = {0.1, 0.2, 0.3, 0.4, 0.5, 0.6};
  EXPECT_EQ(binding.resolve(run).value(), (std::vector<double>{0.6, 0.1}));
  const double short_run[] = {0.1, 0.2};
  EXPECT_EQ(binding.resolve(short_run).error(), TelmError(errors::ParameterIndexOutOfRange{5, 2}));

  ParamSpec absent;
  EXPECT_FALSE(absent.has_value());
  EXPECT_EQ(absent.required_count(), 0u);
  EXPECT_TRUE(absent.resolve(run).value().empty());
  BoundOperator op{absent};
  auto system = SystemDescription::from_qubits(2).value();
  const std::uint64_t targets[] = {0, 1};
  const double one[] = {0.5};
  EXPECT_EQ(op.matrix(system, targets, one).error(), TelmError(errors::ParameterCountMismatch{0, 1}));
}

TEST(Operator, TypeIdentityRecoversConcreteClass) {
  std::unique_ptr<Operator> a = std::make_unique<BoundOperator>(ParamSpec{});
  std::unique_ptr<Operator> b = std::make_unique<OtherOperator>();
  EXPECT_NE(a->type_id(), b->type_id());
  EXPECT_TRUE(a->is<BoundOperator>());
  EXPECT_FALSE(a->is<OtherOperator>());
  EXPECT_EQ(a->as_any().get<BoundOperator>(), a.get());
  EXPECT_EQ(a->as_any().get<OtherOperator>(), nullptr);
}

TEST(StateSnapshot, AmplitudesAlternative) {
  StateSnapshot amplitudes{std::vector<Complex>{{1.0, 0.0}}};
  ASSERT_NE(amplitudes.amplitudes(), nullptr);
  EXPECT_EQ(amplitudes.amplitudes()->size(), 1u);
  StateSnapshot doubles{std::vector<double>{1.0}};
  EXPECT_EQ(doubles.amplitudes(), nullptr);
}

}  // namespace
}  // namespace telm
