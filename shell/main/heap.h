// How the C library's heap treats memory freed between frames.
#pragma once

// Keeps freed memory in the process's heap for reuse instead of handing it
// back to the system. Call once at start-up, before anything allocates much.
// Does nothing where the C library is not glibc.
void KeepFreedMemoryInHeap();
