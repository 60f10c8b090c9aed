#pragma once

// Whole-image byte buffers.

#include <cstdint>
#include <cstdlib>
#include <new>
#include <sys/mman.h>
#include <vector>

namespace korvane {

// Whole-image buffers (tens of megabytes) in huge pages where the system offers them: the
// first touch of every 4 KB page otherwise costs more than the work done on it.
template <class T> struct THugePageAllocator {
    using value_type = T;
    THugePageAllocator() = default;
    template <class U> THugePageAllocator(const THugePageAllocator<U>&) {}
    static constexpr std::size_t Huge = std::size_t(2) << 20;
    T* allocate(std::size_t Count) {
        const std::size_t Bytes = Count * sizeof(T);
        if (Bytes < 2 * Huge) {
            if (void* P = std::malloc(Bytes))
                return static_cast<T*>(P);
            throw std::bad_alloc();
        }
        const std::size_t Rounded = (Bytes + Huge - 1) / Huge * Huge;
        void* P = std::aligned_alloc(Huge, Rounded);
        if (!P)
            throw std::bad_alloc();
        ::madvise(P, Rounded, MADV_HUGEPAGE);
        return static_cast<T*>(P);
    }
    void deallocate(T* P, std::size_t) { std::free(P); }
    friend bool operator==(const THugePageAllocator&, const THugePageAllocator&) { return true; }
};
using TPixelBuffer = std::vector<std::uint8_t, THugePageAllocator<std::uint8_t>>;

} // namespace korvane
