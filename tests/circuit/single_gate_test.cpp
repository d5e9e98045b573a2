#include "circuit/single_gate.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include "describe.hpp"
#include "discrete/gates.hpp"
#include "discrete/observables.hpp"

namespace telm {
namespace {

using testing::describe;

SingleGate rotation(std::uint8_t axis, std::vector<LinearAngle::Term> terms) {
  return SingleGate(SingleGate::Rotation{LinearAngle{std::move(terms)}, axis});
}

SingleGate opaque_affine() {
  const std::pair<std::uint64_t, double> term{0, 1.0};
  return SingleGate(SingleGate::Opaque{CircuitInstruction::apply(
      std::make_unique<AffineRotationGate>(kAxisX, std::span(&term, 1)), {0})});
}

// A record as text: "X", "Rot(Y; 0:1)", "Opaque(Aff(X; 0:1) [0])".
std::string show(const SingleGate& g) {
  if (g.is<SingleGate::X>()) return "X";
  if (g.is<SingleGate::Y>()) return "Y";
  if (g.is<SingleGate::Z>()) return "Z";
  if (g.is<SingleGate::H>()) return "H";
  if (const SingleGate::Rotation* r = g.rotation()) {
    std::string text = "Rot(" + testing::axis_name(r->axis) + ";";
    for (std::size_t i = 0; i < r->angle.terms.size(); ++i) {
      text += (i == 0 ? " " : ", ") + std::to_string(r->angle.terms[i].param_index) + ":" +
              testing::number(r->angle.terms[i].coefficient);
    }
    return text + ")";
  }
  return "Opaque(" + describe(std::get<SingleGate::Opaque>(g.value()).instruction) + ")";
}

std::string show(const MergeOutcome& outcome) {
  if (std::holds_alternative<MergeOutcome::Cancelled>(outcome.value)) return "Cancelled";
  if (const auto* m = std::get_if<MergeOutcome::Merged>(&outcome.value)) return "Merged " + show(m->gate);
  const auto& u = std::get<MergeOutcome::Unmerged>(outcome.value);
  return "Unmerged " + show(u.earlier) + ", " + show(u.later);
}

TEST(SingleGateMerge, Outcomes) {
  struct Case {
    const char* what;
    std::function<SingleGate()> earlier, later;
    std::string outcome;
  };
  const auto fixed = [](auto kind) { return [kind] { return SingleGate(kind); }; };
  const auto rot = [](std::uint8_t axis, std::vector<LinearAngle::Term> terms) {
    return [=] { return rotation(axis, terms); };
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const std::vector<Case> cases = {
      {"X X", fixed(SingleGate::X{}), fixed(SingleGate::X{}), "Cancelled"},
      {"Y Y", fixed(SingleGate::Y{}), fixed(SingleGate::Y{}), "Cancelled"},
      {"Z Z", fixed(SingleGate::Z{}), fixed(SingleGate::Z{}), "Cancelled"},
      {"H H", fixed(SingleGate::H{}), fixed(SingleGate::H{}), "Cancelled"},
      {"X Y keeps order", fixed(SingleGate::X{}), fixed(SingleGate::Y{}), "Unmerged X, Y"},
      {"H Z", fixed(SingleGate::H{}), fixed(SingleGate::Z{}), "Unmerged H, Z"},
      {"Z then Z rotation", fixed(SingleGate::Z{}), rot(kAxisZ, {{0, 1.0}}), "Unmerged Z, Rot(Z; 0:1)"},
      {"X rotation then X", rot(kAxisX, {{0, 1.0}}), fixed(SingleGate::X{}), "Unmerged Rot(X; 0:1), X"},
      {"terms sorted by index", rot(kAxisX, {{3, 1.0}}), rot(kAxisX, {{1, 1.0}}), "Merged Rot(X; 1:1, 3:1)"},
      {"same index adds", rot(kAxisZ, {{2, 1.0}, {0, 0.5}}), rot(kAxisZ, {{2, 1.0}}), "Merged Rot(Z; 0:0.5, 2:2)"},
      {"exact cancellation", rot(kAxisY, {{0, 1.0}}), rot(kAxisY, {{0, -1.0}}), "Cancelled"},
      {"sum within 1e-12 cancels", rot(kAxisY, {{0, 1.0}}), rot(kAxisY, {{0, -0.9999999999995}}), "Cancelled"},
      {"a small term dropped, others kept", rot(kAxisY, {{0, 1.0}, {4, 3.0}}), rot(kAxisY, {{0, -1.0}}),
       "Merged Rot(Y; 4:3)"},
      {"NaN sum dropped", rot(kAxisX, {{0, nan}}), rot(kAxisX, {{1, 1.0}}), "Merged Rot(X; 1:1)"},
      {"different axes", rot(kAxisX, {{0, 1.0}}), rot(kAxisZ, {{0, 1.0}}), "Unmerged Rot(X; 0:1), Rot(Z; 0:1)"},
      {"opaque first", opaque_affine, rot(kAxisX, {{0, 1.0}}), "Unmerged Opaque(Aff(X; 0:1) [0]), Rot(X; 0:1)"},
      {"opaque second", rot(kAxisX, {{0, 1.0}}), opaque_affine, "Unmerged Rot(X; 0:1), Opaque(Aff(X; 0:1) [0])"},
      {"opaque after X", fixed(SingleGate::X{}), opaque_affine, "Unmerged X, Opaque(Aff(X; 0:1) [0])"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(show(SingleGate::merge(c.earlier(), c.later())), c.outcome) << c.what;
  }
}

TEST(SingleGateMerge, NearCancellationKeepsTheResidue) {
  const MergeOutcome outcome = SingleGate::merge(rotation(kAxisY, {{0, 1.0}}), rotation(kAxisY, {{0, -0.999999}}));
  const auto* merged = std::get_if<MergeOutcome::Merged>(&outcome.value);
  ASSERT_NE(merged, nullptr);
  const SingleGate::Rotation* r = merged->gate.rotation();
  ASSERT_NE(r, nullptr);
  ASSERT_EQ(r->angle.terms.size(), 1u);
  EXPECT_EQ(r->angle.terms[0].param_index, 0u);
  EXPECT_NEAR(r->angle.terms[0].coefficient, 1e-6, 1e-15);
  EXPECT_EQ(r->axis, kAxisY);
}

TEST(SingleGateClassify, RecognisesExactlyTheSevenGateClasses) {
  const auto classify = [](std::unique_ptr<Operator> op) {
    return show(SingleGate::classify(CircuitInstruction::apply(std::move(op), {3})));
  };
  EXPECT_EQ(classify(std::make_unique<XGate>()), "X");
  EXPECT_EQ(classify(std::make_unique<YGate>()), "Y");
  EXPECT_EQ(classify(std::make_unique<ZGate>()), "Z");
  EXPECT_EQ(classify(std::make_unique<Hadamard>()), "H");
  EXPECT_EQ(classify(std::make_unique<RxGate>(4)), "Rot(X; 4:1)");
  EXPECT_EQ(classify(std::make_unique<RyGate>(0)), "Rot(Y; 0:1)");
  EXPECT_EQ(classify(std::make_unique<RzGate>(9)), "Rot(Z; 9:1)");
  // An affine rotation is never taken apart again; other classes are carried unchanged.
  const std::pair<std::uint64_t, double> term{2, 0.5};
  EXPECT_EQ(classify(std::make_unique<AffineRotationGate>(kAxisZ, std::span(&term, 1))), "Opaque(Aff(Z; 2:0.5) [3])");
  EXPECT_EQ(classify(std::make_unique<RzzGate>(1)), "Opaque(RZZ(p1) [3])");
  EXPECT_EQ(show(SingleGate::classify(CircuitInstruction::measure("m", std::make_unique<PauliZ>(), {1}))),
            "Opaque(M(m) [1])");
}

TEST(SingleGateIntoInstruction, RebuildsTheGateOnTheGivenQubit) {
  const auto rebuilt = [](SingleGate g, std::uint64_t q) {
    std::optional<CircuitInstruction> instruction = SingleGate::into_instruction(std::move(g), q);
    return instruction ? describe(*instruction) : std::string("nothing");
  };
  EXPECT_EQ(rebuilt(SingleGate(SingleGate::X{}), 1), "X [1]");
  EXPECT_EQ(rebuilt(SingleGate(SingleGate::Y{}), 0), "Y [0]");
  EXPECT_EQ(rebuilt(SingleGate(SingleGate::Z{}), 2), "Z [2]");
  EXPECT_EQ(rebuilt(SingleGate(SingleGate::H{}), 5), "H [5]");
  EXPECT_EQ(rebuilt(rotation(kAxisX, {{2, 1.0}}), 4), "Aff(X; 2:1) [4]");
  EXPECT_EQ(rebuilt(rotation(kAxisZ, {{0, 2.0}, {1, -1.5}}), 0), "Aff(Z; 0:2, 1:-1.5) [0]");
  EXPECT_EQ(rebuilt(rotation(kAxisY, {}), 0), "nothing");

  std::optional<CircuitInstruction> fixed = SingleGate::into_instruction(SingleGate(SingleGate::H{}), 0);
  EXPECT_FALSE(fixed->as_apply()->op->param_spec().has_value());
  std::optional<CircuitInstruction> affine = SingleGate::into_instruction(rotation(kAxisY, {{7, 1.0}}), 0);
  EXPECT_EQ(affine->as_apply()->op->param_spec(), ParamSpec(std::vector<std::uint64_t>{7}));

  // An opaque record hands back the very instruction it holds, targets included.
  CircuitInstruction held = CircuitInstruction::apply(std::make_unique<RzzGate>(1), {3, 2});
  const Operator* held_op = held.as_apply()->op.get();
  std::optional<CircuitInstruction> back =
      SingleGate::into_instruction(SingleGate(SingleGate::Opaque{std::move(held)}), 0);
  EXPECT_EQ(back->as_apply()->op.get(), held_op);
  EXPECT_EQ(describe(*back), "RZZ(p1) [3, 2]");
}

}  // namespace
}  // namespace telm
