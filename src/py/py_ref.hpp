#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <utility>

namespace telm::py {

// The one owning reference type. Raw PyObject* elsewhere are always borrowed and never stored.
class PyRef {
 public:
  PyRef() = default;
  // Takes over a new reference (nullptr allowed: an empty handle).
  static PyRef steal(PyObject* object) { return PyRef(object); }
  // Adds a reference to a borrowed object.
  static PyRef borrow(PyObject* object) {
    Py_XINCREF(object);
    return PyRef(object);
  }

  PyRef(const PyRef&) = delete;
  PyRef& operator=(const PyRef&) = delete;
  PyRef(PyRef&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  PyRef& operator=(PyRef&& other) noexcept {
    PyRef(std::move(other)).swap(*this);
    return *this;
  }
  ~PyRef() { Py_XDECREF(object_); }

  [[nodiscard]] PyObject* get() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }
  // Hands the reference back to the caller, typically as a function's return value.
  [[nodiscard]] PyObject* release() { return std::exchange(object_, nullptr); }
  void swap(PyRef& other) noexcept { std::swap(object_, other.object_); }

 private:
  explicit PyRef(PyObject* object) : object_(object) {}
  PyObject* object_ = nullptr;
};

}  // namespace telm::py
