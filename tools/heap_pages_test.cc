// The heap is advised as a whole: the first try advised only what the heap
// had before it grew, and the ingest faulted as often as without it.
#include "tools/heap_pages.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

bool sanitized() {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
  return true;
#endif
#endif
  return false;
}

// The flags of the mappings that hold [from, to), joined by '|'.
std::string flags_over(std::uintptr_t from, std::uintptr_t to) {
  std::ifstream smaps("/proc/self/smaps");
  std::string line, out;
  bool inside = false;
  while (std::getline(smaps, line)) {
    std::uintptr_t lo = 0, hi = 0;
    char dash = 0;
    std::istringstream range(line);
    if (range >> std::hex >> lo >> dash >> hi && dash == '-') {
      inside = lo < to && hi > from;
    } else if (inside && line.rfind("VmFlags:", 0) == 0) {
      out += (out.empty() ? "" : "|") + line.substr(8);
    }
  }
  return out;
}

TEST(HeapPages, TheGrownHeapIsAdvisedAndServesLargeBlocks) {
  if (sanitized()) GTEST_SKIP() << "a sanitizer's allocator does not use the heap";
  std::string why;
  const bool advised = nxtools::heap_on_huge_pages(64 << 20, why);
  if (!advised && why.find("madvise") != std::string::npos) GTEST_SKIP() << "no huge pages here: " << why;
  ASSERT_TRUE(advised) << why;
  // A block of 16 MiB comes from the heap now, well past where it began,
  // and every mapping it lies in is advised.
  void* block = std::malloc(16 << 20);
  ASSERT_NE(block, nullptr);
  const auto at = reinterpret_cast<std::uintptr_t>(block);
  const auto brk = reinterpret_cast<std::uintptr_t>(sbrk(0));
  EXPECT_LT(at, brk);
  const std::string flags = flags_over(at + (4 << 20), at + (12 << 20));
  EXPECT_FALSE(flags.empty());
  std::istringstream each(flags);
  for (std::string one; std::getline(each, one, '|');) EXPECT_NE(one.find(" hg"), std::string::npos) << one;
  std::free(block);
}

}  // namespace
