#pragma once

#include <cstdint>

namespace telm::py {

enum class BorrowMode { Shared, Exclusive };

// Per-object borrow state: 0 free, n > 0 shared borrows, -1 one exclusive borrow. All calls run
// under the interpreter lock, so a plain counter suffices; overlap only comes from re-entry.
class BorrowFlag {
 public:
  // Returns the refusal message, or nullptr when the borrow was taken.
  [[nodiscard]] const char* acquire(BorrowMode mode) {
    if (mode == BorrowMode::Exclusive) {
      if (state_ != 0) return "Already borrowed";
      state_ = -1;
    } else {
      if (state_ < 0) return "Already mutably borrowed";
      ++state_;
    }
    return nullptr;
  }
  void release(BorrowMode mode) {
    if (mode == BorrowMode::Exclusive) {
      state_ = 0;
    } else {
      --state_;
    }
  }

 private:
  std::int64_t state_ = 0;
};

// Holds a taken borrow and gives it back on every exit path.
class BorrowGuard {
 public:
  BorrowGuard(BorrowFlag& flag, BorrowMode mode) : flag_(flag), mode_(mode) {}
  BorrowGuard(const BorrowGuard&) = delete;
  BorrowGuard& operator=(const BorrowGuard&) = delete;
  ~BorrowGuard() { flag_.release(mode_); }

 private:
  BorrowFlag& flag_;
  BorrowMode mode_;
};

}  // namespace telm::py
