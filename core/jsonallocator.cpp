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
    // Most objects are small: a scan that compares the lengths first seldom compares bytes and
    // beats the binary search, whose comparisons all look at bytes.
    constexpr std::size_t kScanned = 16;
    if (itsSize <= kScanned) {
        for (const JsonMember* aMember = itsMembers; aMember != itsMembers + itsSize; ++aMember)
            if (aMember->key.size() == theKey.size() && aMember->key == theKey)
                return &aMember->value;
        return nullptr;
    }
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
