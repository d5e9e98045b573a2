#pragma once

#include "py/py_ref.hpp"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace telm::py {

// How a parameter's Python value is converted.
enum class ArgKind {
  UInt,         // an int or any object with __index__, fitting an unsigned 64-bit integer
  Float,        // anything the interpreter converts to a double
  Text,         // an instance of str
  OptionalUInt, // None (or left out) for "absent", otherwise as UInt
  UIntSequence, // a sequence (not str) whose elements convert as UInt
  FloatSequence,// a sequence (not str) whose elements convert as Float
  Instance,     // an instance of one module class
};

using TypeGetter = PyTypeObject* (*)();

// One declared parameter. `default_text` is null for a required parameter; otherwise it is the
// default as the text signature shows it, and default_uint/default_float hold its value.
struct Param {
  const char* name;
  ArgKind kind;
  const char* default_text = nullptr;
  std::uint64_t default_uint = 0;
  double default_float = 0.0;
  TypeGetter instance_type = nullptr;  // for ArgKind::Instance
};

inline constexpr std::size_t kMaxParams = 6;

using ArgValue = std::variant<std::monostate, std::uint64_t, double, std::string, std::optional<std::uint64_t>,
                              std::vector<std::uint64_t>, std::vector<double>, PyObject*>;

// The converted arguments of one call, in signature order. Instance values are borrowed from
// the call's arguments and valid only during the call.
class Args {
 public:
  [[nodiscard]] std::uint64_t uint(std::size_t i) const { return std::get<std::uint64_t>(values_[i]); }
  [[nodiscard]] double real(std::size_t i) const { return std::get<double>(values_[i]); }
  [[nodiscard]] const std::string& text(std::size_t i) const { return std::get<std::string>(values_[i]); }
  [[nodiscard]] std::optional<std::uint64_t> optional_uint(std::size_t i) const {
    return std::get<std::optional<std::uint64_t>>(values_[i]);
  }
  [[nodiscard]] const std::vector<std::uint64_t>& uints(std::size_t i) const {
    return std::get<std::vector<std::uint64_t>>(values_[i]);
  }
  [[nodiscard]] const std::vector<double>& reals(std::size_t i) const {
    return std::get<std::vector<double>>(values_[i]);
  }
  [[nodiscard]] PyObject* object(std::size_t i) const { return std::get<PyObject*>(values_[i]); }

  std::array<ArgValue, kMaxParams> values_;
};

// The arguments of one call as the interpreter passes them to a vectorcall entry: positional
// values, then keyword values whose names are in `keyword_names`.
struct CallArgs {
  std::span<PyObject* const> positional;
  std::span<PyObject* const> keyword_names;
  std::span<PyObject* const> keyword_values;
};

// Step (a): matches arguments to parameters by position and name. Fills slots[i] with a
// borrowed value, or nullptr for a parameter left out. Raises TypeError on failure.
[[nodiscard]] bool bind_arguments(const std::string& callable, std::span<const Param> params, const CallArgs& call,
                                  std::array<PyObject*, kMaxParams>& slots);

// Step (d): converts the bound values in signature order; the first failure is raised.
[[nodiscard]] bool convert_arguments(std::span<const Param> params, const std::array<PyObject*, kMaxParams>& slots,
                                     Args& out);

// The parameter list of a text signature: "gate, targets, param_index=None".
[[nodiscard]] std::string signature_parameters(std::span<const Param> params);

// Single-value converters, also used where a Python value must be read outside binding.
[[nodiscard]] std::optional<std::uint64_t> to_uint(PyObject* value);
[[nodiscard]] std::optional<double> to_double(PyObject* value);

}  // namespace telm::py
