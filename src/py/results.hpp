#pragma once

#include "py/py_ref.hpp"

#include <cstdint>
#include <span>
#include <string_view>

namespace telm::py {

// New Python values for method results; nullptr with an exception on failure.
inline PyObject* to_python(std::uint64_t value) { return PyLong_FromUnsignedLongLong(value); }
inline PyObject* to_python(double value) { return PyFloat_FromDouble(value); }
inline PyObject* to_python(std::string_view text) {
  return PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
}
inline PyObject* none() { Py_RETURN_NONE; }

template <class T>
PyObject* list_of(std::span<const T> values) {
  PyRef list = PyRef::steal(PyList_New(static_cast<Py_ssize_t>(values.size())));
  if (!list) return nullptr;
  for (std::size_t i = 0; i < values.size(); ++i) {
    PyObject* item = to_python(values[i]);
    if (item == nullptr) return nullptr;
    PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), item);  // steals item
  }
  return list.release();
}

template <class T>
PyObject* tuple_of(std::span<const T> values) {
  PyRef tuple = PyRef::steal(PyTuple_New(static_cast<Py_ssize_t>(values.size())));
  if (!tuple) return nullptr;
  for (std::size_t i = 0; i < values.size(); ++i) {
    PyObject* item = to_python(values[i]);
    if (item == nullptr) return nullptr;
    PyTuple_SET_ITEM(tuple.get(), static_cast<Py_ssize_t>(i), item);  // steals item
  }
  return tuple.release();
}

}  // namespace telm::py
