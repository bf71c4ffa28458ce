#include "HugePageHeap.hpp"

#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

namespace lumivo::cli {

// A manifest lookup parses the whole file into memory it touches once: about
// 20 MB for a 4.5 MB manifest. In 4 KiB pages that is thousands of page
// faults, and on a virtual machine those cost more than the parse itself.
// Kernels set to give huge pages on request (the "madvise" mode, Debian's
// default) serve this heap 2 MiB at a time instead.
void reserveHugePageHeap(std::size_t bytes) {
    constexpr std::uintptr_t hugePage = 2 << 20;
    // Blocks up to malloc's largest threshold come from the heap, whose next
    // growth adds `bytes` at once; it is never trimmed back.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TOP_PAD, static_cast<int>(bytes));
    mallopt(M_TRIM_THRESHOLD, static_cast<int>(bytes * 2));
    // Start-up has used the heap's first pages; a block larger than what is
    // left makes it grow now.
    void* grown = std::malloc(hugePage);
    const auto begin = (reinterpret_cast<std::uintptr_t>(grown) + hugePage - 1) & ~(hugePage - 1);
    const auto end = reinterpret_cast<std::uintptr_t>(sbrk(0)) & ~(hugePage - 1);
    if (grown != nullptr && end > begin) {
        madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
    }
    std::free(grown);
}

}  // namespace lumivo::cli
