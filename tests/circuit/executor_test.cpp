#include "circuit/executor.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "circuit/builder.hpp"
#include "discrete/gates.hpp"
#include "discrete/observables.hpp"
#include "discrete/statevector.hpp"
#include "fake_operators.hpp"

namespace telm {
namespace {

using testing::FakeGate;
using testing::FakeObservable;
using testing::fake_gate;

// Records what the executor asks for. Gate requests go through the operator's own matrix, so an
// operator's error reaches the executor as a backend error would; a failed call records nothing.
class RecordingBackend final : public Backend {
 public:
  explicit RecordingBackend(SystemDescription system) : system_(std::move(system)) {}

  std::vector<std::string> log;

  [[nodiscard]] const SystemDescription& system() const override { return system_; }
  [[nodiscard]] Status apply_operator_with_params(const Operator& op, std::span<const std::uint64_t> targets,
                                                  std::span<const double> params) override {
    if (params.size() != op.param_spec().required_count()) {
      return fail(errors::ParameterCountMismatch{op.param_spec().required_count(), params.size()});
    }
    TELM_TRY(op.matrix(system_, targets, params));
    log.push_back("apply " + describe(targets, params));
    return {};
  }
  [[nodiscard]] Result<double> expectation_value_with_params(const Observable& obs,
                                                             std::span<const std::uint64_t> targets,
                                                             std::span<const double> params) const override {
    return obs.expectation_value(system_, targets, AmplitudeView{}, params);
  }
  [[nodiscard]] Result<SampleResult> sample(std::span<const std::uint64_t>, std::uint64_t) const override {
    return fail(errors::NotImplemented{"sample"});
  }
  [[nodiscard]] Result<StateSnapshot> state_snapshot() const override { return fail(errors::NotImplemented{"snapshot"}); }
  [[nodiscard]] Status reset_to_zero() override { return {}; }
  [[nodiscard]] Result<std::unique_ptr<Backend>> clone_state() const override {
    return fail(errors::NotImplemented{"clone"});
  }
  [[nodiscard]] Status apply_channel(const Channel&, std::span<const std::uint64_t>) override {
    return fail(errors::ChannelsUnsupported{});
  }
  [[nodiscard]] Result<StateSnapshot> partial_trace(std::span<const std::uint64_t>) const override {
    return fail(errors::NotImplemented{"partial trace"});
  }
  [[nodiscard]] Result<double> fidelity(const Backend&) const override { return fail(errors::NotImplemented{"fidelity"}); }

 private:
  static std::string describe(std::span<const std::uint64_t> targets, std::span<const double> params) {
    std::string text;
    for (std::uint64_t t : targets) text += std::to_string(t) + ",";
    text += " (";
    for (double p : params) text += std::to_string(p) + ",";
    return text + ")";
  }

  SystemDescription system_;
};

SystemDescription qubits(std::uint64_t n) { return SystemDescription::from_qubits(n).value(); }
SystemDescription dims(std::vector<std::uint64_t> d) { return SystemDescription::from_dims(d).value(); }

template <class... Instructions>
Circuit circuit_of(SystemDescription system, Instructions&&... instructions) {
  std::vector<CircuitInstruction> list;
  (list.push_back(std::move(instructions)), ...);
  return Circuit(std::move(system), std::move(list));
}

TEST(CircuitExecutor, RefusesABackendOfAnotherShape) {
  const Circuit empty = circuit_of(qubits(2));
  RecordingBackend three(qubits(3));
  const auto count = CircuitExecutor::run(empty, three, {});
  ASSERT_FALSE(count);
  EXPECT_EQ(count.error(), TelmError(errors::TargetCountMismatch{.expected = 2, .given = 3}));
  EXPECT_EQ(count.error().message(), "operator targets 3 subsystem(s) but was defined for 2");

  RecordingBackend qutrit(dims({2, 3}));
  const auto dim = CircuitExecutor::run(empty, qutrit, {});
  ASSERT_FALSE(dim);
  EXPECT_EQ(dim.error(), TelmError(errors::InstructionSubsystemOutOfRange{.subsystem = 1, .count = 2}));

  RecordingBackend matching(qubits(2));
  const auto ok = CircuitExecutor::run(empty, matching, {});
  ASSERT_TRUE(ok);
  EXPECT_TRUE(ok->empty());
  EXPECT_TRUE(matching.log.empty());
}

TEST(CircuitExecutor, GathersEachOperatorsParametersByIndex) {
  const Circuit circuit = circuit_of(qubits(1), CircuitInstruction::apply(fake_gate(1, {2}), {0}));
  RecordingBackend backend(qubits(1));
  const std::vector<double> short_vector = {0.5, 0.25};
  const auto too_short = CircuitExecutor::run(circuit, backend, short_vector);
  ASSERT_FALSE(too_short);
  EXPECT_EQ(too_short.error().message(), "parameter index 2 out of range (parameter vector length: 2)");
  EXPECT_TRUE(backend.log.empty());

  const std::vector<double> long_enough = {0.5, 0.25, 0.125, 9.0};
  ASSERT_TRUE(CircuitExecutor::run(circuit, backend, long_enough));
  EXPECT_EQ(backend.log, std::vector<std::string>{"apply 0, (0.125000,)"});

  // Fixed gates read nothing and run with an empty vector.
  const Circuit fixed = circuit_of(qubits(1), CircuitInstruction::apply(std::make_unique<FakeGate>(1), {0}));
  EXPECT_TRUE(CircuitExecutor::run(fixed, backend, {}));
}

TEST(CircuitExecutor, ResolvesLocalParametersInIndexOrder) {
  const std::vector<double> run = {0.1, 0.2, 0.3, 0.4, 0.5, 0.6};
  EXPECT_EQ(resolve_local_params(ParamSpec(std::vector<std::uint64_t>{5, 0}), run).value(),
            (std::vector<double>{0.6, 0.1}));
  EXPECT_EQ(resolve_local_params(ParamSpec(std::vector<std::uint64_t>{3, 3}), run).value(),
            (std::vector<double>{0.4, 0.4}));
  EXPECT_TRUE(resolve_local_params(ParamSpec(), run).value().empty());
  EXPECT_TRUE(resolve_local_params(ParamSpec(std::vector<std::uint64_t>{}), {}).value().empty());
  EXPECT_EQ(resolve_local_params(ParamSpec(std::vector<std::uint64_t>{1, 6, 9}), run).error(),
            TelmError(errors::ParameterIndexOutOfRange{.index = 6, .length = 6}));
}

TEST(CircuitExecutor, ReturnsResultsOrderedByLabel) {
  const Circuit circuit = circuit_of(qubits(1),
                                     CircuitInstruction::measure("b", std::make_unique<FakeObservable>(1, 1.5), {0}),
                                     CircuitInstruction::measure("a", std::make_unique<FakeObservable>(1, -2.0), {0}),
                                     CircuitInstruction::measure("a2", std::make_unique<FakeObservable>(1, 0.25), {0}));
  RecordingBackend backend(qubits(1));
  const auto results = CircuitExecutor::run(circuit, backend, {});
  ASSERT_TRUE(results);
  std::vector<std::pair<std::string, double>> entries(results->begin(), results->end());
  EXPECT_EQ(entries, (std::vector<std::pair<std::string, double>>{{"a", -2.0}, {"a2", 0.25}, {"b", 1.5}}));
}

TEST(CircuitExecutor, StopsAtTheFirstFailureKeepingEarlierEffects) {
  // A repeated label (not possible through the builder) is refused before the second
  // observable's own parameters are looked at.
  const Circuit repeated = circuit_of(
      qubits(2), CircuitInstruction::apply(std::make_unique<FakeGate>(1), {0}),
      CircuitInstruction::measure("m", std::make_unique<FakeObservable>(1), {0}),
      CircuitInstruction::apply(std::make_unique<FakeGate>(1), {1}),
      CircuitInstruction::measure("m", std::make_unique<FakeObservable>(1, 0.0, ParamSpec(std::vector<std::uint64_t>{99})), {0}),
      CircuitInstruction::apply(std::make_unique<FakeGate>(1), {0}));
  RecordingBackend backend(qubits(2));
  const auto result = CircuitExecutor::run(repeated, backend, {});
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error().message(), "output slot 'm' is already occupied by a previous measurement");
  EXPECT_EQ(backend.log, (std::vector<std::string>{"apply 0, ()", "apply 1, ()"}));

  // A backend or operator error is passed on unchanged.
  const Circuit bad_target = circuit_of(qubits(2), CircuitInstruction::apply(std::make_unique<FakeGate>(1), {1}),
                                        CircuitInstruction::apply(std::make_unique<FakeGate>(1), {7}),
                                        CircuitInstruction::apply(std::make_unique<FakeGate>(1), {0}));
  RecordingBackend second(qubits(2));
  const auto failed = CircuitExecutor::run(bad_target, second, {});
  ASSERT_FALSE(failed);
  EXPECT_EQ(failed.error(), TelmError(errors::SubsystemOutOfRange{.index = 7, .count = 2}));
  EXPECT_EQ(second.log, std::vector<std::string>{"apply 1, ()"});

  // An observable's parameters are resolved too.
  const Circuit observable_params = circuit_of(
      qubits(1), CircuitInstruction::measure("x", std::make_unique<FakeObservable>(1, 0.0, ParamSpec(std::vector<std::uint64_t>{1})), {0}));
  RecordingBackend third(qubits(1));
  EXPECT_EQ(CircuitExecutor::run(observable_params, third, std::vector<double>{1.0}).error(),
            TelmError(errors::ParameterIndexOutOfRange{.index = 1, .length = 1}));
}

TEST(CircuitExecutor, AKeptStateKeepsWhatAFailedRunDidBeforeFailing) {
  CircuitBuilder builder(qubits(2));
  ASSERT_TRUE(builder.apply_operator(std::make_unique<XGate>(), std::vector<std::uint64_t>{0}));
  ASSERT_TRUE(builder.measure_expectation("z0", std::make_unique<PauliZ>(), std::vector<std::uint64_t>{0}));
  ASSERT_TRUE(builder.apply_operator(std::make_unique<Hadamard>(), std::vector<std::uint64_t>{1}));
  ASSERT_TRUE(builder.apply_operator(std::make_unique<RxGate>(3), std::vector<std::uint64_t>{1}));
  ASSERT_TRUE(builder.measure_expectation("z1", std::make_unique<PauliZ>(), std::vector<std::uint64_t>{1}));
  const Circuit circuit = std::move(builder).build();

  StateVector state(qubits(2));
  const auto failed = CircuitExecutor::run(circuit, state, {});
  ASSERT_FALSE(failed);
  EXPECT_EQ(failed.error(), TelmError(errors::ParameterIndexOutOfRange{.index = 3, .length = 0}));
  // X on qubit 0 and H on qubit 1 acted; the rotation did not.
  const double h = HADAMARD_ENTRY;
  EXPECT_EQ(state.amplitudes().to_vec(), (std::vector<Complex>{{0, 0}, {0, 0}, {h, 0}, {h, 0}}));

  // The next run starts from there: X and H undo themselves.
  const std::vector<double> zeros(4, 0.0);
  const auto again = CircuitExecutor::run(circuit, state, zeros);
  ASSERT_TRUE(again);
  EXPECT_NEAR(again->at("z0"), 1.0, 1e-15);
  EXPECT_NEAR(again->at("z1"), 1.0, 1e-15);

  StateVector fresh(qubits(2));
  EXPECT_EQ(CircuitExecutor::run(circuit, fresh, zeros)->at("z0"), -1.0);
}

}  // namespace
}  // namespace telm
