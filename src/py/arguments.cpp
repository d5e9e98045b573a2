#include "py/arguments.hpp"

#include "py/errors.hpp"
#include "py/memory_limit.hpp"

#include <algorithm>

namespace telm::py {
namespace {

std::string quoted(const char* name) { return std::string("'") + name + "'"; }

bool keyword_is(PyObject* keyword, const char* name) {
  return PyUnicode_Check(keyword) && PyUnicode_CompareWithASCIIString(keyword, name) == 0;
}

bool raise_type_error(const std::string& message) {
  raise(PyExc_TypeError, message);
  return false;
}

// "{} missing {} required positional argument(s): 'a', 'b' and 'c'"
bool raise_missing(const std::string& callable, const std::vector<const char*>& missing) {
  std::string names;
  for (std::size_t i = 0; i < missing.size(); ++i) {
    if (i > 0) names += (i + 1 == missing.size()) ? " and " : ", ";
    names += quoted(missing[i]);
  }
  return raise_type_error(callable + " missing " + std::to_string(missing.size()) + " required positional " +
                          (missing.size() == 1 ? "argument" : "arguments") + ": " + names);
}

bool raise_too_many(const std::string& callable, std::span<const Param> params, std::size_t given) {
  std::size_t required = 0;
  for (const Param& p : params) required += p.default_text == nullptr;
  std::string takes = required == params.size()
                          ? std::to_string(params.size())
                          : "from " + std::to_string(required) + " to " + std::to_string(params.size());
  return raise_type_error(callable + " takes " + takes + " positional arguments but " + std::to_string(given) +
                          (given == 1 ? " was" : " were") + " given");
}

// Refuses str, non-sequences and sequences whose own length says that `element_bytes` each
// could not be held; returns an iterator over the elements and a size hint.
PyRef sequence_iterator(PyObject* value, std::size_t element_bytes, std::size_t& size_hint) {
  if (PyUnicode_Check(value)) {
    raise(PyExc_TypeError, "a str is not accepted as a sequence; pass a list or tuple");
    return {};
  }
  if (!PySequence_Check(value)) {
    raise(PyExc_TypeError, std::string("'") + Py_TYPE(value)->tp_name + "' object cannot be converted to 'Sequence'");
    return {};
  }
  Py_ssize_t length = PySequence_Size(value);
  bool too_long = false;
  if (length < 0) {
    too_long = PyErr_ExceptionMatches(PyExc_OverflowError);  // range(10**20): not even countable
    PyErr_Clear();  // otherwise only a hint
    length = 0;
  }
  if (too_long || !fits_in_memory(static_cast<std::uint64_t>(length), element_bytes)) {
    raise(PyExc_MemoryError, "sequence too long to be held in memory");
    return {};
  }
  // A hint only: a huge claimed length must not allocate before the elements are read.
  size_hint = std::min<std::size_t>(static_cast<std::size_t>(length), std::size_t{1} << 16);
  return PyRef::steal(PyObject_GetIter(value));
}

template <class T, class Convert>
std::optional<std::vector<T>> to_sequence(PyObject* value, Convert convert) {
  std::size_t size_hint = 0;
  PyRef iterator = sequence_iterator(value, sizeof(T), size_hint);
  if (!iterator) return std::nullopt;
  std::vector<T> out;
  out.reserve(size_hint);
  while (PyRef item = PyRef::steal(PyIter_Next(iterator.get()))) {
    std::optional<T> element = convert(item.get());
    if (!element) return std::nullopt;
    // Grow by doubling, but never to a size that physical memory could not hold: an iterable
    // that yields more than its length promised is refused rather than exhausting memory.
    if (out.size() == out.capacity()) {
      const std::size_t grown = std::max<std::size_t>(16, 2 * out.capacity());
      if (!fits_in_memory(grown + out.capacity(), sizeof(T))) {  // both buffers live while moving
        raise(PyExc_MemoryError, "sequence too long to be held in memory");
        return std::nullopt;
      }
      out.reserve(grown);
    }
    out.push_back(*element);
  }
  if (PyErr_Occurred()) return std::nullopt;
  return out;
}

std::optional<std::vector<std::uint64_t>> to_uint_sequence(PyObject* value) {
  return to_sequence<std::uint64_t>(value, to_uint);
}
std::optional<std::vector<double>> to_double_sequence(PyObject* value) {
  return to_sequence<double>(value, to_double);
}

// Converts one argument; false with a Python error set on failure.
bool convert_one(const Param& param, PyObject* value, ArgValue& out) {
  const bool has_default_value =
      param.kind == ArgKind::UInt || param.kind == ArgKind::Float || param.kind == ArgKind::OptionalUInt;
  if (value == nullptr && !has_default_value) {
    raise(PyExc_RuntimeError, std::string("internal error: no default for argument '") + param.name + "'");
    return false;
  }
  switch (param.kind) {
    case ArgKind::UInt:
      if (value == nullptr) {
        out = param.default_uint;
        return true;
      } else if (auto v = to_uint(value)) {
        out = *v;
        return true;
      }
      return false;
    case ArgKind::Float:
      if (value == nullptr) {
        out = param.default_float;
        return true;
      } else if (auto v = to_double(value)) {
        out = *v;
        return true;
      }
      return false;
    case ArgKind::Text: {
      if (!PyUnicode_Check(value)) {
        raise(PyExc_TypeError, std::string("'") + Py_TYPE(value)->tp_name + "' object cannot be converted to 'str'");
        return false;
      }
      Py_ssize_t size = 0;
      const char* utf8 = PyUnicode_AsUTF8AndSize(value, &size);
      if (utf8 == nullptr) return false;
      out = std::string(utf8, static_cast<std::size_t>(size));
      return true;
    }
    case ArgKind::OptionalUInt:
      if (value == nullptr || value == Py_None) {
        out = std::optional<std::uint64_t>();
        return true;
      } else if (auto v = to_uint(value)) {
        out = std::optional<std::uint64_t>(*v);
        return true;
      }
      return false;
    case ArgKind::UIntSequence:
      if (auto v = to_uint_sequence(value)) {
        out = std::move(*v);
        return true;
      }
      return false;
    case ArgKind::FloatSequence:
      if (auto v = to_double_sequence(value)) {
        out = std::move(*v);
        return true;
      }
      return false;
    case ArgKind::Instance: {
      PyTypeObject* type = param.instance_type();
      if (type == nullptr) return false;
      if (!PyObject_TypeCheck(value, type)) {
        raise(PyExc_TypeError, std::string("'") + Py_TYPE(value)->tp_name + "' object cannot be converted to '" +
                                   type->tp_name + "'");
        return false;
      }
      out = value;
      return true;
    }
  }
  return false;
}

// A TypeError from a conversion becomes "argument '{name}': {message}" caused by the original.
void wrap_conversion_error(const char* name) {
  if (!PyErr_ExceptionMatches(PyExc_TypeError)) return;
  PyObject *type = nullptr, *value = nullptr, *traceback = nullptr;
  PyErr_Fetch(&type, &value, &traceback);
  PyErr_NormalizeException(&type, &value, &traceback);
  PyRef original = PyRef::steal(value);
  Py_XDECREF(type);
  if (traceback != nullptr) {
    PyException_SetTraceback(original.get(), traceback);
    Py_DECREF(traceback);
  }
  PyRef text = PyRef::steal(PyObject_Str(original.get()));
  if (!text) return;
  PyRef message = PyRef::steal(PyUnicode_FromFormat("argument '%s': %U", name, text.get()));
  if (!message) return;
  PyRef wrapped = PyRef::steal(PyObject_CallOneArg(PyExc_TypeError, message.get()));
  if (!wrapped) return;
  PyException_SetCause(wrapped.get(), original.release());  // steals; also suppresses the context
  PyErr_SetObject(PyExc_TypeError, wrapped.get());
}

}  // namespace

std::optional<std::uint64_t> to_uint(PyObject* value) {
  PyRef index = PyRef::steal(PyNumber_Index(value));
  if (!index) return std::nullopt;
  unsigned long long v = PyLong_AsUnsignedLongLong(index.get());
  if (v == static_cast<unsigned long long>(-1) && PyErr_Occurred()) return std::nullopt;
  return static_cast<std::uint64_t>(v);
}

std::optional<double> to_double(PyObject* value) {
  double v = PyFloat_AsDouble(value);
  if (v == -1.0 && PyErr_Occurred()) return std::nullopt;
  return v;
}

bool bind_arguments(const std::string& callable, std::span<const Param> params, const CallArgs& call,
                    std::array<PyObject*, kMaxParams>& slots) {
  slots.fill(nullptr);
  const std::size_t n_params = params.size();
  const std::size_t n_positional = call.positional.size();
  for (std::size_t i = 0; i < n_positional && i < n_params; ++i) slots[i] = call.positional[i];

  // Keyword problems first, then too many positional, then missing: the interpreter's own order.
  for (std::size_t k = 0; k < call.keyword_names.size(); ++k) {
    PyObject* keyword = call.keyword_names[k];
    std::size_t i = 0;
    while (i < n_params && !keyword_is(keyword, params[i].name)) ++i;
    if (i == n_params) {
      PyRef text = PyRef::steal(PyObject_Str(keyword));
      const char* utf8 = text ? PyUnicode_AsUTF8(text.get()) : nullptr;
      if (utf8 == nullptr) return false;
      return raise_type_error(callable + " got an unexpected keyword argument '" + utf8 + "'");
    }
    if (slots[i] != nullptr) {
      return raise_type_error(callable + " got multiple values for argument '" + params[i].name + "'");
    }
    slots[i] = call.keyword_values[k];
  }
  if (n_positional > n_params) return raise_too_many(callable, params, n_positional);

  std::vector<const char*> missing;
  for (std::size_t i = 0; i < n_params; ++i) {
    if (slots[i] == nullptr && params[i].default_text == nullptr) missing.push_back(params[i].name);
  }
  if (!missing.empty()) return raise_missing(callable, missing);
  return true;
}

bool convert_arguments(std::span<const Param> params, const std::array<PyObject*, kMaxParams>& slots, Args& out) {
  for (std::size_t i = 0; i < params.size(); ++i) {
    if (!convert_one(params[i], slots[i], out.values_[i])) {
      wrap_conversion_error(params[i].name);
      return false;
    }
  }
  return true;
}

std::string signature_parameters(std::span<const Param> params) {
  std::string out;
  for (const Param& p : params) {
    if (!out.empty()) out += ", ";
    out += p.name;
    if (p.default_text != nullptr) out += std::string("=") + p.default_text;
  }
  return out;
}

}  // namespace telm::py
