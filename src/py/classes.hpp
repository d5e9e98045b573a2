#pragma once

#include "py/py_ref.hpp"

#include "core/system_description.hpp"

namespace telm::py {

// The module's classes. Each getter creates its type on first use and returns a borrowed
// pointer to it (nullptr with an exception if creation failed).
PyTypeObject* system_spec_type();
// The description held by a SystemSpec instance (type already checked by argument binding).
const SystemDescription& system_description_of(PyObject* spec);

// The other classes, in module order.
PyTypeObject* circuit_type();
PyTypeObject* mps_simulator_type();
PyTypeObject* gaussian_state_type();

}  // namespace telm::py
