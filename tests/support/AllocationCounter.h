#pragma once
// Counts the heap allocations of the program it is linked into, by replacing
// the global allocation functions with counting ones: every operator new,
// and with glibc also malloc, calloc, realloc and aligned_alloc (the pixel
// buffers of bitmaps come from calloc). Each allocation is counted once.
// Link the CMake target tarnwick_test_support_alloc, an object library, so
// that the replacements are in the program whatever else it links.

namespace tarnwick::test {

// The allocations the process has made so far.
long Allocations();

}  // namespace tarnwick::test
