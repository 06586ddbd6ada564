#include "core/json.hpp"
#include "core/jsoninternal.hpp"

#include <algorithm>

namespace RepositoryAccess::json {

// ------------------------------------------------------------------------------------------------
// Member order

// Stable sort by key (bytewise), then of every run of equal keys keep the last member. Returns
// the number of members left at the front of the range.
std::size_t sortMembers(JsonMember* theMembers, std::size_t theSize) {
    if (theSize < 2)
        return theSize;
    std::stable_sort(theMembers, theMembers + theSize,
                     [](const JsonMember& theLeft, const JsonMember& theRight) {
                         return theLeft.key < theRight.key;
                     });
    std::size_t aOut = 0;
    for (std::size_t i = 0; i < theSize; ++i) {
        if (i + 1 < theSize && theMembers[i].key == theMembers[i + 1].key)
            continue; // a later member with the same key wins
        theMembers[aOut++] = theMembers[i];
    }
    return aOut;
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
