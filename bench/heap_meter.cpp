// The global allocation functions, replaced: each block carries its size in
// a header so that the release can count it down.
#include "bench/heap_meter.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<std::size_t> held{0};
std::atomic<std::size_t> peak{0};

// Keeps the blocks aligned as malloc's are.
constexpr std::size_t kHeader = alignof(std::max_align_t);

void* Take(std::size_t size) noexcept {
    void* raw = std::malloc(size + kHeader);
    if (raw == nullptr) return nullptr;
    *static_cast<std::size_t*>(raw) = size;
    std::size_t now = held.fetch_add(size) + size;
    std::size_t seen = peak.load();
    while (now > seen && !peak.compare_exchange_weak(seen, now)) {
    }
    return static_cast<char*>(raw) + kHeader;
}

void Give(void* block) noexcept {
    if (block == nullptr) return;
    void* raw = static_cast<char*>(block) - kHeader;
    held.fetch_sub(*static_cast<std::size_t*>(raw));
    std::free(raw);
}

void* TakeOrThrow(std::size_t size) {
    void* block = Take(size);
    if (block == nullptr) throw std::bad_alloc();
    return block;
}

}  // namespace

void* operator new(std::size_t size) { return TakeOrThrow(size); }
void* operator new[](std::size_t size) { return TakeOrThrow(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Take(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Take(size); }
void operator delete(void* block) noexcept { Give(block); }
void operator delete[](void* block) noexcept { Give(block); }
void operator delete(void* block, std::size_t) noexcept { Give(block); }
void operator delete[](void* block, std::size_t) noexcept { Give(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { Give(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { Give(block); }

namespace bench {

HeapPeak::HeapPeak() : start_(held.load()) { peak.store(start_); }

std::size_t HeapPeak::BytesAboveStart() const {
    std::size_t most = peak.load();
    return most > start_ ? most - start_ : 0;
}

}  // namespace bench
