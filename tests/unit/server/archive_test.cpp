#include "server/archive.hpp"

#include <gtest/gtest.h>

using namespace RepositoryAccess;

namespace {

// An archive of theCount empty members, each with a name of theLength bytes, which the writer
// carries in an extended header of its own.
std::string longNames(int theCount, std::size_t theLength) {
    server::ArchiveWriter aWriter;
    for (int i = 0; i < theCount; ++i)
        aWriter.add("m" + std::to_string(i) + "/" + std::string(theLength, 'n'), "");
    return aWriter.finish();
}

// The number of members read, or the problem that stopped the reading.
std::string readAll(const std::string& theArchive, server::InflationBudget& theBudget) {
    try {
        server::ArchiveReader aReader(theArchive, theBudget);
        int aCount = 0;
        while (aReader.next()) {
            aReader.content();
            ++aCount;
        }
        return std::to_string(aCount);
    } catch (const server::ArchiveDamage& aDamage) {
        return aDamage.itsProblem;
    }
}

} // namespace

// Every byte that an archive inflates to counts: long names in extended headers as much as
// contents, so that a small archive of long names cannot take gigabytes.
TEST(ArchiveReader, ExtendedHeadersCountAgainstTheBudget) {
    const std::string anArchive = longNames(40, 100000);
    ASSERT_LT(anArchive.size(), 64u << 10) << "names of 4 MB in a small archive";
    server::InflationBudget aSmall(1u << 20);
    EXPECT_EQ(readAll(anArchive, aSmall),
              "the archives inflate past the import's limit of 1048576 bytes");
    server::InflationBudget aLarge(8u << 20);
    EXPECT_EQ(readAll(anArchive, aLarge), "40");
}
