#pragma once

// glibc's own allocator only: under a sanitizer its arenas are never set up,
// and trimming them from a worker thread aborts at that thread's exit.
#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
#if defined(__has_feature)
#if !__has_feature(address_sanitizer) && !__has_feature(thread_sanitizer) && !__has_feature(memory_sanitizer)
#define LAYERS_TRIM_FREED_MEMORY 1
#endif
#else
#define LAYERS_TRIM_FREED_MEMORY 1
#endif
#endif

#if LAYERS_TRIM_FREED_MEMORY
#include <malloc.h>
#endif

namespace layers {

// Slicing frees its cut outlines, unions and island counts in small pieces
// between the polygons it keeps, and the allocator keeps those pages: without
// handing them back, they add up to most of the layers' own size.
inline void ReturnFreedMemory()
{
#if LAYERS_TRIM_FREED_MEMORY
    malloc_trim(0);
#endif
}

} // namespace layers
