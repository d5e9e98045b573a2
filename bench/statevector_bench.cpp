// Time per gate and per expectation value on the state-vector backend, each as a ratio to a
// plain streaming pass (read and write every double of the same buffer once) timed in the same
// rounds. Usage: bench_statevector_bench [n ...]   (default: 16 20 24)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "discrete/gates.hpp"
#include "discrete/observables.hpp"
#include "discrete/statevector.hpp"
#include "numerics/gms.hpp"

namespace {

using namespace telm;
using Clock = std::chrono::steady_clock;
using Targets = std::vector<std::uint64_t>;

volatile double g_factor = 1.0;  // unknown to the compiler, so the streaming pass is not elided
volatile double g_sink = 0.0;

struct Timing {
  double op = 0.0;    // seconds per call of the operation
  double pass = 0.0;  // seconds per streaming pass, measured in the same rounds
};

// Best of `rounds` alternating timings of `body` and of `pass`, each averaged over enough calls
// to take about `min_seconds`. Alternating keeps the ratio fair when other load comes and goes.
Timing time_against_pass(const std::function<void()>& body, const std::function<void()>& pass, double min_seconds,
                         int rounds = 5) {
  body();  // warm up: page in the buffer, settle the caches
  int calls = 1;
  while (true) {
    const auto start = Clock::now();
    for (int i = 0; i < calls; ++i) body();
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    if (elapsed >= min_seconds || calls >= (1 << 20)) break;
    calls *= 2;
  }
  auto per_call = [&](const std::function<void()>& f) {
    const auto start = Clock::now();
    for (int i = 0; i < calls; ++i) f();
    return std::chrono::duration<double>(Clock::now() - start).count() / calls;
  };
  Timing best{1e300, 1e300};
  for (int round = 0; round < rounds; ++round) {
    best.op = std::min(best.op, per_call(body));
    best.pass = std::min(best.pass, per_call(pass));
  }
  return best;
}

// Reads and writes every double once. Four concurrent sequential streams (both halves of the
// real and of the imaginary parts) run faster here than one or two, so this is the stricter
// reference for gates, which also walk several streams at once.
void streaming_pass(double* data, std::uint64_t doubles) {
  const double factor = g_factor;
  const std::uint64_t quarter = doubles / 4;
  double* a = data;
  double* b = data + quarter;
  double* c = data + 2 * quarter;
  double* d = data + 3 * quarter;
  for (std::uint64_t i = 0; i < quarter; ++i) {
    a[i] = a[i] * factor;
    b[i] = b[i] * factor;
    c[i] = c[i] * factor;
    d[i] = d[i] * factor;
  }
}

void check(const Status& status) {
  if (!status) {
    std::fprintf(stderr, "benchmark call failed: %s\n", status.error().message().c_str());
    std::exit(1);
  }
}

void run(std::uint64_t n) {
  StateVector state(SystemDescription::from_qubits(n).value());
  // A dense state with normal (non-subnormal) amplitudes everywhere.
  for (std::uint64_t q = 0; q < n; ++q) check(state.apply_operator(Hadamard(), Targets{q}));
  const double angle[] = {0.3};
  for (std::uint64_t q = 0; q < n; ++q) check(state.apply_operator_with_params(RyGate(0), Targets{q}, angle));

  ComplexBuffer& amplitudes = const_cast<ComplexBuffer&>(state.amplitudes());  // the stream pass only
  const double min_seconds = n >= 24 ? 0.3 : 0.1;
  const std::function<void()> pass = [&] { streaming_pass(amplitudes.re(), 2 * amplitudes.len()); };
  const double pass_alone = time_against_pass(pass, pass, min_seconds).op;
  const double gib_per_s = 2.0 * 2.0 * 8.0 * double(amplitudes.len()) / pass_alone / double(1u << 30);

  std::printf("\nn = %llu qubits, %llu amplitudes, %.0f MiB\n", static_cast<unsigned long long>(n),
              static_cast<unsigned long long>(amplitudes.len()), 16.0 * double(amplitudes.len()) / (1 << 20));
  std::printf("  %-34s %10.1f us   (%.1f GiB/s read+write)\n", "streaming pass", pass_alone * 1e6, gib_per_s);
  std::printf("  %-34s %13s %13s %8s\n", "operation", "time", "pass", "x pass");

  auto report = [&](const std::string& name, const std::function<void()>& body) {
    const Timing t = time_against_pass(body, pass, min_seconds);
    std::printf("  %-34s %10.1f us %10.1f us %8.2f\n", name.c_str(), t.op * 1e6, t.pass * 1e6, t.op / t.pass);
  };

  const std::uint64_t low = n - 1, middle = n / 2, high = 0;
  const struct {
    const char* name;
    std::uint64_t q;
  } singles[] = {{"low", low}, {"middle", middle}, {"high", high}};
  const struct {
    const char* name;
    Targets targets;
  } pairs[] = {{"low", {n - 2, n - 1}}, {"middle", {middle, middle + 1}}, {"high", {0, 1}},
               {"far, reversed", {n - 1, 0}}};

  const Hadamard h;
  const RxGate rx(0);
  const Cnot cnot;
  const CzGate cz;
  const RzzGate rzz(0);
  const double theta[] = {0.1};
  for (const auto& [where, q] : singles) {
    const Targets t = {q};
    report(std::string("H    ") + where + " (q" + std::to_string(q) + ")",
           ([&] { check(state.apply_operator(h, t)); }));
    report(std::string("RX   ") + where + " (q" + std::to_string(q) + ")",
           ([&] { check(state.apply_operator_with_params(rx, t, theta)); }));
  }
  for (const auto& [where, t] : pairs) {
    const std::string qs = " (q" + std::to_string(t[0]) + ",q" + std::to_string(t[1]) + ")";
    report(std::string("CNOT ") + where + qs, ([&] { check(state.apply_operator(cnot, t)); }));
    report(std::string("CZ   ") + where + qs, ([&] { check(state.apply_operator(cz, t)); }));
    report(std::string("RZZ  ") + where + qs,
           ([&] { check(state.apply_operator_with_params(rzz, t, theta)); }));
  }

  // The generic gather-scatter loop on the same gates, for comparison with the qubit loops.
  const std::vector<std::uint64_t> dims(n, 2);
  const auto h_matrix = h.matrix(state.system(), Targets{middle}, {}).value().data;
  const auto cnot_matrix = cnot.matrix(state.system(), Targets{middle, middle + 1}, {}).value().data;
  const Targets t_middle = {middle};
  const Targets t_pair = {middle, middle + 1};
  report("H    middle, generic kernel",
         ([&] { apply_gate_generic(amplitudes, dims, t_middle, h_matrix); }));
  report("CNOT middle, generic kernel",
         ([&] { apply_gate_generic(amplitudes, dims, t_pair, cnot_matrix); }));

  const PauliZ z;
  const PauliX x;
  const PauliZZ zz;
  const Targets t_zz = {middle, n - 1};
  auto expect = [&](const Observable& obs, const Targets& t) {
    const Result<double> value = state.expectation_value(obs, t);
    if (!value) std::exit(1);
    g_sink = *value;
  };
  report("<Z>  middle", ([&] { expect(z, t_middle); }));
  report("<X>  middle", ([&] { expect(x, t_middle); }));
  report("<ZZ> middle, low", ([&] { expect(zz, t_zz); }));
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::uint64_t> sizes = {16, 20, 24};
  if (argc > 1) {
    sizes.clear();
    for (int i = 1; i < argc; ++i) sizes.push_back(std::strtoull(argv[i], nullptr, 10));
  }
  std::printf("state-vector benchmark: best of 5 rounds, single thread\n");
  for (std::uint64_t n : sizes) run(n);
  return 0;
}
