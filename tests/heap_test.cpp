// Freed memory stays in the heap once the program has asked for it at start.
#include "shell/main/heap.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#ifdef __GLIBC__
#include <malloc.h>

// AddressSanitizer replaces glibc's allocator: GCC says so with
// __SANITIZE_ADDRESS__, clang through __has_feature.
#if defined(__SANITIZE_ADDRESS__)
#define PATHWICK_ALLOCATOR_REPLACED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PATHWICK_ALLOCATOR_REPLACED 1
#endif
#endif

namespace {

// Blocks small enough to come from the heap rather than from mappings of
// their own, together far above glibc's default trim threshold.
constexpr size_t kBlockBytes = 64 * 1024;
constexpr int kBlockCount = 256;

TEST(KeepFreedMemoryInHeapTest, FreedBlocksAtTheTopOfTheHeapStayInTheProcess) {
#ifdef PATHWICK_ALLOCATOR_REPLACED
  GTEST_SKIP() << "AddressSanitizer replaces glibc's allocator: mallopt does not reach the heap "
                  "in use and mallinfo2 reports none, so the check would pass whatever "
                  "KeepFreedMemoryInHeap does";
#endif
  KeepFreedMemoryInHeap();
  std::vector<void*> blocks;
  for (int i = 0; i < kBlockCount; ++i) {
    blocks.push_back(std::malloc(kBlockBytes));
    ASSERT_NE(blocks.back(), nullptr);
    std::memset(blocks.back(), 1, kBlockBytes);
  }
  const size_t heapInUse = mallinfo2().arena;
  for (void* block : blocks) std::free(block);
  EXPECT_GE(mallinfo2().arena, heapInUse) << "freed memory went back to the system";
}

}  // namespace
#endif
