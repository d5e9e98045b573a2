// Random gate streams built with and without the optimizer must give the same results and the
// same final state for every parameter vector, and the optimized circuit is never longer.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "circuit/builder.hpp"
#include "circuit/executor.hpp"
#include "describe.hpp"
#include "discrete/gates.hpp"
#include "discrete/observables.hpp"
#include "discrete/statevector.hpp"

namespace telm {
namespace {

enum class Kind { X, Y, Z, H, Rx, Ry, Rz, Cnot, Cz, Swap, Rzz, MeasureX, MeasureY, MeasureZ, MeasureZZ };

struct Request {
  Request(Kind kind, std::vector<std::uint64_t> targets, std::uint64_t param = 0, std::string label = {})
      : kind(kind), targets(std::move(targets)), param(param), label(std::move(label)) {}
  Kind kind;
  std::vector<std::uint64_t> targets;
  std::uint64_t param;
  std::string label;
};

std::unique_ptr<Operator> make_gate(const Request& r) {
  switch (r.kind) {
    case Kind::X: return std::make_unique<XGate>();
    case Kind::Y: return std::make_unique<YGate>();
    case Kind::Z: return std::make_unique<ZGate>();
    case Kind::H: return std::make_unique<Hadamard>();
    case Kind::Rx: return std::make_unique<RxGate>(r.param);
    case Kind::Ry: return std::make_unique<RyGate>(r.param);
    case Kind::Rz: return std::make_unique<RzGate>(r.param);
    case Kind::Cnot: return std::make_unique<Cnot>();
    case Kind::Cz: return std::make_unique<CzGate>();
    case Kind::Swap: return std::make_unique<SwapGate>();
    case Kind::Rzz: return std::make_unique<RzzGate>(r.param);
    default: return nullptr;
  }
}

std::unique_ptr<Observable> make_observable(const Request& r) {
  switch (r.kind) {
    case Kind::MeasureX: return std::make_unique<PauliX>();
    case Kind::MeasureY: return std::make_unique<PauliY>();
    case Kind::MeasureZ: return std::make_unique<PauliZ>();
    default: return std::make_unique<PauliZZ>();
  }
}

bool is_measurement(Kind kind) { return kind >= Kind::MeasureX; }

constexpr std::uint64_t kParams = 5;

class StreamGenerator {
 public:
  StreamGenerator(std::uint64_t seed, std::uint64_t n_qubits) : rng_(seed), n_(n_qubits) {}

  std::vector<Request> stream() {
    std::vector<Request> out;
    const int pieces = pick(4, 24);
    for (int i = 0; i < pieces; ++i) piece(out);
    return out;
  }

 private:
  int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
  std::uint64_t qubit() { return std::uniform_int_distribution<std::uint64_t>(0, n_ - 1)(rng_); }
  std::uint64_t param() { return std::uniform_int_distribution<std::uint64_t>(0, kParams - 1)(rng_); }
  std::pair<std::uint64_t, std::uint64_t> two_qubits() {
    const std::uint64_t a = qubit();
    std::uint64_t b = qubit();
    while (b == a) b = qubit();
    return {a, b};
  }
  Kind fixed() { return static_cast<Kind>(pick(0, 3)); }
  Kind rotation() { return static_cast<Kind>(pick(4, 6)); }

  void piece(std::vector<Request>& out) {
    const int choice = pick(0, n_ >= 2 ? 9 : 3);
    switch (choice) {
      case 0: {  // a fixed gate, often twice in a row
        const Kind k = fixed();
        const std::uint64_t q = qubit();
        out.push_back({k, {q}});
        if (pick(0, 1) == 1) out.push_back({k, {q}});
        break;
      }
      case 1: {  // a run of rotations on one wire, often about one axis and one parameter
        const std::uint64_t q = qubit();
        const Kind k = rotation();
        for (int i = pick(1, 4); i > 0; --i) out.push_back({pick(0, 3) == 0 ? rotation() : k, {q}, param()});
        break;
      }
      case 2:
      case 3: {  // measurement
        const int m = pick(0, n_ >= 2 ? 3 : 2);
        const std::string label = "m" + std::to_string(labels_++);
        if (m == 3) {
          const auto [a, b] = two_qubits();
          out.push_back({Kind::MeasureZZ, {a, b}, 0, label});
        } else {
          out.push_back({static_cast<Kind>(static_cast<int>(Kind::MeasureX) + m), {qubit()}, 0, label});
        }
        break;
      }
      case 4:
      case 5:
      case 6: {  // CNOT pair with Z rotations on the control and X rotations on the target between
        const auto [c, t] = two_qubits();
        out.push_back({Kind::Cnot, {c, t}});
        for (int i = pick(0, 4); i > 0; --i) {
          const int between = pick(0, 7);
          if (between <= 2) {
            out.push_back({Kind::Rz, {c}, param()});
          } else if (between <= 5) {
            out.push_back({Kind::Rx, {t}, param()});
          } else {  // any rotation on either wire: only the two above commute with the CNOT
            out.push_back({rotation(), {between == 6 ? c : t}, param()});
          }
        }
        if (pick(0, 5) == 0) out.push_back({fixed(), {pick(0, 1) == 0 ? c : t}});  // breaks the pair
        const int closing = pick(0, 5);
        if (closing <= 3) {
          out.push_back({Kind::Cnot, {c, t}});
        } else if (closing == 4) {
          out.push_back({Kind::Cnot, {t, c}});
        }
        break;
      }
      case 7: {
        const auto [a, b] = two_qubits();
        out.push_back({Kind::Cnot, {a, b}});
        break;
      }
      default: {  // CZ, SWAP or RZZ
        const auto [a, b] = two_qubits();
        const int k = pick(0, 2);
        out.push_back({k == 0 ? Kind::Cz : k == 1 ? Kind::Swap : Kind::Rzz, {a, b}, param()});
        break;
      }
    }
  }

  std::mt19937_64 rng_;
  std::uint64_t n_;
  int labels_ = 0;
};

Circuit optimized(const SystemDescription& system, const std::vector<Request>& stream) {
  CircuitBuilder builder(system);
  for (const Request& r : stream) {
    const Status added = is_measurement(r.kind) ? builder.measure_expectation(r.label, make_observable(r), r.targets)
                                                : builder.apply_operator(make_gate(r), r.targets);
    EXPECT_TRUE(added);
  }
  return std::move(builder).build();
}

// The stream exactly as requested, one instruction per request.
Circuit unoptimized(const SystemDescription& system, const std::vector<Request>& stream) {
  std::vector<CircuitInstruction> instructions;
  for (const Request& r : stream) {
    if (is_measurement(r.kind)) {
      instructions.push_back(CircuitInstruction::measure(r.label, make_observable(r), r.targets));
    } else {
      instructions.push_back(CircuitInstruction::apply(make_gate(r), r.targets));
    }
  }
  return Circuit(system, std::move(instructions));
}

std::string listing(const std::vector<Request>& stream) {
  std::string text;
  for (const Request& r : stream) {
    text += std::to_string(static_cast<int>(r.kind)) + "[";
    for (std::uint64_t t : r.targets) text += std::to_string(t) + " ";
    text += "p" + std::to_string(r.param) + "] ";
  }
  return text;
}

TEST(OptimizerDifferential, RandomStreamsAgreeWithAndWithoutOptimization) {
  std::mt19937_64 values(20261211);
  std::uniform_real_distribution<double> angle(-std::numbers::pi, std::numbers::pi);
  std::size_t saved = 0;
  std::size_t total = 0;
  for (std::uint64_t n = 1; n <= 6; ++n) {
    const SystemDescription system = SystemDescription::from_qubits(n).value();
    for (std::uint64_t trial = 0; trial < 60; ++trial) {
      StreamGenerator generator(n * 1000 + trial, n);
      const std::vector<Request> stream = generator.stream();
      const Circuit plain = unoptimized(system, stream);
      const Circuit merged = optimized(system, stream);
      ASSERT_LE(merged.instruction_count(), plain.instruction_count()) << listing(stream);
      saved += plain.instruction_count() - merged.instruction_count();
      total += plain.instruction_count();

      for (int run = 0; run < 4; ++run) {
        std::vector<double> parameters(kParams);
        for (double& p : parameters) p = angle(values);
        StateVector plain_state(system);
        StateVector merged_state(system);
        const auto expected = CircuitExecutor::run(plain, plain_state, parameters);
        const auto actual = CircuitExecutor::run(merged, merged_state, parameters);
        ASSERT_TRUE(expected) << expected.error().message();
        ASSERT_TRUE(actual) << actual.error().message();
        ASSERT_EQ(actual->size(), expected->size());
        for (const auto& [label, value] : *expected) {
          ASSERT_TRUE(actual->contains(label)) << label;
          ASSERT_NEAR(actual->at(label), value, 1e-12) << label << " n=" << n << " " << listing(stream);
        }
        const ComplexBuffer& a = plain_state.amplitudes();
        const ComplexBuffer& b = merged_state.amplitudes();
        for (std::uint64_t i = 0; i < a.len(); ++i) {
          ASSERT_NEAR(a.get(i).re, b.get(i).re, 1e-12) << "amplitude " << i << " n=" << n << " " << listing(stream);
          ASSERT_NEAR(a.get(i).im, b.get(i).im, 1e-12) << "amplitude " << i << " n=" << n << " " << listing(stream);
        }
      }
    }
  }
  // The streams are built to give the optimizer work; it must find some of it.
  EXPECT_GT(saved, total / 10);
}

}  // namespace
}  // namespace telm
