#include "tests/soak/AllocationCounter.h"

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

#if defined(__SANITIZE_ADDRESS__)
#define QUENDAR_COUNT_MALLOC 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUENDAR_COUNT_MALLOC 0
#endif
#endif
#ifndef QUENDAR_COUNT_MALLOC
#define QUENDAR_COUNT_MALLOC 1
#endif

namespace {
std::atomic<bool> counting{false};
std::atomic<uint64_t> allocations{0};
std::atomic<uint64_t> largestRequest{0};

inline void note(std::size_t size) {
    if (!counting.load(std::memory_order_relaxed)) return;
    allocations.fetch_add(1, std::memory_order_relaxed);
    uint64_t seen = largestRequest.load(std::memory_order_relaxed);
    while (size > seen && !largestRequest.compare_exchange_weak(seen, size)) {
    }
}
}  // namespace

namespace allocation_counter {
void start() {
    allocations.store(0);
    largestRequest.store(0);
    counting.store(true);
}
uint64_t stop() {
    counting.store(false);
    return allocations.load();
}
uint64_t largest() { return largestRequest.load(); }
bool countsMalloc() { return QUENDAR_COUNT_MALLOC != 0; }
}  // namespace allocation_counter

#if QUENDAR_COUNT_MALLOC
// glibc's own entry points, under the names it exports for exactly this use.
extern "C" {
void *__libc_malloc(std::size_t size);
void *__libc_calloc(std::size_t count, std::size_t size);
void *__libc_realloc(void *pointer, std::size_t size);
void *__libc_memalign(std::size_t alignment, std::size_t size);
void __libc_free(void *pointer);

void *malloc(std::size_t size) {
    note(size);
    return __libc_malloc(size);
}
void *calloc(std::size_t count, std::size_t size) {
    note(count * size);
    return __libc_calloc(count, size);
}
void *realloc(void *pointer, std::size_t size) {
    note(size);
    return __libc_realloc(pointer, size);
}
void *memalign(std::size_t alignment, std::size_t size) {
    note(size);
    return __libc_memalign(alignment, size);
}
void *aligned_alloc(std::size_t alignment, std::size_t size) {
    note(size);
    return __libc_memalign(alignment, size);
}
int posix_memalign(void **out, std::size_t alignment, std::size_t size) {
    note(size);
    void *p = __libc_memalign(alignment, size);
    if (p == nullptr) return 12;   // ENOMEM
    *out = p;
    return 0;
}
void free(void *pointer) { __libc_free(pointer); }
}
#endif

// operator new in every form, on top of malloc (counted once either way).
namespace {
void *allocate(std::size_t size) {
#if !QUENDAR_COUNT_MALLOC
    note(size);
#endif
    if (size == 0) size = 1;
    void *p = std::malloc(size);
    if (p == nullptr) throw std::bad_alloc();
    return p;
}
void *allocateAligned(std::size_t size, std::size_t alignment) {
#if !QUENDAR_COUNT_MALLOC
    note(size);
#endif
    if (size == 0) size = 1;
    void *p = nullptr;
    if (posix_memalign(&p, alignment < sizeof(void *) ? sizeof(void *) : alignment, size) != 0)
        throw std::bad_alloc();
    return p;
}
}  // namespace

void *operator new(std::size_t size) { return allocate(size); }
void *operator new[](std::size_t size) { return allocate(size); }
void *operator new(std::size_t size, const std::nothrow_t &) noexcept {
    try {
        return allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void *operator new[](std::size_t size, const std::nothrow_t &) noexcept {
    try {
        return allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void *operator new(std::size_t size, std::align_val_t a) { return allocateAligned(size, static_cast<std::size_t>(a)); }
void *operator new[](std::size_t size, std::align_val_t a) { return allocateAligned(size, static_cast<std::size_t>(a)); }
void operator delete(void *p) noexcept { std::free(p); }
void operator delete[](void *p) noexcept { std::free(p); }
void operator delete(void *p, std::size_t) noexcept { std::free(p); }
void operator delete[](void *p, std::size_t) noexcept { std::free(p); }
void operator delete(void *p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void *p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void *p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void *p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete(void *p, const std::nothrow_t &) noexcept { std::free(p); }
void operator delete[](void *p, const std::nothrow_t &) noexcept { std::free(p); }
