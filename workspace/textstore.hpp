#pragma once

#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

namespace RepositoryAccess {

// Texts that live as long as the store: written into large blocks that never move and are freed
// only together, so that views of them stay valid. The status file of a large tree keeps its
// hundred thousand names, hashes and times here with one allocation per block instead of one per
// text; a text that is replaced stays behind until the store ends.
class TextStore {
public:
    TextStore() = default;
    TextStore(const TextStore&) = delete;
    TextStore& operator=(const TextStore&) = delete;
    TextStore(TextStore&&) = default;
    TextStore& operator=(TextStore&&) = default;

    std::string_view keep(std::string_view theText);
    // Room for a text of theSize bytes that the caller fills in before viewing it.
    char* allocate(std::size_t theSize) {
        if (theSize > itsLeft)
            return allocateInNewBlock(theSize);
        char* aText = itsNext;
        itsNext += theSize;
        itsLeft -= theSize;
        return aText;
    }

private:
    char* allocateInNewBlock(std::size_t theSize);

    std::vector<std::unique_ptr<char[]>> itsBlocks;
    char* itsNext = nullptr;
    std::size_t itsLeft = 0;
};

} // namespace RepositoryAccess
