/* SPDX-License-Identifier: MIT */
// Storage for an image's bytes. Pictures of megabytes are allocated on
// 2 MiB boundaries and offered to the kernel's huge pages: first touching a
// fresh 36 MB image 4 KiB at a time costs about 100 ms on a virtual
// machine (a fault per page), in 2 MiB pages about 4 ms. Header only, so
// that hosts beside the photo library (the GIMP plug-in) allocate their
// pixels the same way; on Windows, which has no such advice, it is malloc.
#pragma once

#ifndef _WIN32
#include <sys/mman.h>
#endif

#include <cstdint>
#include <cstdlib>
#include <new>
#include <vector>

namespace zv::photo::detail {

template <class T>
struct LargePageAllocator {
    using value_type = T;
    static constexpr size_t kLarge = size_t{4} << 20, kAlignment = size_t{2} << 20;

    LargePageAllocator() = default;
    template <class U>
    LargePageAllocator(const LargePageAllocator<U>&) {}

    T* allocate(size_t n) {
        const size_t bytes = n * sizeof(T);
        void* p = nullptr;
#ifdef _WIN32
        p = std::malloc(bytes);
#else
        if (bytes < kLarge) {
            p = std::malloc(bytes);
        } else if (posix_memalign(&p, kAlignment, bytes) != 0) {
            p = nullptr;
        } else {
#ifdef MADV_HUGEPAGE
            madvise(p, bytes, MADV_HUGEPAGE);  // advice only: a refusal changes nothing
#endif
        }
#endif
        if (!p) throw std::bad_alloc();
        return static_cast<T*>(p);
    }
    void deallocate(T* p, size_t) {
        std::free(p);
    }

    template <class U>
    bool operator==(const LargePageAllocator<U>&) const {
        return true;
    }
};

using PixelBytes = std::vector<uint8_t, LargePageAllocator<uint8_t>>;

}  // namespace zv::photo::detail
