#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The content hash of the workspace: SHA-1 over a file's bytes exactly as stored, written as the
// five result words in unsigned decimal joined with "." (an empty file gives
// "3661210606.1584089869.844480495.2506102928.2950170377").
namespace RepositoryAccess::hash {

// The five 32-bit words h0..h4 of a SHA-1 result.
using Digest = std::array<std::uint32_t, 5>;

// Incremental SHA-1. feed() any number of times, then result(). A message longer than 2^64 - 1
// bits corrupts the hash ("Invalid state: msg too long"); feeding a corrupted or finished hash
// fails with "Invalid state" and corrupts it; the result of a corrupted one fails with
// "The stream is corrupted".
class Sha1 {
public:
    Sha1();
    void feed(std::string_view theBytes) { feed(theBytes.data(), theBytes.size()); }
    void feed(const void* theData, std::size_t theSize);
    // Finishes the hash (once) and returns its words; later calls return the same words.
    const Digest& result();

private:
    Digest itsState;
    std::uint64_t itsBitCount = 0;
    unsigned char itsBlock[64];
    std::size_t itsBlockUsed = 0;
    bool itsCorrupted = false;
    bool itsFinished = false;
};

// The text form: h0..h4 as unsigned decimals joined with ".".
std::string toText(const Digest& theDigest);

// The content hash of the bytes.
std::string calc(std::string_view theBytes);

// The content hash of the file, read in pieces; fails with the messages of sys::readFile.
std::string calcFile(std::string_view thePath);

// Whether the processor's SHA instructions are present.
bool accelerationAvailable();

// Switches the SHA instructions on (when present) or off, for tests and benchmarks that compare
// both ways; returns whether they are now in use.
bool useAcceleration(bool theEnabled);

} // namespace RepositoryAccess::hash
