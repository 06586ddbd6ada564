#include "workspace/textstore.hpp"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#include <sys/mman.h>

namespace RepositoryAccess {

namespace {

// The first block is small, so that a store of a handful of texts costs little; each new block
// doubles the store up to huge-page blocks.
constexpr std::size_t kFirstBlock = 64 * 1024;
constexpr std::size_t kHugeBlock = 2 * 1024 * 1024;

} // namespace

TextStore::~TextStore() {
    release();
}

TextStore::TextStore(TextStore&& theOther) noexcept
    : itsBlocks(std::move(theOther.itsBlocks)), itsTotal(std::exchange(theOther.itsTotal, 0)),
      itsNext(std::exchange(theOther.itsNext, nullptr)),
      itsLeft(std::exchange(theOther.itsLeft, 0)) {
    theOther.itsBlocks.clear();
}

TextStore& TextStore::operator=(TextStore&& theOther) noexcept {
    if (this != &theOther) {
        release();
        itsBlocks = std::move(theOther.itsBlocks);
        theOther.itsBlocks.clear();
        itsTotal = std::exchange(theOther.itsTotal, 0);
        itsNext = std::exchange(theOther.itsNext, nullptr);
        itsLeft = std::exchange(theOther.itsLeft, 0);
    }
    return *this;
}

void TextStore::release() {
    for (const Block& aBlock : itsBlocks) {
        if (aBlock.itsMapped)
            ::munmap(aBlock.itsData, aBlock.itsSize);
        else
            std::free(aBlock.itsData);
    }
    itsBlocks.clear();
}

// A block of at least theSize bytes, aligned to 16. A block of huge-page size is mapped: the
// system places a mapping of whole huge pages on a huge-page boundary, and the advice lets it
// back the block with them. Where mapping fails the heap serves.
TextStore::Block TextStore::newBlock(std::size_t theSize) {
    if (theSize % kHugeBlock == 0) {
        void* aData =
            ::mmap(nullptr, theSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (aData != MAP_FAILED) {
            ::madvise(aData, theSize, MADV_HUGEPAGE); // only advice: without it, small pages
            return {static_cast<char*>(aData), theSize, true};
        }
    }
    void* aData = std::malloc(theSize);
    if (!aData)
        throw std::bad_alloc();
    return {static_cast<char*>(aData), theSize, false};
}

char* TextStore::allocateInNewBlock(std::size_t theSize) {
    std::size_t aSize = itsTotal < kFirstBlock ? kFirstBlock : std::min(itsTotal, kHugeBlock);
    itsBlocks.reserve(itsBlocks.size() + 1); // so that no block is lost to a failed push_back
    // Something larger than a quarter of the block gets a block of its own; the current block
    // keeps serving the small ones.
    if (theSize > aSize / 4) {
        itsBlocks.push_back(newBlock(theSize));
        itsTotal += theSize;
        return itsBlocks.back().itsData;
    }
    itsBlocks.push_back(newBlock(aSize));
    itsTotal += aSize;
    itsNext = itsBlocks.back().itsData + theSize;
    itsLeft = aSize - theSize;
    return itsBlocks.back().itsData;
}

std::string_view TextStore::keep(std::string_view theText) {
    if (theText.empty())
        return {};
    char* aText = allocate(theText.size());
    std::memcpy(aText, theText.data(), theText.size());
    return {aText, theText.size()};
}

} // namespace RepositoryAccess
