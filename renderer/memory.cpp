// The renderer's memory functions: receive sizes, hand on blocks from the platform allocator.
// Most callers do not check for null; those that can report a failure do so themselves.
#include <cstdlib>

#include "renderer/context.h"

void* glAlloc(size_t size) { return std::malloc(size); }

void* glAllocZero(size_t size) { return std::calloc(1, size); }

void glFree(void* p) { std::free(p); }
