#pragma once
#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace layers {

// Slicing frees its cut outlines, unions and island counts in small pieces
// between the polygons it keeps, and the allocator keeps those pages: without
// handing them back, they add up to most of the layers' own size.
inline void ReturnFreedMemory()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

} // namespace layers
