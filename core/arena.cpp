#include "core/arena.hpp"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#include <sys/mman.h>

namespace RepositoryAccess {

// The header at the start of every block.
struct Arena::Block {
    Block* itsNext;
    std::size_t itsSize;
    bool itsMapped; // taken from the system directly, not from the heap
};

namespace {

constexpr std::size_t kFirstBlockSize = 16 * 1024;
constexpr std::size_t kMaxBlockSize = 4 * 1024 * 1024;
constexpr std::size_t kHugePage = 2 * 1024 * 1024;

// A block of theSize bytes. With theHugePages, one of whole huge pages is mapped: the system places
// such a mapping on a huge-page boundary, and the advice lets it back the block with huge pages
// (where the system offers none, small pages serve). Where mapping fails the heap serves.
void* newBlock(std::size_t theSize, bool theHugePages, bool& theMapped) {
    if (theHugePages && theSize % kHugePage == 0) {
        void* aData =
            ::mmap(nullptr, theSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (aData != MAP_FAILED) {
            ::madvise(aData, theSize, MADV_HUGEPAGE);
            theMapped = true;
            return aData;
        }
    }
    theMapped = false;
    void* aData = std::malloc(theSize);
    if (aData == nullptr)
        throw std::bad_alloc();
    return aData;
}

} // namespace

Arena::~Arena() {
    release();
}

Arena::Arena(Arena&& theOther) noexcept
    : itsBlocks(std::exchange(theOther.itsBlocks, nullptr)),
      itsCurrent(std::exchange(theOther.itsCurrent, nullptr)),
      itsEnd(std::exchange(theOther.itsEnd, nullptr)),
      itsNextBlockSize(std::exchange(theOther.itsNextBlockSize, 0)),
      itsBytesReserved(std::exchange(theOther.itsBytesReserved, 0)),
      itsHugePages(theOther.itsHugePages) {}

Arena& Arena::operator=(Arena&& theOther) noexcept {
    if (this != &theOther) {
        release();
        itsBlocks = std::exchange(theOther.itsBlocks, nullptr);
        itsCurrent = std::exchange(theOther.itsCurrent, nullptr);
        itsEnd = std::exchange(theOther.itsEnd, nullptr);
        itsNextBlockSize = std::exchange(theOther.itsNextBlockSize, 0);
        itsBytesReserved = std::exchange(theOther.itsBytesReserved, 0);
        itsHugePages = theOther.itsHugePages;
    }
    return *this;
}

void Arena::release() noexcept {
    while (itsBlocks != nullptr) {
        Block* aNext = itsBlocks->itsNext;
        if (itsBlocks->itsMapped)
            ::munmap(itsBlocks, itsBlocks->itsSize);
        else
            std::free(itsBlocks);
        itsBlocks = aNext;
    }
    itsCurrent = itsEnd = nullptr;
}

void* Arena::allocateInNewBlock(std::size_t theSize, std::size_t theAlign) {
    const std::size_t aHeader = (sizeof(Block) + 15) & ~std::size_t(15);
    const std::size_t aNeed = theSize + theAlign + aHeader;
    if (itsNextBlockSize == 0)
        itsNextBlockSize = kFirstBlockSize;
    const bool aDedicated = aNeed > itsNextBlockSize / 2;
    const std::size_t aBlockSize = aDedicated ? aNeed : itsNextBlockSize;
    bool aMapped = false;
    auto* aBlock = static_cast<Block*>(newBlock(aBlockSize, itsHugePages, aMapped));
    aBlock->itsSize = aBlockSize;
    aBlock->itsMapped = aMapped;
    itsBytesReserved += aBlockSize;
    char* aBegin = reinterpret_cast<char*>(aBlock) + aHeader;
    const auto aPos = reinterpret_cast<std::uintptr_t>(aBegin);
    char* aStart = aBegin + (((aPos + (theAlign - 1)) & ~std::uintptr_t(theAlign - 1)) - aPos);
    if (aDedicated) {
        // Keep filling the current block; the dedicated one goes behind it in the list.
        if (itsBlocks != nullptr) {
            aBlock->itsNext = itsBlocks->itsNext;
            itsBlocks->itsNext = aBlock;
        } else {
            aBlock->itsNext = nullptr;
            itsBlocks = aBlock;
        }
        return aStart;
    }
    aBlock->itsNext = itsBlocks;
    itsBlocks = aBlock;
    itsCurrent = aStart + theSize;
    itsEnd = reinterpret_cast<char*>(aBlock) + aBlockSize;
    itsNextBlockSize = std::min(itsNextBlockSize * 2, kMaxBlockSize);
    return aStart;
}

std::string_view Arena::keep(std::string_view theText) {
    if (theText.empty())
        return {};
    auto* aText = static_cast<char*>(allocate(theText.size(), 1));
    std::memcpy(aText, theText.data(), theText.size());
    return {aText, theText.size()};
}

} // namespace RepositoryAccess
