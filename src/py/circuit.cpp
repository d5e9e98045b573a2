#include <memory>
#include <optional>
#include <string_view>

#include "py/ascii_case.hpp"
#include "py/binding.hpp"
#include "py/classes.hpp"
#include "py/layer_json.hpp"
#include "py/memory_limit.hpp"
#include "py/results.hpp"
#include "py/viz_tree.hpp"

#include "circuit/builder.hpp"
#include "circuit/circuit.hpp"
#include "circuit/executor.hpp"
#include "discrete/gates.hpp"
#include "discrete/observables.hpp"
#include "discrete/statevector.hpp"

namespace telm::py {
namespace {

struct PyCircuit {
  static constexpr const char* kPythonName = "Circuit";
  SystemDescription system;
  VizTree viz_nodes;
  std::optional<CircuitBuilder> builder;  // building phase
  std::optional<Circuit> circuit;         // built phase
  std::optional<StateVector> state;       // kept between run_with_state calls
};

// The gate for a lowercased name; nullptr for an unknown name. Rotations need the index.
std::unique_ptr<Operator> make_gate(std::string_view name, std::uint64_t param_index) {
  if (name == "h" || name == "hadamard") return std::make_unique<Hadamard>();
  if (name == "x") return std::make_unique<XGate>();
  if (name == "y") return std::make_unique<YGate>();
  if (name == "z") return std::make_unique<ZGate>();
  if (name == "rx") return std::make_unique<RxGate>(param_index);
  if (name == "ry") return std::make_unique<RyGate>(param_index);
  if (name == "rz") return std::make_unique<RzGate>(param_index);
  if (name == "rzz") return std::make_unique<RzzGate>(param_index);
  if (name == "cnot" || name == "cx") return std::make_unique<Cnot>();
  if (name == "cz") return std::make_unique<CzGate>();
  if (name == "swap") return std::make_unique<SwapGate>();
  return nullptr;
}

bool is_rotation(std::string_view name) { return name == "rx" || name == "ry" || name == "rz" || name == "rzz"; }

std::unique_ptr<Observable> make_observable(std::string_view name) {
  if (name == "x" || name == "paulix") return std::make_unique<PauliX>();
  if (name == "y" || name == "pauliy") return std::make_unique<PauliY>();
  if (name == "z" || name == "pauliz") return std::make_unique<PauliZ>();
  if (name == "zz" || name == "paulizz") return std::make_unique<PauliZZ>();
  return nullptr;
}

// The build step shared by every call that needs the built circuit; nullptr when it raised.
const Circuit* ensure_built(PyCircuit& self) {
  if (!self.circuit) {
    if (!self.builder) {
      raise(PyExc_ValueError, "circuit already built");
      return nullptr;
    }
    CircuitBuilder builder = std::move(*self.builder);
    self.builder.reset();
    self.circuit.emplace(std::move(builder).build());
  }
  return &*self.circuit;
}

// A fresh all-zero state, or nothing with MemoryError when it cannot be stored (refused before
// allocating, see fits_in_memory).
std::optional<StateVector> fresh_state(const SystemDescription& system) {
  const std::uint64_t dim = system.total_dim();
  if (!fits_in_memory(dim, 2 * sizeof(double))) {
    PyErr_Format(PyExc_MemoryError, "a state vector of %llu amplitudes does not fit in memory",
                 static_cast<unsigned long long>(dim));
    return std::nullopt;
  }
  return StateVector(system);
}

PyObject* results_dict(const CircuitResults& results) {
  PyRef dict = PyRef::steal(PyDict_New());
  if (!dict) return nullptr;
  for (const auto& [label, value] : results) {
    PyRef key = PyRef::steal(to_python(std::string_view(label)));
    PyRef item = PyRef::steal(to_python(value));
    if (!key || !item || PyDict_SetItem(dict.get(), key.get(), item.get()) < 0) return nullptr;
  }
  return dict.release();
}

PyObject* run_on(const Circuit& circuit, StateVector& state, const std::vector<double>& parameters) {
  Result<CircuitResults> results = CircuitExecutor::run(circuit, state, parameters);
  if (!results) return map_err(results.error());
  return results_dict(*results);
}

// n_params of the built circuit as a Python int (an index of 2^64 - 1 needs 2^64).
PyObject* n_params_of(const Circuit& circuit) {
  if (std::optional<std::uint64_t> count = circuit.n_params()) return to_python(*count);
  PyRef largest = PyRef::steal(to_python(*circuit.max_param_index()));
  PyRef one = PyRef::steal(PyLong_FromLong(1));
  if (!largest || !one) return nullptr;
  return PyNumber_Add(largest.get(), one.get());
}

// --- construction, gates and measurements ---

constexpr Param kConstructorParams[] = {{"system", ArgKind::Instance, nullptr, 0, 0.0, system_spec_type}};
constexpr std::span<const Param> kConstructor = kConstructorParams;
PyObject* construct(PyTypeObject* type, const Args& args) {
  const SystemDescription& system = system_description_of(args.object(0));
  PyCircuit circuit{system, VizTree(), CircuitBuilder(system), std::nullopt, std::nullopt};
  return new_instance(type, std::move(circuit));
}

constexpr Param kAddGateParams[] = {
    {"gate", ArgKind::Text}, {"targets", ArgKind::UIntSequence}, {"param_index", ArgKind::OptionalUInt, "None"}};
constexpr Method<PyCircuit> kAddGate = method<PyCircuit>(
    "add_gate", Receiver::Exclusive, kAddGateParams, [](PyCircuit& self, const Args& args) -> PyObject* {
      if (!self.builder) return raise(PyExc_ValueError, "circuit already built; cannot add gates");
      const std::string name = ascii_lower(args.text(0));
      const std::optional<std::uint64_t> param_index = args.optional_uint(2);
      std::unique_ptr<Operator> gate = make_gate(name, param_index.value_or(0));
      if (!gate) {
        return raise(PyExc_ValueError, "unsupported gate '" + name + "'. Use available_gates() to list supported gates.");
      }
      if (is_rotation(name) && !param_index) {
        return raise(PyExc_ValueError, "param_index is required for gate '" + name + "'");
      }
      const std::vector<std::uint64_t>& targets = args.uints(1);
      if (Status added = self.builder->apply_operator(std::move(gate), targets); !added) return map_err(added.error());
      self.viz_nodes.add_gate(ascii_upper(args.text(0)), targets);
      return none();
    });

constexpr Param kMeasureParams[] = {
    {"label", ArgKind::Text}, {"observable", ArgKind::Text}, {"targets", ArgKind::UIntSequence}};
constexpr Method<PyCircuit> kMeasure = method<PyCircuit>(
    "measure", Receiver::Exclusive, kMeasureParams, [](PyCircuit& self, const Args& args) -> PyObject* {
      if (!self.builder) return raise(PyExc_ValueError, "circuit already built; cannot add measurements");
      const std::string name = ascii_lower(args.text(1));
      std::unique_ptr<Observable> observable = make_observable(name);
      if (!observable) {
        return raise(PyExc_ValueError, "unsupported observable '" + name +
                                           "'. Use available_observables() to list supported observables.");
      }
      Status added = self.builder->measure_expectation(args.text(0), std::move(observable), args.uints(2));
      if (!added) return map_err(added.error());
      return none();
    });

// --- build and run ---

constexpr Method<PyCircuit> kBuild =
    method<PyCircuit>("build", Receiver::Exclusive, {}, [](PyCircuit& self, const Args&) -> PyObject* {
      return ensure_built(self) != nullptr ? none() : nullptr;
    });

constexpr Param kParametersParams[] = {{"parameters", ArgKind::FloatSequence}};
constexpr Method<PyCircuit> kRun = method<PyCircuit>(
    "run", Receiver::Exclusive, kParametersParams, [](PyCircuit& self, const Args& args) -> PyObject* {
      const Circuit* circuit = ensure_built(self);
      if (circuit == nullptr) return nullptr;
      std::optional<StateVector> state = fresh_state(self.system);
      if (!state) return nullptr;
      return run_on(*circuit, *state, args.reals(0));
    });

constexpr Method<PyCircuit> kRunWithState = method<PyCircuit>(
    "run_with_state", Receiver::Exclusive, kParametersParams, [](PyCircuit& self, const Args& args) -> PyObject* {
      const Circuit* circuit = ensure_built(self);
      if (circuit == nullptr) return nullptr;
      if (!self.state) {
        std::optional<StateVector> state = fresh_state(self.system);
        if (!state) return nullptr;
        self.state = std::move(state);
      }
      return run_on(*circuit, *self.state, args.reals(0));
    });

constexpr Method<PyCircuit> kResetState =
    method<PyCircuit>("reset_state", Receiver::Exclusive, {}, [](PyCircuit& self, const Args&) -> PyObject* {
      std::optional<StateVector> state = fresh_state(self.system);
      if (!state) return nullptr;
      self.state = std::move(state);
      return none();
    });

constexpr Method<PyCircuit> kNParams =
    method<PyCircuit>("n_params", Receiver::Exclusive, {}, [](PyCircuit& self, const Args&) -> PyObject* {
      const Circuit* circuit = ensure_built(self);
      return circuit != nullptr ? n_params_of(*circuit) : nullptr;
    });

constexpr Method<PyCircuit> kDebugInstructions = method<PyCircuit>(
    "debug_instructions", Receiver::Exclusive, {}, [](PyCircuit& self, const Args&) -> PyObject* {
      const Circuit* circuit = ensure_built(self);
      if (circuit == nullptr) return nullptr;
      const std::vector<std::string> texts = circuit->debug_texts();
      std::vector<std::string_view> views(texts.begin(), texts.end());
      return list_of<std::string_view>(views);
    });

// --- composites and layers ---

constexpr Param kEnterCompositeParams[] = {{"name", ArgKind::Text}, {"targets", ArgKind::UIntSequence}};
constexpr Method<PyCircuit> kEnterComposite = method<PyCircuit>(
    "enter_composite", Receiver::Exclusive, kEnterCompositeParams, [](PyCircuit& self, const Args& args) {
      self.viz_nodes.enter_composite(args.text(0), args.uints(1));
      return none();
    });

constexpr Method<PyCircuit> kExitComposite =
    method<PyCircuit>("exit_composite", Receiver::Exclusive, {}, [](PyCircuit& self, const Args&) {
      self.viz_nodes.exit_composite();
      return none();
    });

constexpr Param kGetLayerParams[] = {{"node_id", ArgKind::UInt}};
constexpr Method<PyCircuit> kGetLayer = method<PyCircuit>(
    "get_layer", Receiver::Shared, kGetLayerParams, [](PyCircuit& self, const Args& args) -> PyObject* {
      const std::uint64_t id = args.uint(0);
      if (id >= self.viz_nodes.size()) return raise(PyExc_ValueError, "Invalid visualization node ID");
      std::expected<std::string, std::string> json = layer_json(self.viz_nodes, id);
      if (!json) return raise(PyExc_RuntimeError, json.error());
      return to_python(std::string_view(*json));
    });

// The representation builds the circuit; a failing n_params shows as 0.
PyObject* circuit_repr(PyObject* object) {
  return detail::guarded([&]() -> PyObject* {
    auto& instance = *reinterpret_cast<Instance<PyCircuit>*>(object);
    if (const char* refusal = instance.borrow.acquire(BorrowMode::Exclusive)) return raise(PyExc_RuntimeError, refusal);
    BorrowGuard guard(instance.borrow, BorrowMode::Exclusive);
    PyCircuit& self = *instance.value;
    const Circuit* circuit = ensure_built(self);
    PyRef n_params = PyRef::steal(circuit != nullptr ? n_params_of(*circuit) : nullptr);
    if (!n_params) {
      PyErr_Clear();
      n_params = PyRef::steal(PyLong_FromLong(0));
      if (!n_params) return nullptr;
    }
    return PyUnicode_FromFormat("Circuit(n_subsystems=%llu, n_params=%S)",
                                static_cast<unsigned long long>(self.system.n_subsystems()), n_params.get());
  });
}


ClassSpec circuit_spec() {
  ClassSpec spec = class_spec<PyCircuit>(
      &detail::constructor<PyCircuit, kConstructor, construct>, "(system)",
      {entry<PyCircuit, kAddGate>(), entry<PyCircuit, kMeasure>(), entry<PyCircuit, kBuild>(),
       entry<PyCircuit, kRun>(), entry<PyCircuit, kRunWithState>(), entry<PyCircuit, kResetState>(),
       entry<PyCircuit, kNParams>(), entry<PyCircuit, kDebugInstructions>(), entry<PyCircuit, kEnterComposite>(),
       entry<PyCircuit, kExitComposite>(), entry<PyCircuit, kGetLayer>()});
  spec.repr = circuit_repr;
  return spec;
}

}  // namespace

PyTypeObject* circuit_type() { return type_once<circuit_spec>(); }

}  // namespace telm::py
