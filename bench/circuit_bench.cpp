// Hardware-efficient ansatz on n qubits (default 20): `layers` layers (default 10) of RY and RZ
// on every qubit followed by a CNOT ladder, then Z measured on every qubit. Prints the instruction
// counts before and after the rotation-merging optimizer, the time to build the circuit, and the
// native time of one run (fresh all-zero state + executor), against a plain streaming pass over
// the same amplitude buffer timed in the same process (a gate cannot beat one read and one write
// of every amplitude). Usage: bench_circuit_bench [n_qubits [layers]]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <vector>

#include "circuit/builder.hpp"
#include "circuit/executor.hpp"
#include "discrete/gates.hpp"
#include "discrete/observables.hpp"
#include "discrete/statevector.hpp"

namespace {

using namespace telm;
using Clock = std::chrono::steady_clock;
using Targets = std::vector<std::uint64_t>;

volatile double g_factor = 1.0;  // unknown to the compiler, so the streaming pass is not elided

double seconds_since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// Median of `repeats` timings of `body`.
double median_seconds(const std::function<void()>& body, int repeats) {
  std::vector<double> times;
  for (int i = 0; i < repeats; ++i) {
    const auto start = Clock::now();
    body();
    times.push_back(seconds_since(start));
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

void check(const Status& status) {
  if (!status) {
    std::fprintf(stderr, "benchmark call failed: %s\n", status.error().message().c_str());
    std::exit(1);
  }
}

// The requests of the ansatz, handed to `add_gate` and `add_measure` in order.
template <class AddGate, class AddMeasure>
void ansatz(std::uint64_t n, std::uint64_t layers, AddGate&& add_gate, AddMeasure&& add_measure) {
  std::uint64_t param = 0;
  for (std::uint64_t layer = 0; layer < layers; ++layer) {
    for (std::uint64_t q = 0; q < n; ++q) add_gate(std::make_unique<RyGate>(param++), Targets{q});
    for (std::uint64_t q = 0; q < n; ++q) add_gate(std::make_unique<RzGate>(param++), Targets{q});
    for (std::uint64_t q = 0; q + 1 < n; ++q) add_gate(std::make_unique<Cnot>(), Targets{q, q + 1});
  }
  for (std::uint64_t q = 0; q < n; ++q) add_measure("z" + std::to_string(q), Targets{q});
}

Circuit build_optimized(const SystemDescription& system, std::uint64_t layers) {
  CircuitBuilder builder(system);
  ansatz(
      system.n_subsystems(), layers,
      [&](std::unique_ptr<Operator> gate, const Targets& targets) { check(builder.apply_operator(std::move(gate), targets)); },
      [&](std::string label, const Targets& targets) {
        check(builder.measure_expectation(std::move(label), std::make_unique<PauliZ>(), targets));
      });
  return std::move(builder).build();
}

// The same requests, one instruction each, as the builder keeps them on systems it does not optimize.
Circuit build_plain(const SystemDescription& system, std::uint64_t layers) {
  std::vector<CircuitInstruction> instructions;
  ansatz(
      system.n_subsystems(), layers,
      [&](std::unique_ptr<Operator> gate, const Targets& targets) {
        instructions.push_back(CircuitInstruction::apply(std::move(gate), targets));
      },
      [&](std::string label, const Targets& targets) {
        instructions.push_back(CircuitInstruction::measure(std::move(label), std::make_unique<PauliZ>(), targets));
      });
  return Circuit(system, std::move(instructions));
}

}  // namespace

int main(int argc, char** argv) {
  const std::uint64_t n = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 20;
  const std::uint64_t layers = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 10;
  const SystemDescription system = SystemDescription::from_qubits(n).value();

  const Circuit plain = build_plain(system, layers);
  const double build_time = median_seconds([&] { (void)build_optimized(system, layers); }, 21);
  const Circuit optimized = build_optimized(system, layers);

  std::vector<double> parameters(2 * n * layers);
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> angle(-3.14159, 3.14159);
  for (double& p : parameters) p = angle(rng);

  // Both circuits must agree before their times mean anything.
  StateVector check_plain(system);
  StateVector check_optimized(system);
  const auto expected = CircuitExecutor::run(plain, check_plain, parameters);
  const auto actual = CircuitExecutor::run(optimized, check_optimized, parameters);
  if (!expected || !actual) {
    std::fprintf(stderr, "run failed\n");
    return 1;
  }
  double worst = 0.0;
  for (const auto& [label, value] : *expected) worst = std::max(worst, std::abs(value - actual->at(label)));

  StateVector state(system);
  ComplexBuffer& amplitudes = const_cast<ComplexBuffer&>(state.amplitudes());  // the streaming pass only
  const auto streaming_pass = [&] {
    double* data = amplitudes.re();
    const double factor = g_factor;
    for (std::uint64_t i = 0; i < 2 * amplitudes.len(); ++i) data[i] = data[i] * factor;
  };
  const auto one_run = [&](const Circuit& circuit) {
    StateVector fresh(system);
    if (!CircuitExecutor::run(circuit, fresh, parameters)) std::exit(1);
  };

  // Best of interleaved rounds: the machine is shared, and the fastest round is the one least
  // disturbed by other load; interleaving exposes all timings to the same conditions.
  const int rounds = 7;
  double run_optimized = 1e300, run_plain = 1e300, allocate = 1e300, pass = 1e300;
  for (int round = 0; round < rounds; ++round) {
    run_optimized = std::min(run_optimized, median_seconds([&] { one_run(optimized); }, 1));
    run_plain = std::min(run_plain, median_seconds([&] { one_run(plain); }, 1));
    allocate = std::min(allocate, median_seconds([&] { StateVector fresh(system); }, 1));
    pass = std::min(pass, median_seconds(streaming_pass, 5));
  }

  std::printf("hardware-efficient ansatz: %llu qubits, %llu layers (RY, RZ on every qubit, CNOT ladder), Z on every qubit\n",
              static_cast<unsigned long long>(n), static_cast<unsigned long long>(layers));
  std::printf("  instructions requested            %8zu\n", plain.instruction_count());
  std::printf("  instructions after optimization   %8zu   (%.1f%% fewer)\n", optimized.instruction_count(),
              100.0 * double(plain.instruction_count() - optimized.instruction_count()) /
                  double(std::max<std::size_t>(plain.instruction_count(), 1)));
  std::printf("  parameters                        %8llu\n",
              static_cast<unsigned long long>(optimized.n_params().value_or(0)));
  std::printf("  build with optimizer              %11.3f ms  (%.0f ns per request)\n", build_time * 1e3,
              build_time * 1e9 / double(plain.instruction_count()));
  std::printf("  largest result difference         %11.3g\n", worst);
  std::printf("  streaming pass over the state     %11.3f ms  (%.1f GiB/s read+write)\n", pass * 1e3,
              2.0 * 16.0 * double(amplitudes.len()) / pass / double(1u << 30));
  std::printf("  fresh state alone                 %11.3f ms\n", allocate * 1e3);
  std::printf("  one run, optimized circuit        %11.3f ms  (%.2f x passes per instruction)\n", run_optimized * 1e3,
              run_optimized / (pass * double(optimized.instruction_count())));
  std::printf("  one run, unoptimized circuit      %11.3f ms  (%.2f x passes per instruction)\n", run_plain * 1e3,
              run_plain / (pass * double(plain.instruction_count())));
  return 0;
}
