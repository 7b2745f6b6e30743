#include "shell/main/heap.h"

#include <cstdlib>  // any C library header says whether it is glibc

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

// Freed memory at the top of the heap stays there up to this much.
constexpr int kTrimThresholdBytes = 1 << 30;

}  // namespace

// Mesa allocates and frees buffers for every batch of a frame. With glibc's
// default trim threshold (128 KiB, adjusted as it goes), the top of the heap
// is often given back to the system at the end of a frame and faulted in
// afresh in the next one: several hundred page faults a frame, which has
// halved the frame rate. Keeping that memory costs the process no more than
// its largest frame needs.
void KeepFreedMemoryInHeap() {
#ifdef __GLIBC__
  mallopt(M_TRIM_THRESHOLD, kTrimThresholdBytes);
#endif
}
