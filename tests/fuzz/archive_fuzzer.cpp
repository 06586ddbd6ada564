// The archive reader on any bytes: a delivery-unit archive is read member by member, or refused
// with ArchiveDamage; it never reads more than its budget of inflated bytes, and never holds more
// than one content. Other exceptions and crashes are findings.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "server/archive.hpp"
#include "server/dumanifest.hpp"

using namespace RepositoryAccess;

namespace {

// A small budget, so that a run spends its time on forms, not on inflating.
constexpr std::uint64_t kBudget = 4u << 20;

// Every member with its content, as the reader sees the tar stream.
void readMembers(std::string_view theBytes) {
    server::InflationBudget aBudget(kBudget);
    server::ArchiveReader aReader(theBytes, aBudget);
    while (aReader.next())
        if (aReader.content().size() > kBudget)
            std::abort(); // a content beyond the budget was read
}

// The archive as an import reads it: manifest first, then the objects' contents.
void readExport(std::string_view theBytes) {
    server::InflationBudget aBudget(kBudget);
    server::ExportArchiveReader aReader(theBytes, aBudget);
    while (const auto anObject = aReader.nextObject())
        if (anObject->itsIndex >= aReader.manifest().itsObjects.size())
            std::abort(); // every content belongs to an object of the manifest
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* theData, std::size_t theSize) {
    const std::string_view aBytes(reinterpret_cast<const char*>(theData), theSize);
    try {
        readMembers(aBytes);
    } catch (const server::ArchiveDamage&) {
        // refused: the expected answer to most inputs
    }
    try {
        readExport(aBytes);
    } catch (const server::ArchiveDamage&) {
        // refused likewise
    }
    return 0;
}
