#include "workspace/textstore.hpp"

#include <cstring>

namespace RepositoryAccess {

namespace {

// Large enough that a hundred thousand entries need a few dozen blocks, small enough that a
// store of a handful of texts costs little.
constexpr std::size_t kBlockSize = 256 * 1024;

} // namespace

char* TextStore::allocateInNewBlock(std::size_t theSize) {
    // A text of more than a quarter block gets a block of its own; the current block keeps
    // serving the short texts.
    if (theSize > kBlockSize / 4) {
        itsBlocks.push_back(std::make_unique_for_overwrite<char[]>(theSize));
        return itsBlocks.back().get();
    }
    itsBlocks.push_back(std::make_unique_for_overwrite<char[]>(kBlockSize));
    itsNext = itsBlocks.back().get() + theSize;
    itsLeft = kBlockSize - theSize;
    return itsBlocks.back().get();
}

std::string_view TextStore::keep(std::string_view theText) {
    if (theText.empty())
        return {};
    char* aText = allocate(theText.size());
    std::memcpy(aText, theText.data(), theText.size());
    return {aText, theText.size()};
}

} // namespace RepositoryAccess
