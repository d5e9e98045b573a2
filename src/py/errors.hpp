#pragma once

#include "py/py_ref.hpp"

#include "core/error.hpp"

namespace telm::py {

// The one place where library errors cross into Python: RuntimeError with the error's text.
// Returns nullptr so that handlers can `return map_err(result.error());`.
PyObject* map_err(const TelmError& error);

// Raise `type` with a UTF-8 message; return nullptr.
PyObject* raise(PyObject* type, const char* message);
PyObject* raise(PyObject* type, const std::string& message);

// Turns the C++ exception being handled into a Python exception (MemoryError for exhausted
// allocation, RuntimeError otherwise). Call only inside a catch block.
PyObject* raise_from_current_exception();

// After a handler ran: a recorded internal invariant violation replaces its result with RuntimeError.
PyObject* check_invariants(PyObject* result);

}  // namespace telm::py
