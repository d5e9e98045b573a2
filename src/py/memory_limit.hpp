#pragma once

#include <cstdint>
#include <unistd.h>

namespace telm::py {

// Physical memory in bytes, or 0 when the system does not say.
inline std::uint64_t physical_memory_bytes() {
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long page_size = sysconf(_SC_PAGE_SIZE);
  if (pages <= 0 || page_size <= 0) return 0;
  return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(page_size);
}

// Whether `count` items of `item_bytes` each could be held in physical memory. Larger requests
// are refused before allocating: the kernel may grant them lazily and kill the process once the
// pages are touched, and a sanitizer's allocator ends the process instead of throwing.
inline bool fits_in_memory(std::uint64_t count, std::uint64_t item_bytes) {
  if (item_bytes != 0 && count > UINT64_MAX / item_bytes) return false;
  const std::uint64_t physical = physical_memory_bytes();
  return physical == 0 || count * item_bytes <= physical;
}

}  // namespace telm::py
