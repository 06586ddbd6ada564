#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace RepositoryAccess {

// A password held in one heap buffer that is overwritten with zeros before it is freed or
// replaced, so that no freed memory of the process keeps it. It is never copied implicitly (a
// copy is another place to wipe): it moves, or clone() says so. Growth copies into a new buffer
// and wipes the old one.
class SecureString {
public:
    SecureString() = default;
    explicit SecureString(std::string_view theText);
    ~SecureString();
    SecureString(SecureString&& theOther) noexcept;
    SecureString& operator=(SecureString&& theOther) noexcept;
    SecureString(const SecureString&) = delete;
    SecureString& operator=(const SecureString&) = delete;

    SecureString clone() const { return SecureString(view()); }
    void push_back(char theChar);
    // Drops the last character (a line end read with the text).
    void pop_back();
    // Wipes the text; the object is empty afterwards.
    void clear() noexcept;

    bool empty() const { return itsSize == 0; }
    std::size_t size() const { return itsSize; }
    char back() const { return itsData[itsSize - 1]; }
    // The text, terminated by a zero byte for C interfaces; valid until the next change.
    const char* c_str() const { return itsData != nullptr ? itsData : ""; }
    std::string_view view() const { return {c_str(), itsSize}; }

private:
    void reserve(std::size_t theCapacity);

    char* itsData = nullptr;
    std::size_t itsSize = 0;
    std::size_t itsCapacity = 0;
};

namespace secrets {

// Overwrites theText's characters with zeros and empties it: for a secret that had to pass
// through a std::string (an interface that takes one), once it is no longer needed.
void wipe(std::string& theText) noexcept;
void wipe(char* theText, std::size_t theSize) noexcept;

// Wipes the std::string it watches when its scope ends, however it ends.
class WipeAtExit {
public:
    explicit WipeAtExit(std::string& theText) : itsText(theText) {}
    ~WipeAtExit() { wipe(itsText); }
    WipeAtExit(const WipeAtExit&) = delete;
    WipeAtExit& operator=(const WipeAtExit&) = delete;

private:
    std::string& itsText;
};

// Marks the process as not dumpable for the rest of its life: no core file is written (where it
// could land in a workspace and be pushed) and no other process of the user may read its memory.
// Called wherever a password enters the process; calling it again does nothing.
void forbidCoreDumps() noexcept;

// Overwrites theSize bytes of the program argument theArgument from theOffset in place with '*',
// so that the process listing (/proc/PID/cmdline) no longer shows them, and forbids core dumps:
// for the first thing a program does with an argument that holds a password.
void hideInArgument(char* theArgument, std::size_t theOffset, std::size_t theSize) noexcept;

// Copies those bytes into a SecureString first, then hides them.
SecureString takeFromArgument(char* theArgument, std::size_t theOffset, std::size_t theSize);

} // namespace secrets
} // namespace RepositoryAccess
