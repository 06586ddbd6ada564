#include "core/heappages.hpp"

#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

namespace RepositoryAccess::heappages {

#if !defined(__SANITIZE_ADDRESS__)
namespace {

constexpr std::size_t kGrowth = std::size_t{64} << 20;
constexpr std::uintptr_t kLargePage = std::uintptr_t{2} << 20;

std::uintptr_t heapEnd() {
    return reinterpret_cast<std::uintptr_t>(::sbrk(0));
}

} // namespace
#endif

void prepare() {
#if !defined(__SANITIZE_ADDRESS__)
    // Blocks up to 32 MiB come from the heap rather than from mappings of their own, which each
    // would begin with small pages again; the heap keeps what it was given back.
    ::mallopt(M_MMAP_THRESHOLD, 32 << 20);
    ::mallopt(M_TRIM_THRESHOLD, 256 << 20);
    ::mallopt(M_TOP_PAD, static_cast<int>(kGrowth));
    // One block makes the heap grow now, by the block and the 64 MiB above it; the address space
    // from the first whole large page to the heap's end is then offered for large pages.
    const std::uintptr_t aBegin = heapEnd();
    void* volatile aBlock = std::malloc(kGrowth / 4);
    std::free(aBlock);
    const std::uintptr_t anEnd = heapEnd();
    const std::uintptr_t aStart = (aBegin + kLargePage - 1) & ~(kLargePage - 1);
    if (anEnd > aStart)
        ::madvise(reinterpret_cast<void*>(aStart), anEnd - aStart, MADV_HUGEPAGE);
#endif
}

} // namespace RepositoryAccess::heappages
