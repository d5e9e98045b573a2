#include "py/binding.hpp"

#include <deque>

namespace telm::py::detail {

std::string callable_name(const char* class_name, const char* method_name) {
  return std::string(class_name) + "." + method_name + "()";
}

std::vector<PyObject*> dict_items(PyObject* kwargs, std::vector<PyObject*>& names) {
  std::vector<PyObject*> values;
  if (kwargs == nullptr) return values;
  PyObject *key = nullptr, *value = nullptr;
  Py_ssize_t position = 0;
  while (PyDict_Next(kwargs, &position, &key, &value)) {
    names.push_back(key);
    values.push_back(value);
  }
  return values;
}

}  // namespace telm::py::detail

namespace telm::py {
namespace {

// Docs and method tables of the created types: they must outlive the types, which are never freed.
struct TypeTables {
  std::string doc;
  std::deque<std::string> method_docs;
  std::vector<PyMethodDef> methods;
};

std::deque<TypeTables>& type_tables() {
  static auto* tables = new std::deque<TypeTables>();  // intentionally never destroyed
  return *tables;
}

}  // namespace

PyTypeObject* make_type(ClassSpec spec) {
  TypeTables& tables = type_tables().emplace_back();
  if (spec.text_signature != nullptr) tables.doc = std::string(spec.name) + spec.text_signature + "\n--\n\n";
  for (const MethodEntry& m : spec.methods) {
    const std::string& doc = tables.method_docs.emplace_back(m.signature + "\n--\n\n");
    tables.methods.push_back(PyMethodDef{m.name, m.function, m.flags, doc.c_str()});
  }
  tables.methods.push_back(PyMethodDef{nullptr, nullptr, 0, nullptr});

  std::vector<PyType_Slot> slots = {
      {Py_tp_dealloc, reinterpret_cast<void*>(spec.dealloc)},
      {Py_tp_new, reinterpret_cast<void*>(spec.new_function)},
      {Py_tp_methods, tables.methods.data()},
  };
  if (!tables.doc.empty()) slots.push_back({Py_tp_doc, const_cast<char*>(tables.doc.c_str())});
  if (spec.repr != nullptr) slots.push_back({Py_tp_repr, reinterpret_cast<void*>(spec.repr)});
  slots.push_back({0, nullptr});

  // No Py_TPFLAGS_BASETYPE: the class is final. No dict or weaklist offsets: neither exists.
  // Created as "_telm.Name" so that __module__ is set, then given its bare name as tp_name.
  const std::string qualified = std::string("_telm.") + spec.name;
  PyType_Spec type_spec{qualified.c_str(), spec.basic_size, 0, Py_TPFLAGS_DEFAULT | Py_TPFLAGS_IMMUTABLETYPE,
                        slots.data()};
  PyRef type = PyRef::steal(PyType_FromSpec(&type_spec));
  if (!type) return nullptr;
  auto* type_object = reinterpret_cast<PyTypeObject*>(type.get());
  // tp_name points into the type's own copy of the qualified name; skip the module prefix.
  type_object->tp_name += qualified.size() - std::char_traits<char>::length(spec.name);
  return reinterpret_cast<PyTypeObject*>(type.release());
}

}  // namespace telm::py
