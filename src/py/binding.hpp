#pragma once

// The binding kit: a class is declared as data (its methods with their parameters, kinds,
// defaults and borrow modes), and both the argument binder and each `__text_signature__` are
// generated from that one declaration.

#include "py/py_ref.hpp"

#include <new>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "py/arguments.hpp"
#include "py/borrow.hpp"
#include "py/errors.hpp"

namespace telm::py {

// The memory layout of every instance: the header, the borrow flag and the one native value.
template <class Native>
struct Instance {
  PyObject_HEAD
  BorrowFlag borrow;
  std::optional<Native> value;  // engaged from creation until deallocation
};

enum class Receiver { Shared, Exclusive, Static };

template <class Native>
struct Method {
  using InstanceHandler = PyObject* (*)(Native& self, const Args& args);
  using StaticHandler = PyObject* (*)(const Args& args);

  const char* name;
  Receiver receiver;
  std::span<const Param> params;
  InstanceHandler handler = nullptr;      // Shared and Exclusive
  StaticHandler static_handler = nullptr; // Static
};

// Declares an instance method; `params` must have static storage.
template <class Native>
constexpr Method<Native> method(const char* name, Receiver receiver, std::span<const Param> params,
                                typename Method<Native>::InstanceHandler handler) {
  return Method<Native>{name, receiver, params, handler, nullptr};
}
template <class Native>
constexpr Method<Native> static_method(const char* name, std::span<const Param> params,
                                       typename Method<Native>::StaticHandler handler) {
  return Method<Native>{name, Receiver::Static, params, nullptr, handler};
}

// Creates a Python instance of `type` owning `value`; nullptr with an exception on failure.
template <class Native>
PyObject* new_instance(PyTypeObject* type, Native&& value) {
  PyObject* object = type->tp_alloc(type, 0);
  if (object == nullptr) return nullptr;
  auto* self = reinterpret_cast<Instance<Native>*>(object);
  new (&self->borrow) BorrowFlag();
  new (&self->value) std::optional<Native>(std::forward<Native>(value));
  return object;
}

namespace detail {

std::string callable_name(const char* class_name, const char* method_name);

// Steps (a) and (d) of a call; the borrow (c) is taken in between by the caller.
struct PreparedCall {
  std::array<PyObject*, kMaxParams> slots{};
  Args args;
};

template <class Native>
PyObject* call_instance_method(const Method<Native>& m, PyObject* self_object, const CallArgs& call) {
  PreparedCall prepared;
  if (!m.params.empty() &&
      !bind_arguments(callable_name(Native::kPythonName, m.name), m.params, call, prepared.slots)) {
    return nullptr;
  }
  auto* self = reinterpret_cast<Instance<Native>*>(self_object);
  const BorrowMode mode = m.receiver == Receiver::Exclusive ? BorrowMode::Exclusive : BorrowMode::Shared;
  if (const char* refusal = self->borrow.acquire(mode)) return raise(PyExc_RuntimeError, refusal);
  BorrowGuard guard(self->borrow, mode);
  if (!convert_arguments(m.params, prepared.slots, prepared.args)) return nullptr;
  return m.handler(*self->value, prepared.args);
}

template <class Native>
PyObject* call_static_method(const Method<Native>& m, const CallArgs& call) {
  PreparedCall prepared;
  if (!bind_arguments(callable_name(Native::kPythonName, m.name), m.params, call, prepared.slots)) return nullptr;
  if (!convert_arguments(m.params, prepared.slots, prepared.args)) return nullptr;
  return m.static_handler(prepared.args);
}

inline CallArgs vectorcall_args(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  const auto n_positional = static_cast<std::size_t>(PyVectorcall_NARGS(static_cast<std::size_t>(nargs)));
  const std::size_t n_keywords = kwnames == nullptr ? 0 : static_cast<std::size_t>(PyTuple_GET_SIZE(kwnames));
  std::span<PyObject* const> names;
  if (n_keywords > 0) names = {&PyTuple_GET_ITEM(kwnames, 0), n_keywords};
  return CallArgs{{args, n_positional}, names, {args + n_positional, n_keywords}};
}

// Every entry point: C++ exceptions and recorded invariant violations become Python exceptions.
template <class Body>
PyObject* guarded(Body&& body) {
  PyObject* result = nullptr;
  try {
    result = body();
  } catch (...) {
    result = raise_from_current_exception();
  }
  return check_invariants(result);
}

template <class Native, const Method<Native>& M>
PyObject* fastcall_method(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guarded([&] { return call_instance_method(M, self, vectorcall_args(args, nargs, kwnames)); });
}

template <class Native, const Method<Native>& M>
PyObject* noargs_method(PyObject* self, PyObject*) {
  return guarded([&] { return call_instance_method(M, self, CallArgs{}); });
}

template <class Native, const Method<Native>& M>
PyObject* fastcall_static(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guarded([&] { return call_static_method(M, vectorcall_args(args, nargs, kwnames)); });
}

template <class Native>
void dealloc(PyObject* object) {
  auto* self = reinterpret_cast<Instance<Native>*>(object);
  PyTypeObject* type = Py_TYPE(object);
  self->value.~optional();
  type->tp_free(object);
  Py_DECREF(type);  // instances of heap types own a reference to their type
}

template <class Native>
PyObject* no_constructor(PyTypeObject*, PyObject*, PyObject*) {
  return raise(PyExc_TypeError, std::string("No constructor defined for ") + Native::kPythonName);
}

std::vector<PyObject*> dict_items(PyObject* kwargs, std::vector<PyObject*>& names);

// tp_new for a class with a constructor: binds like a method named __new__.
template <class Native, std::span<const Param> const& Params, PyObject* (*Handler)(PyTypeObject*, const Args&)>
PyObject* constructor(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return guarded([&]() -> PyObject* {
    std::vector<PyObject*> names;
    std::vector<PyObject*> values = dict_items(kwargs, names);
    const auto n_positional = static_cast<std::size_t>(PyTuple_GET_SIZE(args));
    std::span<PyObject* const> positional;
    if (n_positional > 0) positional = {&PyTuple_GET_ITEM(args, 0), n_positional};
    PreparedCall prepared;
    if (!bind_arguments(callable_name(Native::kPythonName, "__new__"), Params, CallArgs{positional, names, values},
                        prepared.slots)) {
      return nullptr;
    }
    if (!convert_arguments(Params, prepared.slots, prepared.args)) return nullptr;
    return Handler(type, prepared.args);
  });
}

// repr() under a shared borrow; `Render` returns the text.
template <class Native, std::string (*Render)(const Native&)>
PyObject* repr(PyObject* object) {
  return guarded([&]() -> PyObject* {
    auto* self = reinterpret_cast<Instance<Native>*>(object);
    if (const char* refusal = self->borrow.acquire(BorrowMode::Shared)) return raise(PyExc_RuntimeError, refusal);
    BorrowGuard guard(self->borrow, BorrowMode::Shared);
    const std::string text = Render(*self->value);
    return PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
  });
}

}  // namespace detail

// One entry of a class's method table; the doc (text signature) is filled in by make_type.
struct MethodEntry {
  const char* name;
  PyCFunction function;
  int flags;
  std::string signature;  // "name($self, a, b=None)" or "name(a)"
};

template <class Native, const Method<Native>& M>
MethodEntry entry() {
  const std::string params = signature_parameters(M.params);
  if (M.receiver == Receiver::Static) {
    return MethodEntry{M.name, reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(
                                   &detail::fastcall_static<Native, M>)),
                       METH_FASTCALL | METH_KEYWORDS | METH_STATIC, std::string(M.name) + "(" + params + ")"};
  }
  const std::string self_params = params.empty() ? "$self" : "$self, " + params;
  if (M.params.empty()) {
    return MethodEntry{M.name, &detail::noargs_method<Native, M>, METH_NOARGS,
                       std::string(M.name) + "(" + self_params + ")"};
  }
  return MethodEntry{M.name, reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(
                                 &detail::fastcall_method<Native, M>)),
                     METH_FASTCALL | METH_KEYWORDS, std::string(M.name) + "(" + self_params + ")"};
}

// What make_type needs to create a class.
struct ClassSpec {
  const char* name;
  int basic_size;
  destructor dealloc;
  newfunc new_function;            // the constructor, or one raising "No constructor defined for {}"
  const char* text_signature;      // "(dims)", or nullptr for a class without constructor
  std::vector<MethodEntry> methods;
  reprfunc repr = nullptr;
};

// Creates a final heap type (no subclassing, no __dict__, no weak references) under its bare
// name; nullptr with an exception on failure. The type and its tables live until the process ends.
PyTypeObject* make_type(ClassSpec spec);

template <class Native>
ClassSpec class_spec(newfunc new_function, const char* text_signature, std::vector<MethodEntry> methods) {
  return ClassSpec{Native::kPythonName,
                   static_cast<int>(sizeof(Instance<Native>)),
                   &detail::dealloc<Native>,
                   new_function != nullptr ? new_function : &detail::no_constructor<Native>,
                   text_signature,
                   std::move(methods)};
}

// The type made from Spec(), created on the first successful call and kept for the process.
template <ClassSpec (*Spec)()>
PyTypeObject* type_once() {
  static PyTypeObject* type = nullptr;
  if (type == nullptr) type = make_type(Spec());
  return type;
}

// The native value behind a module-class instance that binding already type-checked.
template <class Native>
Native& native_of(PyObject* object) {
  return *reinterpret_cast<Instance<Native>*>(object)->value;
}

}  // namespace telm::py
