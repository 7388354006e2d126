#include "support/AllocationCounter.h"

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

namespace {

std::atomic<long> allocations{0};

void Count() { allocations.fetch_add(1, std::memory_order_relaxed); }

}  // namespace

#if defined(__GLIBC__)

// glibc's own entry points, for the counting versions to call.
extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* p, std::size_t size);
void* __libc_memalign(std::size_t align, std::size_t size);
}

namespace {
void* Plain(std::size_t size) { return __libc_malloc(size ? size : 1); }
void* Aligned(std::size_t size, std::size_t align) {
    return __libc_memalign(align, (size + align - 1) / align * align);
}
void FreeAligned(void* p) { std::free(p); }
}  // namespace

extern "C" void* malloc(std::size_t size) noexcept {
    Count();
    return __libc_malloc(size);
}
extern "C" void* calloc(std::size_t count, std::size_t size) noexcept {
    Count();
    return __libc_calloc(count, size);
}
extern "C" void* realloc(void* p, std::size_t size) noexcept {
    Count();
    return __libc_realloc(p, size);
}
extern "C" void* aligned_alloc(std::size_t align, std::size_t size) noexcept {
    Count();
    return __libc_memalign(align, size);
}

#else

namespace {
void* Plain(std::size_t size) { return std::malloc(size ? size : 1); }
#if defined(_WIN32)
// Windows has no aligned_alloc, and its aligned blocks have their own free.
void* Aligned(std::size_t size, std::size_t align) {
    return _aligned_malloc(size ? size : 1, align);
}
void FreeAligned(void* p) { _aligned_free(p); }
#else
void* Aligned(std::size_t size, std::size_t align) {
    return std::aligned_alloc(align, (size + align - 1) / align * align);
}
void FreeAligned(void* p) { std::free(p); }
#endif
}  // namespace

#endif

namespace {

void* Counted(std::size_t size) {
    Count();
    if (void* p = Plain(size)) return p;
    throw std::bad_alloc();
}

void* CountedAligned(std::size_t size, std::align_val_t align) {
    Count();
    if (void* p = Aligned(size, static_cast<std::size_t>(align))) return p;
    throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t size) { return Counted(size); }
void* operator new[](std::size_t size) { return Counted(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    Count();
    return Plain(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    Count();
    return Plain(size);
}
void* operator new(std::size_t size, std::align_val_t align) { return CountedAligned(size, align); }
void* operator new[](std::size_t size, std::align_val_t align) {
    return CountedAligned(size, align);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { FreeAligned(p); }
void operator delete[](void* p, std::align_val_t) noexcept { FreeAligned(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { FreeAligned(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { FreeAligned(p); }

long tarnwick::test::Allocations() { return allocations.load(std::memory_order_relaxed); }
