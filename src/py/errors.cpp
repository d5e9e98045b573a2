#include "py/errors.hpp"

#include <exception>
#include <new>
#include <stdexcept>
#include <string>

#include "core/invariant.hpp"

namespace telm::py {

PyObject* raise(PyObject* type, const char* message) {
  PyErr_SetString(type, message);
  return nullptr;
}

PyObject* raise(PyObject* type, const std::string& message) { return raise(type, message.c_str()); }

PyObject* map_err(const TelmError& error) { return raise(PyExc_RuntimeError, error.message()); }

PyObject* raise_from_current_exception() {
  try {
    throw;
  } catch (const std::bad_alloc&) {
    return PyErr_NoMemory();
  } catch (const std::length_error&) {
    return PyErr_NoMemory();
  } catch (const std::exception& e) {
    return raise(PyExc_RuntimeError, std::string("internal error: ") + e.what());
  } catch (...) {
    return raise(PyExc_RuntimeError, "internal error: unknown C++ exception");
  }
}

PyObject* check_invariants(PyObject* result) {
  std::optional<std::string> violation = take_invariant_violation();
  if (!violation) return result;
  Py_XDECREF(result);
  PyErr_Clear();
  return raise(PyExc_RuntimeError, "internal error: " + *violation);
}

}  // namespace telm::py
