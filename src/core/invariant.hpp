#pragma once

#include <optional>
#include <string>

namespace telm {

// A violated internal precondition is a programming error that no valid input reaches. The
// library neither throws nor aborts for it: the detecting code records it here and returns
// without touching its data, and the Python boundary raises it after the call.
void note_invariant_violation(const char* what) noexcept;

// The first violation recorded on this thread since the last call, cleared by taking it.
[[nodiscard]] std::optional<std::string> take_invariant_violation() noexcept;

}  // namespace telm

// Records the violation and returns `result` from the enclosing function when `cond` is false.
#define TELM_EXPECT(cond, result)                                       \
  do {                                                                  \
    if (!(cond)) [[unlikely]] {                                         \
      ::telm::note_invariant_violation(__FILE__ ": " #cond);            \
      return result;                                                    \
    }                                                                   \
  } while (false)
