#include "py/binding.hpp"
#include "py/classes.hpp"
#include "py/memory_limit.hpp"
#include "py/results.hpp"

#include <array>
#include <cmath>
#include <complex>
#include <limits>
#include <string>
#include <vector>

#include "core/tensor.hpp"

namespace telm::py {
namespace {

using Element = Mps::Element;

struct PyMpsSimulator {
  static constexpr const char* kPythonName = "MpsSimulator";
  Mps mps;
};

constexpr double kHalfSqrt2 = 0.7071067811865476;  // the double nearest to 1/sqrt(2)
constexpr std::array<Element, 4> kHadamard = {Element(kHalfSqrt2, 0.0), Element(kHalfSqrt2, 0.0),
                                              Element(kHalfSqrt2, 0.0), Element(-kHalfSqrt2, 0.0)};
// Control on the left site, the more significant index.
constexpr std::array<Element, 16> kCnot = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 1, 0};

PyObject* none_or_error(const Status& status) {
  if (!status) return map_err(status.error());
  return none();
}

constexpr Param kFromQubitsParams[] = {{"n_qubits", ArgKind::UInt},
                                       {"chi_max", ArgKind::UInt, "64", 64},
                                       {"singular_value_eps", ArgKind::Float, "1e-10", 0, 1e-10}};
constexpr Method<PyMpsSimulator> kFromQubits =
    static_method<PyMpsSimulator>("from_qubits", kFromQubitsParams, [](const Args& args) -> PyObject* {
      const std::uint64_t n_qubits = args.uint(0);
      const MpsConfig config{args.uint(1), args.real(2), 64, 10};
      // Refuse a chain that cannot be stored before building its list of dimensions.
      if (n_qubits > Mps::kMaxSites) {
        return map_err(errors::NotImplemented{"MPS of " + std::to_string(n_qubits) + " sites is too large to store"});
      }
      // Per site: the tensor record with its two elements, their copy in the packed arena, the
      // arena slot and the physical dimension; a chain that cannot be held is not attempted.
      constexpr std::uint64_t kSiteBytes =
          sizeof(SiteTensor) + 4 * sizeof(Element) + sizeof(ArenaSlot) + sizeof(std::uint64_t);
      if (!fits_in_memory(n_qubits, kSiteBytes)) {
        return raise(PyExc_MemoryError, "an MPS of " + std::to_string(n_qubits) + " qubits does not fit in memory");
      }
      Result<Mps> mps = Mps::zero_state(std::vector<std::uint64_t>(n_qubits, 2), config);
      if (!mps) return map_err(mps.error());
      PyTypeObject* type = mps_simulator_type();
      if (type == nullptr) return nullptr;
      return new_instance(type, PyMpsSimulator{std::move(*mps)});
    });

constexpr Method<PyMpsSimulator> kNQubits = method<PyMpsSimulator>(
    "n_qubits", Receiver::Shared, {}, [](PyMpsSimulator& self, const Args&) { return to_python(self.mps.n_sites()); });

constexpr Param kQubitParams[] = {{"qubit", ArgKind::UInt}};
constexpr Method<PyMpsSimulator> kH =
    method<PyMpsSimulator>("h", Receiver::Exclusive, kQubitParams, [](PyMpsSimulator& self, const Args& args) {
      return none_or_error(self.mps.apply_single_site_gate(args.uint(0), kHadamard));
    });

constexpr Param kRyParams[] = {{"qubit", ArgKind::UInt}, {"theta", ArgKind::Float}};
constexpr Method<PyMpsSimulator> kRy =
    method<PyMpsSimulator>("ry", Receiver::Exclusive, kRyParams, [](PyMpsSimulator& self, const Args& args) {
      const double theta = args.real(1);
      const double c = std::cos(theta * 0.5);
      const double s = std::sin(theta * 0.5);
      const std::array<Element, 4> rotation = {Element(c, 0.0), Element(-s, 0.0), Element(s, 0.0), Element(c, 0.0)};
      return none_or_error(self.mps.apply_single_site_gate(args.uint(0), rotation));
    });

constexpr Param kCnotParams[] = {{"control", ArgKind::UInt}, {"target", ArgKind::UInt}};
constexpr Method<PyMpsSimulator> kCnotMethod = method<PyMpsSimulator>(
    "cnot", Receiver::Exclusive, kCnotParams, [](PyMpsSimulator& self, const Args& args) -> PyObject* {
      const std::uint64_t control = args.uint(0);
      const std::uint64_t target = args.uint(1);
      // Without wrap-around: a control of 2^64 - 1 has no right neighbour.
      if (control == std::numeric_limits<std::uint64_t>::max() || target != control + 1) {
        return raise(PyExc_ValueError, "MpsSimulator currently supports nearest-neighbor CNOT with target = control + 1");
      }
      return none_or_error(self.mps.apply_two_site_gate(control, kCnot));
    });

constexpr Method<PyMpsSimulator> kNormSq = method<PyMpsSimulator>(
    "norm_sq", Receiver::Shared, {}, [](PyMpsSimulator& self, const Args&) { return to_python(self.mps.norm_sq()); });

constexpr Method<PyMpsSimulator> kMaxBondDim = method<PyMpsSimulator>(
    "max_bond_dim", Receiver::Shared, {},
    [](PyMpsSimulator& self, const Args&) { return to_python(self.mps.max_bond_dim()); });

std::string render(const PyMpsSimulator& self) {
  return "MpsSimulator(n_qubits=" + std::to_string(self.mps.n_sites()) + ", center=" +
         std::to_string(self.mps.center()) + ", max_bond_dim=" + std::to_string(self.mps.max_bond_dim()) + ")";
}


ClassSpec mps_simulator_spec() {
  ClassSpec spec = class_spec<PyMpsSimulator>(
      nullptr, nullptr,
      {entry<PyMpsSimulator, kFromQubits>(), entry<PyMpsSimulator, kNQubits>(), entry<PyMpsSimulator, kH>(),
       entry<PyMpsSimulator, kRy>(), entry<PyMpsSimulator, kCnotMethod>(), entry<PyMpsSimulator, kNormSq>(),
       entry<PyMpsSimulator, kMaxBondDim>()});
  spec.repr = &detail::repr<PyMpsSimulator, render>;
  return spec;
}

}  // namespace

PyTypeObject* mps_simulator_type() { return type_once<mps_simulator_spec>(); }

}  // namespace telm::py
