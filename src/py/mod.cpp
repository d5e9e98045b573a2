#include "py/binding.hpp"
#include "py/classes.hpp"
#include "py/results.hpp"

#include <array>
#include <string_view>

namespace telm::py {
namespace {

constexpr std::array<std::string_view, 12> kGateNames = {"h",  "x",  "y",   "z",  "rx", "ry",
                                                         "rz", "rzz", "cnot", "cx", "cz", "swap"};
constexpr std::array<std::string_view, 4> kObservableNames = {"x", "y", "z", "zz"};

PyObject* available_gates(PyObject*, PyObject*) {
  return detail::guarded([] { return list_of<std::string_view>(kGateNames); });
}

PyObject* available_observables(PyObject*, PyObject*) {
  return detail::guarded([] { return list_of<std::string_view>(kObservableNames); });
}

PyMethodDef module_functions[] = {
    {"available_gates", available_gates, METH_NOARGS, "available_gates()\n--\n\n"},
    {"available_observables", available_observables, METH_NOARGS, "available_observables()\n--\n\n"},
    {nullptr, nullptr, 0, nullptr},
};

// The classes in module order; each entry's getter creates the type.
constexpr TypeGetter kClasses[] = {
    system_spec_type,
    circuit_type,
    mps_simulator_type,
    gaussian_state_type,
};

// Sets the attribute and appends its name to __all__ (created with the first member).
bool add_member(PyObject* module, const char* name, PyObject* value) {
  PyObject* all = PyDict_GetItemString(PyModule_GetDict(module), "__all__");  // borrowed
  PyRef all_list;
  if (all == nullptr) {
    all_list = PyRef::steal(PyList_New(0));
    if (!all_list || PyModule_AddObjectRef(module, "__all__", all_list.get()) < 0) return false;
    all = all_list.get();
  }
  PyRef name_object = PyRef::steal(PyUnicode_FromString(name));
  return name_object && PyList_Append(all, name_object.get()) == 0 &&
         PyModule_AddObjectRef(module, name, value) == 0;
}

PyObject* create_module() {
  static PyModuleDef definition = {PyModuleDef_HEAD_INIT, "_telm", "", 0, nullptr, nullptr, nullptr, nullptr, nullptr};
  PyRef module = PyRef::steal(PyModule_Create(&definition));
  if (!module) return nullptr;
  for (TypeGetter get_type : kClasses) {
    PyTypeObject* type = get_type();
    if (type == nullptr || !add_member(module.get(), type->tp_name, reinterpret_cast<PyObject*>(type))) return nullptr;
  }
  for (PyMethodDef& function : module_functions) {
    if (function.ml_name == nullptr) break;
    PyRef module_name = PyRef::steal(PyModule_GetNameObject(module.get()));
    if (!module_name) return nullptr;
    PyRef object = PyRef::steal(PyCFunction_NewEx(&function, nullptr, module_name.get()));
    if (!object || !add_member(module.get(), function.ml_name, object.get())) return nullptr;
  }
  return module.release();
}

}  // namespace
}  // namespace telm::py

// Single-phase initialisation, once per process: a second initialisation returns the first
// module object. With m_size -1 the interpreter would copy the module into other interpreters
// without calling us; with 0 it calls us there too, and we refuse.
PyMODINIT_FUNC PyInit__telm() {
  using namespace telm::py;
  return detail::guarded([]() -> PyObject* {
    if (PyInterpreterState_Get() != PyInterpreterState_Main()) {
      return raise(PyExc_ImportError, "_telm cannot be imported in a sub-interpreter");
    }
    static PyObject* module = nullptr;  // one strong reference, kept for the process
    if (module == nullptr) module = create_module();
    Py_XINCREF(module);
    return module;
  });
}
