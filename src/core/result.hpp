#pragma once

#include <expected>
#include <utility>

#include "core/error.hpp"

namespace telm {

template <class T>
using Result = std::expected<T, TelmError>;
using Status = std::expected<void, TelmError>;

inline std::unexpected<TelmError> fail(TelmError error) { return std::unexpected<TelmError>(std::move(error)); }

}  // namespace telm

#define TELM_CONCAT_INNER(a, b) a##b
#define TELM_CONCAT(a, b) TELM_CONCAT_INNER(a, b)

// Returns the error of a failed Status or Result from the enclosing function.
#define TELM_TRY(expr)                                                   \
  do {                                                                   \
    if (auto telm_try_result_ = (expr); !telm_try_result_) {             \
      return ::std::unexpected(std::move(telm_try_result_).error());     \
    }                                                                    \
  } while (false)

// Declares `lhs` from a successful Result, or returns its error from the enclosing function.
#define TELM_ASSIGN_OR_RETURN(lhs, expr) TELM_ASSIGN_OR_RETURN_IMPL(TELM_CONCAT(telm_result_, __LINE__), lhs, expr)
#define TELM_ASSIGN_OR_RETURN_IMPL(tmp, lhs, expr)       \
  auto tmp = (expr);                                     \
  if (!tmp) return ::std::unexpected(std::move(tmp).error()); \
  lhs = std::move(tmp).value()
