#include "tools/heap_pages.h"

#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace nxtools {

bool heap_on_huge_pages(std::size_t bytes, std::string& why) {
  constexpr std::uintptr_t kHugePage = 2u << 20;
  // The allocator's largest threshold for mappings of their own.
  constexpr int kFromHeapUpTo = 32 << 20;
  if (mallopt(M_MMAP_THRESHOLD, kFromHeapUpTo) != 1 || mallopt(M_TOP_PAD, static_cast<int>(bytes)) != 1 ||
      mallopt(M_TRIM_THRESHOLD, static_cast<int>(2 * bytes)) != 1) {
    why = "the allocator takes no such settings";
    return false;
  }
  // More than the heap has free at start: it grows by this and the pad.
  void* probe = std::malloc(4 << 20);
  const auto start = reinterpret_cast<std::uintptr_t>(probe);
  const auto end = reinterpret_cast<std::uintptr_t>(sbrk(0));
  const std::uintptr_t from = (start + kHugePage - 1) & ~(kHugePage - 1);
  bool advised = false;
  if (probe == nullptr || from >= end) {
    why = "the allocator does not grow the heap";
  } else if (madvise(reinterpret_cast<void*>(from), end - from, MADV_HUGEPAGE) != 0) {
    why = std::string("madvise: ") + std::strerror(errno);
  } else {
    advised = true;
  }
  std::free(probe);
  return advised;
}

}  // namespace nxtools
