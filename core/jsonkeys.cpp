#include "core/jsonkeys.hpp"
#include "core/jsoninternal.hpp"

#include <cstring>

namespace RepositoryAccess::json {

namespace {

std::uint64_t load64(const char* thePos) {
    std::uint64_t aWord;
    std::memcpy(&aWord, thePos, 8);
    return aWord;
}

std::uint32_t load32(const char* thePos) {
    std::uint32_t aWord;
    std::memcpy(&aWord, thePos, 4);
    return aWord;
}

// Whether two short byte strings of theSize bytes (at most 32) are equal.
bool equalShort(const char* theLeft, const char* theRight, std::size_t theSize) {
    if (theSize >= 8) {
        std::uint64_t aDiff = 0;
        for (std::size_t i = 0; i + 8 < theSize; i += 8)
            aDiff |= load64(theLeft + i) ^ load64(theRight + i);
        return (aDiff | (load64(theLeft + theSize - 8) ^ load64(theRight + theSize - 8))) == 0;
    }
    if (theSize >= 4)
        return ((load32(theLeft) ^ load32(theRight)) |
                (load32(theLeft + theSize - 4) ^ load32(theRight + theSize - 4))) == 0;
    for (std::size_t i = 0; i < theSize; ++i)
        if (theLeft[i] != theRight[i])
            return false;
    return true;
}

// A hash of a short key (at most 32 bytes).
std::uint32_t hashKey(const char* theText, std::size_t theSize) {
    auto aMix = [](std::uint64_t theValue) {
        theValue *= 0x9E3779B97F4A7C15ull;
        return theValue ^ (theValue >> 29);
    };
    std::uint64_t aHash = 0x2545F4914F6CDD1Dull ^ theSize;
    if (theSize >= 8) {
        for (std::size_t i = 0; i + 8 < theSize; i += 8)
            aHash = aMix(aHash ^ load64(theText + i));
        aHash = aMix(aHash ^ load64(theText + theSize - 8));
    } else if (theSize >= 4) {
        aHash =
            aMix(aHash ^ (load32(theText) | (std::uint64_t(load32(theText + theSize - 4)) << 32)));
    } else if (theSize > 0) {
        const auto aByte = [theText](std::size_t theIndex) {
            return std::uint64_t(static_cast<unsigned char>(theText[theIndex]));
        };
        aHash = aMix(aHash ^ (aByte(0) | (aByte(theSize / 2) << 8) | (aByte(theSize - 1) << 16)));
    }
    return static_cast<std::uint32_t>(aHash >> 32);
}

} // namespace

std::string_view JsonKeyTable::intern(const char* theText, std::size_t theSize) {
    if (theSize > kInternMaxKeySize)
        return copy(theText, theSize);
    const std::uint32_t aHash = hashKey(theText, theSize);
    for (std::size_t i = aHash;; ++i) {
        InternSlot& aSlot = itsInternSlots[i & (kInternSlotCount - 1)];
        if (aSlot.itsData == nullptr) {
            const std::string_view aKey = copy(theText, theSize);
            if (itsInternCount < kInternMaxCount) {
                aSlot = {aKey.data(), static_cast<std::uint32_t>(aKey.size()), aHash};
                ++itsInternCount;
            }
            return aKey;
        }
        if (aSlot.itsHash == aHash && aSlot.itsSize == theSize &&
            equalShort(aSlot.itsData, theText, theSize))
            return {aSlot.itsData, theSize};
    }
}

std::string_view JsonKeyTable::copy(const char* theText, std::size_t theSize) {
    char* aChars = static_cast<char*>(itsAllocator.allocate(theSize, 1));
    std::memcpy(aChars, theText, theSize);
    return {aChars, theSize};
}

std::span<const JsonMember> JsonKeyTable::store(JsonMember* theMembers, std::size_t theCount) {
    if (theCount < 2 || theCount > kShapeMaxCount) {
        const std::size_t aSize = sortMembers(theMembers, theCount);
        auto* aStored = static_cast<JsonMember*>(
            itsAllocator.allocate(aSize * sizeof(JsonMember), alignof(JsonMember)));
        if (aSize != 0)
            std::memcpy(static_cast<void*>(aStored), theMembers, aSize * sizeof(JsonMember));
        return {aStored, aSize};
    }
    // Objects of one response mostly have the same keys in the same order: their order after
    // sorting is remembered by the keys' addresses (shared, see intern) and reused.
    Shape& aShape = itsShapes[(theCount * 7 +
                               (reinterpret_cast<std::uintptr_t>(theMembers[0].key.data()) >> 2)) %
                              kShapeCount];
    bool aKnown = aShape.itsCount == theCount;
    for (std::size_t i = 0; aKnown && i < theCount; ++i)
        aKnown = aShape.itsKeys[i] == theMembers[i].key.data() &&
                 aShape.itsKeySizes[i] == theMembers[i].key.size();
    if (!aKnown)
        learnShape(aShape, theMembers, theCount);
    auto* aStored = static_cast<JsonMember*>(
        itsAllocator.allocate(aShape.itsKept * sizeof(JsonMember), alignof(JsonMember)));
    for (std::size_t i = 0; i < aShape.itsKept; ++i)
        aStored[i] = theMembers[aShape.itsOrder[i]];
    return {aStored, aShape.itsKept};
}

void JsonKeyTable::learnShape(Shape& theShape, const JsonMember* theMembers, std::size_t theCount) {
    theShape.itsCount = theCount;
    std::uint8_t* anOrder = theShape.itsOrder;
    for (std::size_t i = 0; i < theCount; ++i) {
        theShape.itsKeys[i] = theMembers[i].key.data();
        theShape.itsKeySizes[i] = theMembers[i].key.size();
        // Stable insertion of member i into the sorted indexes [0, i).
        std::size_t j = i;
        while (j > 0 && theMembers[anOrder[j - 1]].key > theMembers[i].key) {
            anOrder[j] = anOrder[j - 1];
            --j;
        }
        anOrder[j] = static_cast<std::uint8_t>(i);
    }
    // Of every run of equal keys keep the last (the one that came last in the text).
    std::size_t aKept = 0;
    for (std::size_t i = 0; i < theCount; ++i) {
        if (i + 1 < theCount && theMembers[anOrder[i]].key == theMembers[anOrder[i + 1]].key)
            continue;
        anOrder[aKept++] = anOrder[i];
    }
    theShape.itsKept = aKept;
}

} // namespace RepositoryAccess::json
