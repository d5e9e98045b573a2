#include "py/binding.hpp"
#include "py/classes.hpp"
#include "py/results.hpp"

#include "core/system_description.hpp"

namespace telm::py {
namespace {

struct PySystemSpec {
  static constexpr const char* kPythonName = "SystemSpec";
  SystemDescription description;
};

PyObject* wrap(Result<SystemDescription> description) {
  if (!description) return map_err(description.error());
  PyTypeObject* type = system_spec_type();
  if (type == nullptr) return nullptr;
  return new_instance(type, PySystemSpec{std::move(*description)});
}

constexpr Param kDimsParams[] = {{"dims", ArgKind::UIntSequence}};
constexpr std::span<const Param> kDims = kDimsParams;
PyObject* construct(PyTypeObject*, const Args& args) { return wrap(SystemDescription::from_dims(args.uints(0))); }

constexpr Param kFromQubitsParams[] = {{"n_qubits", ArgKind::UInt}};
constexpr Method<PySystemSpec> kFromQubits = static_method<PySystemSpec>(
    "from_qubits", kFromQubitsParams, [](const Args& args) { return wrap(SystemDescription::from_qubits(args.uint(0))); });

constexpr Method<PySystemSpec> kDimsMethod = method<PySystemSpec>(
    "dims", Receiver::Shared, {}, [](PySystemSpec& self, const Args&) {
      const std::vector<std::uint64_t> dims = self.description.dims();
      return list_of<std::uint64_t>(dims);
    });

constexpr Method<PySystemSpec> kNSubsystems = method<PySystemSpec>(
    "n_subsystems", Receiver::Shared, {},
    [](PySystemSpec& self, const Args&) { return to_python(self.description.n_subsystems()); });

constexpr Method<PySystemSpec> kTotalDim = method<PySystemSpec>(
    "total_dim", Receiver::Shared, {},
    [](PySystemSpec& self, const Args&) { return to_python(self.description.total_dim()); });

std::string render(const PySystemSpec& self) {
  std::string text = "SystemSpec(dims=[";
  const std::vector<Subsystem>& subsystems = self.description.subsystems();
  for (std::size_t i = 0; i < subsystems.size(); ++i) {
    if (i > 0) text += ", ";
    text += std::to_string(subsystems[i].dim);
  }
  return text + "])";
}

ClassSpec system_spec_spec() {
  ClassSpec spec = class_spec<PySystemSpec>(&detail::constructor<PySystemSpec, kDims, construct>, "(dims)",
                                            {entry<PySystemSpec, kFromQubits>(), entry<PySystemSpec, kDimsMethod>(),
                                             entry<PySystemSpec, kNSubsystems>(), entry<PySystemSpec, kTotalDim>()});
  spec.repr = &detail::repr<PySystemSpec, render>;
  return spec;
}

}  // namespace

PyTypeObject* system_spec_type() { return type_once<system_spec_spec>(); }

const SystemDescription& system_description_of(PyObject* spec) {
  return native_of<PySystemSpec>(spec).description;
}

}  // namespace telm::py
