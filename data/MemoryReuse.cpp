#include "MemoryReuse.h"

#include <cstdlib> // says which C library this is
#if defined(__GLIBC__)
#include <malloc.h>
#endif

void keepFreedMemoryForReuse() {
#if defined(__GLIBC__)
    // Blocks up to the largest the heap allows (32 MiB) come from it, not a mapping of their
    // own; up to 512 MiB freed at the heap's top stays there for the next result.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 512 << 20);
#endif
}
