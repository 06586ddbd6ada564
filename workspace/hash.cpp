#include "workspace/hash.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include <fcntl.h>
#include <unistd.h>

#include "core/error.hpp"
#include "core/perftrace.hpp"
#include "workspace/disk.hpp"
#include "workspace/posixdisk.hpp"
#include "workspace/sha1blocks.hpp"
#include "workspace/sys.hpp"
#include "workspace/sysinternal.hpp"

namespace RepositoryAccess::hash {

using sys::internal::failWithErrno;

namespace {

using CompressFunction = void (*)(std::uint32_t*, const unsigned char*, std::size_t);

// The compression function in use: the SHA instructions when the processor has them.
CompressFunction& compressFunction() {
    static CompressFunction theFunction =
        blocks::acceleratedSupported() ? &blocks::compressAccelerated : &blocks::compressPortable;
    return theFunction;
}

} // namespace

Sha1::Sha1() : itsState{0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u, 0xC3D2E1F0u} {}

void Sha1::feed(const void* theData, std::size_t theSize) {
    if (itsCorrupted || itsFinished) {
        itsCorrupted = true;
        throw Error("Invalid state");
    }
    constexpr std::uint64_t aMaxBytes = UINT64_MAX / 8;
    if (theSize > aMaxBytes || itsBitCount > UINT64_MAX - static_cast<std::uint64_t>(theSize) * 8) {
        itsCorrupted = true;
        throw Error("Invalid state: msg too long");
    }
    itsBitCount += static_cast<std::uint64_t>(theSize) * 8;
    const auto* aBytes = static_cast<const unsigned char*>(theData);
    CompressFunction aCompress = compressFunction();
    if (itsBlockUsed > 0) {
        std::size_t aTake = std::min(theSize, sizeof(itsBlock) - itsBlockUsed);
        std::memcpy(itsBlock + itsBlockUsed, aBytes, aTake);
        itsBlockUsed += aTake;
        aBytes += aTake;
        theSize -= aTake;
        if (itsBlockUsed < sizeof(itsBlock))
            return;
        aCompress(itsState.data(), itsBlock, 1);
        itsBlockUsed = 0;
    }
    std::size_t aWholeBlocks = theSize / 64;
    if (aWholeBlocks > 0) {
        aCompress(itsState.data(), aBytes, aWholeBlocks);
        aBytes += aWholeBlocks * 64;
        theSize -= aWholeBlocks * 64;
    }
    if (theSize > 0) {
        std::memcpy(itsBlock, aBytes, theSize);
        itsBlockUsed = theSize;
    }
}

const Digest& Sha1::result() {
    if (itsCorrupted)
        throw Error("The stream is corrupted");
    if (itsFinished)
        return itsState;
    // Padding: 0x80, zeros up to 56 mod 64, then the message length in bits, big-endian.
    CompressFunction aCompress = compressFunction();
    itsBlock[itsBlockUsed++] = 0x80;
    if (itsBlockUsed > 56) {
        std::memset(itsBlock + itsBlockUsed, 0, sizeof(itsBlock) - itsBlockUsed);
        aCompress(itsState.data(), itsBlock, 1);
        itsBlockUsed = 0;
    }
    std::memset(itsBlock + itsBlockUsed, 0, 56 - itsBlockUsed);
    for (int i = 0; i < 8; ++i)
        itsBlock[56 + i] = static_cast<unsigned char>(itsBitCount >> (56 - 8 * i));
    aCompress(itsState.data(), itsBlock, 1);
    itsBlockUsed = 0;
    itsFinished = true;
    return itsState;
}

std::string toText(const Digest& theDigest) {
    std::string aText;
    aText.reserve(5 * 11);
    for (std::size_t i = 0; i < theDigest.size(); ++i) {
        if (i > 0)
            aText += '.';
        aText += std::to_string(theDigest[i]);
    }
    return aText;
}

std::string calc(std::string_view theBytes) {
    KIVO_PERF_SCOPE("hash::calc()");
    Sha1 aHash;
    aHash.feed(theBytes);
    return toText(aHash.result());
}

std::string calcFile(std::string_view thePath) {
    KIVO_PERF_SCOPE("hash::calc()");
    return disk::current().hashFile(sys::toSlashes(thePath));
}

bool accelerationAvailable() {
    return blocks::acceleratedSupported();
}

bool useAcceleration(bool theEnabled) {
    bool anOn = theEnabled && blocks::acceleratedSupported();
    compressFunction() = anOn ? &blocks::compressAccelerated : &blocks::compressPortable;
    return anOn;
}

} // namespace RepositoryAccess::hash

namespace RepositoryAccess {

// Streams the file through the hash a piece at a time.
std::string PosixDisk::hashFile(const std::string& thePath) {
    using hash::Sha1;
    using sys::internal::failWithErrno;
    const std::string& aPath = thePath;
    int aFd = ::open(aPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (aFd < 0)
        failWithErrno("Failed to open file for reading (readFile): \"" + aPath + "\"");
    std::unique_ptr<int, void (*)(int*)> aCloser(&aFd, [](int* theFd) { ::close(*theFd); });
    ::posix_fadvise(aFd, 0, 0, POSIX_FADV_SEQUENTIAL);
    Sha1 aHash;
    // A piece on the stack: small files take one read, large ones never sit whole in memory.
    alignas(64) unsigned char aBuffer[64 * 1024];
    while (true) {
        ssize_t aRead = ::read(aFd, aBuffer, sizeof(aBuffer));
        if (aRead < 0) {
            if (errno == EINTR)
                continue;
            failWithErrno("Cannot read from file (no success) (readFile): \"" + aPath + "\"");
        }
        if (aRead == 0)
            break;
        aHash.feed(aBuffer, static_cast<std::size_t>(aRead));
    }
    return hash::toText(aHash.result());
}

} // namespace RepositoryAccess
