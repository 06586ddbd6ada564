#pragma once

#include <string>
#include <string_view>

namespace RepositoryAccess::textcase {

// ASCII letters compared without regard to case; every other byte must be equal.
inline bool equalsIgnoringCase(std::string_view theLeft, std::string_view theRight) {
    if (theLeft.size() != theRight.size())
        return false;
    for (std::size_t i = 0; i < theLeft.size(); ++i) {
        char aLeft = theLeft[i];
        char aRight = theRight[i];
        if (aLeft >= 'A' && aLeft <= 'Z')
            aLeft = static_cast<char>(aLeft - 'A' + 'a');
        if (aRight >= 'A' && aRight <= 'Z')
            aRight = static_cast<char>(aRight - 'A' + 'a');
        if (aLeft != aRight)
            return false;
    }
    return true;
}

// The text with ASCII letters turned to lower (upper) case; every other byte stays.
inline std::string lower(std::string_view theText) {
    std::string aResult(theText);
    for (char& aChar : aResult)
        if (aChar >= 'A' && aChar <= 'Z')
            aChar = static_cast<char>(aChar - 'A' + 'a');
    return aResult;
}

inline std::string upper(std::string_view theText) {
    std::string aResult(theText);
    for (char& aChar : aResult)
        if (aChar >= 'a' && aChar <= 'z')
            aChar = static_cast<char>(aChar - 'a' + 'A');
    return aResult;
}

} // namespace RepositoryAccess::textcase
