#pragma once

#include <cstddef>

namespace lumivo::cli {

// Grows the heap once by `bytes` and asks the kernel to back it with
// transparent huge pages, for a process that fills fresh memory once and
// ends. Where the kernel offers no huge pages it only grows the heap.
void reserveHugePageHeap(std::size_t bytes);

}  // namespace lumivo::cli
