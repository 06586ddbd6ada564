// The archive reader on any bytes: a delivery-unit archive is read member by member, or refused
// with ArchiveDamage; it never reads more than its budget of inflated bytes, and never holds more
// than one content. Other exceptions and crashes are findings.
#include "server/archive.hpp"
#include "server/dumanifest.hpp"
#include "tests/fuzz/fuzzing.hpp"

// A small budget, so that a run spends its time on forms, not on inflating.
constexpr std::uint64_t kBudget = 4u << 20;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* theData, std::size_t theSize) {
    const std::string_view aBytes = fuzzing::text(theData, theSize);
    // Every member with its content, as the reader sees the tar stream.
    fuzzing::refusedOrRead<server::ArchiveDamage>([&] {
        server::InflationBudget aBudget(kBudget);
        server::ArchiveReader aReader(aBytes, aBudget);
        while (aReader.next())
            fuzzing::require(aReader.content().size() <= kBudget);
    });
    // The archive as an import reads it: manifest first, then the objects' contents, each of
    // an object of the manifest.
    fuzzing::refusedOrRead<server::ArchiveDamage>([&] {
        server::InflationBudget aBudget(kBudget);
        server::ExportArchiveReader aReader(aBytes, aBudget);
        while (const auto anObject = aReader.nextObject())
            fuzzing::require(anObject->itsIndex < aReader.manifest().itsObjects.size());
    });
    return 0;
}
