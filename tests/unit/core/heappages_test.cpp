#include "core/heappages.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace RepositoryAccess {
namespace {

// The flags of the mapping that holds theAddress, as /proc/self/smaps shows them ("VmFlags: rd
// wr ..."); empty when no mapping holds it.
std::string flagsOfMappingAt(std::uintptr_t theAddress) {
    std::ifstream aMaps("/proc/self/smaps");
    std::string aLine;
    bool aHolds = false;
    while (std::getline(aMaps, aLine)) {
        std::uintptr_t aStart = 0, anEnd = 0;
        char aDash = 0;
        std::istringstream aRange(aLine);
        if (aRange >> std::hex >> aStart >> aDash >> anEnd && aDash == '-') {
            aHolds = theAddress >= aStart && theAddress < anEnd;
            continue;
        }
        if (aHolds && aLine.starts_with("VmFlags:"))
            return aLine;
    }
    return {};
}

bool largePagesOffered() {
    std::ifstream aSetting("/sys/kernel/mm/transparent_hugepage/enabled");
    std::string aText;
    std::getline(aSetting, aText);
    return aText.find("[never]") == std::string::npos && !aText.empty();
}

// A block of some megabytes, as an archive or a frame of a request, lands in the heap that was
// offered for large pages, not in a mapping of its own that starts with small pages again.
TEST(HeapPages, LargeBlocksComeFromTheHeapOfferedForLargePages) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer's allocator has no such heap";
#endif
    if (!largePagesOffered())
        GTEST_SKIP() << "this kernel offers no large pages";
    heappages::prepare();
    void* volatile aBlock = std::malloc(std::size_t{8} << 20);
    ASSERT_NE(aBlock, nullptr);
    // The heap's part below its first whole large page keeps small pages: look at the middle.
    const std::string aFlags =
        flagsOfMappingAt(reinterpret_cast<std::uintptr_t>(aBlock) + (std::size_t{4} << 20));
    std::free(aBlock);
    EXPECT_NE(aFlags.find(" hg"), std::string::npos) << aFlags;
}

} // namespace
} // namespace RepositoryAccess
