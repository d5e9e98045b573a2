#include "core/invariant.hpp"

namespace telm {
namespace {

// A fixed buffer so that recording never allocates.
struct Violation {
  bool set = false;
  const char* what = nullptr;
};
thread_local Violation last_violation;

}  // namespace

void note_invariant_violation(const char* what) noexcept {
  if (!last_violation.set) last_violation = Violation{true, what};
}

std::optional<std::string> take_invariant_violation() noexcept {
  if (!last_violation.set) return std::nullopt;
  const char* what = last_violation.what;
  last_violation = Violation{};
  try {
    return std::string(what);
  } catch (...) {
    return std::nullopt;
  }
}

}  // namespace telm
