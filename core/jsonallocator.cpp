#include "core/json.hpp"
#include "core/jsoninternal.hpp"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>
#include <utility>
#include <vector>

namespace RepositoryAccess::json {

// ------------------------------------------------------------------------------------------------
// Allocator

struct JsonAllocator::Block {
    Block* itsNext;
    std::size_t itsSize;
};

namespace {

// Blocks start small (most documents are small responses and settings files) and double up to
// the maximum; an allocation larger than half a block gets a block of its own.
constexpr std::size_t kFirstBlockSize = 16 * 1024;
constexpr std::size_t kMaxBlockSize = 4 * 1024 * 1024;

} // namespace

JsonAllocator::~JsonAllocator() {
    release();
}

JsonAllocator::JsonAllocator(JsonAllocator&& theOther) noexcept
    : itsBlocks(std::exchange(theOther.itsBlocks, nullptr)),
      itsCurrent(std::exchange(theOther.itsCurrent, nullptr)),
      itsEnd(std::exchange(theOther.itsEnd, nullptr)),
      itsNextBlockSize(std::exchange(theOther.itsNextBlockSize, 0)),
      itsBytesReserved(std::exchange(theOther.itsBytesReserved, 0)) {}

JsonAllocator& JsonAllocator::operator=(JsonAllocator&& theOther) noexcept {
    if (this != &theOther) {
        release();
        itsBlocks = std::exchange(theOther.itsBlocks, nullptr);
        itsCurrent = std::exchange(theOther.itsCurrent, nullptr);
        itsEnd = std::exchange(theOther.itsEnd, nullptr);
        itsNextBlockSize = std::exchange(theOther.itsNextBlockSize, 0);
        itsBytesReserved = std::exchange(theOther.itsBytesReserved, 0);
    }
    return *this;
}

void JsonAllocator::release() noexcept {
    while (itsBlocks != nullptr) {
        Block* aNext = itsBlocks->itsNext;
        std::free(itsBlocks);
        itsBlocks = aNext;
    }
    itsCurrent = itsEnd = nullptr;
}

void* JsonAllocator::allocateInNewBlock(std::size_t theSize, std::size_t theAlign) {
    const std::size_t aHeader = (sizeof(Block) + 15) & ~std::size_t(15);
    const std::size_t aNeed = theSize + theAlign + aHeader;
    if (itsNextBlockSize == 0)
        itsNextBlockSize = kFirstBlockSize;
    const bool aDedicated = aNeed > itsNextBlockSize / 2;
    const std::size_t aBlockSize = aDedicated ? aNeed : itsNextBlockSize;
    auto* aBlock = static_cast<Block*>(std::malloc(aBlockSize));
    if (aBlock == nullptr)
        throw std::bad_alloc();
    aBlock->itsSize = aBlockSize;
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

const JsonString* JsonAllocator::newString(std::string_view theText) {
    if (theText.size() > std::numeric_limits<std::uint32_t>::max())
        throw std::length_error("JSON string too long");
    char* aBlock =
        static_cast<char*>(allocate(sizeof(JsonString) + theText.size(), alignof(JsonString)));
    auto* aString = new (aBlock) JsonString(static_cast<std::uint32_t>(theText.size()));
    if (!theText.empty())
        std::memcpy(aBlock + sizeof(JsonString), theText.data(), theText.size());
    return aString;
}

const JsonList* JsonAllocator::newList(std::span<const JsonValue> theValues) {
    char* aBlock =
        static_cast<char*>(allocate(sizeof(JsonList) + theValues.size_bytes(), alignof(JsonList)));
    auto* aValues = reinterpret_cast<JsonValue*>(aBlock + sizeof(JsonList));
    if (!theValues.empty())
        std::memcpy(static_cast<void*>(aValues), theValues.data(), theValues.size_bytes());
    return new (aBlock) JsonList(aValues, theValues.size());
}

// Stable sort by key (bytewise), then of every run of equal keys keep the last member. Returns
// the number of members left at the front of the range.
std::size_t sortMembers(JsonMember* theMembers, std::size_t theSize) {
    if (theSize < 2)
        return theSize;
    bool aHasDuplicate = false;
    if (theSize <= 24) {
        // Insertion sort: stable, and the objects of repository responses are small.
        for (std::size_t i = 1; i < theSize; ++i) {
            const int aOrder = theMembers[i - 1].key.compare(theMembers[i].key);
            if (aOrder < 0)
                continue;
            if (aOrder == 0) {
                aHasDuplicate = true;
                continue;
            }
            JsonMember aMember = theMembers[i];
            std::size_t j = i;
            do {
                theMembers[j] = theMembers[j - 1];
                --j;
            } while (j > 0 && theMembers[j - 1].key > aMember.key);
            if (j > 0 && theMembers[j - 1].key == aMember.key)
                aHasDuplicate = true;
            theMembers[j] = aMember;
        }
    } else {
        std::stable_sort(theMembers, theMembers + theSize,
                         [](const JsonMember& theLeft, const JsonMember& theRight) {
                             return theLeft.key < theRight.key;
                         });
        aHasDuplicate = true; // not known; the pass below finds out
    }
    if (!aHasDuplicate)
        return theSize;
    std::size_t aOut = 0;
    for (std::size_t i = 0; i < theSize; ++i) {
        if (i + 1 < theSize && theMembers[i].key == theMembers[i + 1].key)
            continue; // a later member with the same key wins
        theMembers[aOut++] = theMembers[i];
    }
    return aOut;
}

void JsonAllocator::fillObject(JsonObject& theObject, std::span<const JsonMember> theMembers) {
    std::vector<JsonMember> aMembers(theMembers.begin(), theMembers.end());
    const std::size_t aSize = sortMembers(aMembers.data(), aMembers.size());
    auto* aStored =
        static_cast<JsonMember*>(allocate(aSize * sizeof(JsonMember), alignof(JsonMember)));
    if (aSize != 0)
        std::memcpy(static_cast<void*>(aStored), aMembers.data(), aSize * sizeof(JsonMember));
    theObject = JsonObject(aStored, aSize);
}

const JsonObject* JsonAllocator::newObject(std::span<const JsonMember> theMembers) {
    auto* anObject = new (allocate(sizeof(JsonObject), alignof(JsonObject))) JsonObject();
    fillObject(*anObject, theMembers);
    return anObject;
}

// ------------------------------------------------------------------------------------------------
// Object lookup

const JsonValue* JsonObject::find(std::string_view theKey) const {
    const JsonMember* aFirst = itsMembers;
    std::size_t aCount = itsSize;
    while (aCount > 0) {
        const std::size_t aHalf = aCount / 2;
        if (aFirst[aHalf].key < theKey) {
            aFirst += aHalf + 1;
            aCount -= aHalf + 1;
        } else {
            aCount = aHalf;
        }
    }
    if (aFirst != itsMembers + itsSize && aFirst->key == theKey)
        return &aFirst->value;
    return nullptr;
}

} // namespace RepositoryAccess::json
