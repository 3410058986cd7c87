#include "AllocationCounter.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

// Each block carries its size in front of it, aligned as operator new must align.
constexpr size_t kHeader = alignof(std::max_align_t);

std::atomic<size_t> g_held{0};
std::atomic<size_t> g_base{0};
std::atomic<size_t> g_peak{0};

void* Allocate(size_t size) {
    void* block = std::malloc(size + kHeader);
    if (!block) throw std::bad_alloc();
    *static_cast<size_t*>(block) = size;
    const size_t held = g_held.fetch_add(size, std::memory_order_relaxed) + size;
    size_t peak = g_peak.load(std::memory_order_relaxed);
    while (held > peak && !g_peak.compare_exchange_weak(peak, held, std::memory_order_relaxed)) {
    }
    return static_cast<char*>(block) + kHeader;
}

void Release(void* pointer) {
    if (!pointer) return;
    void* block = static_cast<char*>(pointer) - kHeader;
    g_held.fetch_sub(*static_cast<size_t*>(block), std::memory_order_relaxed);
    std::free(block);
}

}  // namespace

namespace alloc_count {

void Start() {
    const size_t held = g_held.load();
    g_base = held;
    g_peak = held;
}

size_t Peak() {
    return g_peak.load() - g_base.load();
}

}  // namespace alloc_count

void* operator new(size_t size) {
    return Allocate(size);
}
void* operator new[](size_t size) {
    return Allocate(size);
}
void* operator new(size_t size, const std::nothrow_t&) noexcept {
    try {
        return Allocate(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
    try {
        return Allocate(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void operator delete(void* pointer) noexcept {
    Release(pointer);
}
void operator delete[](void* pointer) noexcept {
    Release(pointer);
}
void operator delete(void* pointer, size_t) noexcept {
    Release(pointer);
}
void operator delete[](void* pointer, size_t) noexcept {
    Release(pointer);
}
void operator delete(void* pointer, const std::nothrow_t&) noexcept {
    Release(pointer);
}
void operator delete[](void* pointer, const std::nothrow_t&) noexcept {
    Release(pointer);
}
