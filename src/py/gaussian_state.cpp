#include "py/ascii_case.hpp"
#include "py/binding.hpp"
#include "py/classes.hpp"
#include "py/memory_limit.hpp"
#include "py/results.hpp"

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "cv/gaussian.hpp"

namespace telm::py {
namespace {

struct PyGaussianState {
  static constexpr const char* kPythonName = "GaussianState";
  GaussianState state;
};

PyObject* none_or_error(const Status& status) {
  if (!status) return map_err(status.error());
  return none();
}

std::optional<Quadrature> quadrature_named(const std::string& lowered) {
  if (lowered == "x") return Quadrature::X;
  if (lowered == "p") return Quadrature::P;
  return std::nullopt;
}

constexpr Param kVacuumParams[] = {{"n_modes", ArgKind::UInt}};
constexpr Method<PyGaussianState> kVacuum =
    static_method<PyGaussianState>("vacuum", kVacuumParams, [](const Args& args) -> PyObject* {
      const std::uint64_t n_modes = args.uint(0);
      // Zero and unaddressable mode counts get the native refusals; a covariance that could be
      // addressed but not held in memory is refused here, before anything is allocated.
      const std::uint64_t max_entries = std::vector<double>().max_size();
      const std::uint64_t side = 2 * n_modes;
      const bool addressable = n_modes != 0 && n_modes <= max_entries / 2 && side <= max_entries / side;
      if (addressable && !fits_in_memory(side * side + 2 * side, sizeof(double))) {
        return raise(PyExc_MemoryError, "a Gaussian state of " + std::to_string(n_modes) + " modes does not fit in memory");
      }
      Result<GaussianState> state = GaussianState::vacuum(n_modes);
      if (!state) return map_err(state.error());
      PyTypeObject* type = gaussian_state_type();
      if (type == nullptr) return nullptr;
      return new_instance(type, PyGaussianState{std::move(*state)});
    });

constexpr Method<PyGaussianState> kNModes = method<PyGaussianState>(
    "n_modes", Receiver::Shared, {},
    [](PyGaussianState& self, const Args&) { return to_python(self.state.n_modes()); });

constexpr Method<PyGaussianState> kPhaseSpaceDim = method<PyGaussianState>(
    "phase_space_dim", Receiver::Shared, {},
    [](PyGaussianState& self, const Args&) { return to_python(self.state.phase_space_dim()); });

constexpr Method<PyGaussianState> kDisplacement = method<PyGaussianState>(
    "displacement", Receiver::Shared, {},
    [](PyGaussianState& self, const Args&) { return list_of<double>(self.state.displacement()); });

constexpr Method<PyGaussianState> kCovariance = method<PyGaussianState>(
    "covariance", Receiver::Shared, {},
    [](PyGaussianState& self, const Args&) { return list_of<double>(self.state.covariance()); });

constexpr Param kDisplaceParams[] = {
    {"mode", ArgKind::UInt}, {"alpha_x", ArgKind::Float}, {"alpha_p", ArgKind::Float}};
constexpr Method<PyGaussianState> kDisplace =
    method<PyGaussianState>("displace", Receiver::Exclusive, kDisplaceParams, [](PyGaussianState& self, const Args& args) {
      return none_or_error(self.state.displace(args.uint(0), args.real(1), args.real(2)));
    });

constexpr Param kSqueezeParams[] = {{"mode", ArgKind::UInt}, {"r", ArgKind::Float}};
constexpr Method<PyGaussianState> kSqueeze =
    method<PyGaussianState>("squeeze", Receiver::Exclusive, kSqueezeParams, [](PyGaussianState& self, const Args& args) {
      return none_or_error(self.state.squeeze(args.uint(0), args.real(1)));
    });

constexpr Param kBeamsplitterParams[] = {
    {"mode_a", ArgKind::UInt}, {"mode_b", ArgKind::UInt}, {"theta", ArgKind::Float}};
constexpr Method<PyGaussianState> kBeamsplitter = method<PyGaussianState>(
    "beamsplitter", Receiver::Exclusive, kBeamsplitterParams, [](PyGaussianState& self, const Args& args) {
      return none_or_error(self.state.beamsplitter(args.uint(0), args.uint(1), args.real(2)));
    });

constexpr Param kHomodyneParams[] = {{"mode", ArgKind::UInt}, {"quadrature", ArgKind::Text}};
constexpr Method<PyGaussianState> kHomodyne = method<PyGaussianState>(
    "homodyne", Receiver::Shared, kHomodyneParams, [](PyGaussianState& self, const Args& args) -> PyObject* {
      // The quadrature name is checked before the mode.
      const std::string lowered = ascii_lower(args.text(1));
      const std::optional<Quadrature> quadrature = quadrature_named(lowered);
      if (!quadrature) return raise(PyExc_ValueError, "unknown quadrature '" + lowered + "'; use 'x' or 'p'");
      const Result<HomodyneReadout> readout = self.state.homodyne(args.uint(0), *quadrature);
      if (!readout) return map_err(readout.error());
      const std::array<double, 2> values{readout->mean, readout->variance};
      return tuple_of<double>(values);
    });

constexpr Param kHeterodyneParams[] = {{"mode", ArgKind::UInt}};
constexpr Method<PyGaussianState> kHeterodyne = method<PyGaussianState>(
    "heterodyne", Receiver::Shared, kHeterodyneParams, [](PyGaussianState& self, const Args& args) -> PyObject* {
      const Result<HeterodyneReadout> readout = self.state.heterodyne(args.uint(0));
      if (!readout) return map_err(readout.error());
      const std::array<double, 4> values{readout->mean_x, readout->mean_p, readout->variance_x, readout->variance_p};
      return tuple_of<double>(values);
    });

std::string render(const PyGaussianState& self) {
  return "GaussianState(n_modes=" + std::to_string(self.state.n_modes()) + ")";
}


ClassSpec gaussian_state_spec() {
  ClassSpec spec = class_spec<PyGaussianState>(
      nullptr, nullptr,
      {entry<PyGaussianState, kVacuum>(), entry<PyGaussianState, kNModes>(),
       entry<PyGaussianState, kPhaseSpaceDim>(), entry<PyGaussianState, kDisplacement>(),
       entry<PyGaussianState, kCovariance>(), entry<PyGaussianState, kDisplace>(),
       entry<PyGaussianState, kSqueeze>(), entry<PyGaussianState, kBeamsplitter>(),
       entry<PyGaussianState, kHomodyne>(), entry<PyGaussianState, kHeterodyne>()});
  spec.repr = &detail::repr<PyGaussianState, render>;
  return spec;
}

}  // namespace

PyTypeObject* gaussian_state_type() { return type_once<gaussian_state_spec>(); }

}  // namespace telm::py
