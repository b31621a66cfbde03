#include "HeapPeak.h"

#include <malloc.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>

// glibc's own entry points, under the names it exports beside the public ones.
extern "C" {
void *__libc_malloc(std::size_t size) noexcept;
void __libc_free(void *block) noexcept;
void *__libc_calloc(std::size_t count, std::size_t size) noexcept;
void *__libc_realloc(void *block, std::size_t size) noexcept;
void *__libc_memalign(std::size_t alignment, std::size_t size) noexcept;
void *__libc_valloc(std::size_t size) noexcept;
void *__libc_pvalloc(std::size_t size) noexcept;
}

namespace {

// The allocator is process-wide, so its count is too.
std::atomic<bool> counting{false};
std::atomic<std::int64_t> live{0};
std::atomic<std::int64_t> peak{0};

void change(std::int64_t bytes) {
    const std::int64_t now = live.fetch_add(bytes, std::memory_order_relaxed) + bytes;
    std::int64_t seen = peak.load(std::memory_order_relaxed);
    while (now > seen && !peak.compare_exchange_weak(seen, now, std::memory_order_relaxed)) {
    }
}

void *allocated(void *block) {
    if (block && counting.load(std::memory_order_relaxed)) change(std::int64_t(malloc_usable_size(block)));
    return block;
}

}  // namespace

extern "C" {

void *malloc(std::size_t size) noexcept { return allocated(__libc_malloc(size)); }

void free(void *block) noexcept {
    if (block && counting.load(std::memory_order_relaxed)) change(-std::int64_t(malloc_usable_size(block)));
    __libc_free(block);
}

void *calloc(std::size_t count, std::size_t size) noexcept { return allocated(__libc_calloc(count, size)); }

void *realloc(void *block, std::size_t size) noexcept {
    const bool counted = counting.load(std::memory_order_relaxed);
    const auto before = block && counted ? std::int64_t(malloc_usable_size(block)) : 0;
    void *moved = __libc_realloc(block, size);
    if (counted) {
        if (moved) change(std::int64_t(malloc_usable_size(moved)) - before);
        else if (size == 0) change(-before);  // freed
    }
    return moved;
}

void *memalign(std::size_t alignment, std::size_t size) noexcept { return allocated(__libc_memalign(alignment, size)); }
void *aligned_alloc(std::size_t alignment, std::size_t size) noexcept {
    return allocated(__libc_memalign(alignment, size));
}
void *valloc(std::size_t size) noexcept { return allocated(__libc_valloc(size)); }
void *pvalloc(std::size_t size) noexcept { return allocated(__libc_pvalloc(size)); }

int posix_memalign(void **out, std::size_t alignment, std::size_t size) noexcept {
    if (alignment % sizeof(void *) != 0 || (alignment & (alignment - 1)) != 0) return EINVAL;
    void *block = __libc_memalign(alignment, size);
    if (!block) return ENOMEM;
    *out = allocated(block);
    return 0;
}

}  // extern "C"

namespace ondrake::bench {

HeapPeak::HeapPeak() {
    live.store(0);
    peak.store(0);
    counting.store(true);
}

HeapPeak::~HeapPeak() { counting.store(false); }

std::int64_t HeapPeak::bytes() const { return peak.load(); }

}  // namespace ondrake::bench
