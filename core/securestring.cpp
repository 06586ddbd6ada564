#include "core/securestring.hpp"

#include <cstring>
#include <new>
#include <utility>

#include <string.h>
#include <sys/prctl.h>

namespace RepositoryAccess {

SecureString::SecureString(std::string_view theText) {
    reserve(theText.size());
    if (!theText.empty())
        std::memcpy(itsData, theText.data(), theText.size());
    itsSize = theText.size();
}

SecureString::~SecureString() {
    clear();
    delete[] itsData;
}

SecureString::SecureString(SecureString&& theOther) noexcept
    : itsData(std::exchange(theOther.itsData, nullptr)),
      itsSize(std::exchange(theOther.itsSize, 0)),
      itsCapacity(std::exchange(theOther.itsCapacity, 0)) {}

SecureString& SecureString::operator=(SecureString&& theOther) noexcept {
    if (this == &theOther)
        return *this;
    clear();
    delete[] itsData;
    itsData = std::exchange(theOther.itsData, nullptr);
    itsSize = std::exchange(theOther.itsSize, 0);
    itsCapacity = std::exchange(theOther.itsCapacity, 0);
    return *this;
}

void SecureString::reserve(std::size_t theCapacity) {
    if (itsData != nullptr && theCapacity <= itsCapacity)
        return;
    char* aData = new char[theCapacity + 1]();
    if (itsData != nullptr) {
        std::memcpy(aData, itsData, itsSize);
        secrets::wipe(itsData, itsCapacity);
        delete[] itsData;
    }
    itsData = aData;
    itsCapacity = theCapacity;
}

void SecureString::push_back(char theChar) {
    if (itsData == nullptr || itsSize == itsCapacity)
        reserve(itsCapacity < 32 ? 64 : itsCapacity * 2);
    itsData[itsSize++] = theChar;
    itsData[itsSize] = '\0';
}

void SecureString::pop_back() {
    if (itsSize == 0)
        return;
    itsData[--itsSize] = '\0';
}

void SecureString::clear() noexcept {
    if (itsData != nullptr)
        secrets::wipe(itsData, itsCapacity);
    itsSize = 0;
}

namespace secrets {

void wipe(char* theText, std::size_t theSize) noexcept {
    if (theText != nullptr && theSize > 0)
        ::explicit_bzero(theText, theSize);
}

void wipe(std::string& theText) noexcept {
    // The whole capacity: a string that shrank keeps its earlier characters behind its end.
    wipe(theText.data(), theText.capacity());
    theText.clear();
}

void forbidCoreDumps() noexcept {
    static bool theForbidden = false;
    if (theForbidden)
        return;
    ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
    theForbidden = true;
}

void hideInArgument(char* theArgument, std::size_t theOffset, std::size_t theSize) noexcept {
    forbidCoreDumps();
    std::memset(theArgument + theOffset, '*', theSize);
}

SecureString takeFromArgument(char* theArgument, std::size_t theOffset, std::size_t theSize) {
    SecureString aSecret(std::string_view(theArgument + theOffset, theSize));
    hideInArgument(theArgument, theOffset, theSize);
    return aSecret;
}

} // namespace secrets
} // namespace RepositoryAccess
