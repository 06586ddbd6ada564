#include "core/annotate.hpp"

#include "core/error.hpp"
#include "core/textdiff.hpp"

namespace RepositoryAccess::annotate {

namespace {

// The owners of theNew's lines from the owners of theOld's: lines outside the changes are the same
// lines, so they keep their owner; the inserted lines of a change belong to theVersion.
std::vector<std::size_t> carryOwners(const std::vector<std::string_view>& theOld,
                                     const std::vector<std::string_view>& theNew,
                                     const std::vector<std::size_t>& theOldOwners,
                                     std::size_t theVersion) {
    std::vector<std::size_t> anOwners;
    anOwners.reserve(theNew.size());
    std::size_t anOld = 0;
    for (const textdiff::Change& aChange : textdiff::compare(theOld, theNew)) {
        while (anOld < aChange.itsOld)
            anOwners.push_back(theOldOwners[anOld++]);
        anOld += aChange.itsDeleted;
        anOwners.insert(anOwners.end(), aChange.itsInserted, theVersion);
    }
    while (anOld < theOld.size())
        anOwners.push_back(theOldOwners[anOld++]);
    return anOwners;
}

} // namespace

std::vector<AnnotatedLine> annotateLines(std::span<const FileVersion> theVersions,
                                         std::size_t theChosen) {
    if (theChosen >= theVersions.size())
        throw Error("No version " + std::to_string(theChosen + 1) + " to annotate: the file has " +
                    std::to_string(theVersions.size()) + " versions");
    std::vector<std::string_view> aLines = textdiff::splitLines(theVersions[0].itsText);
    std::vector<std::size_t> anOwners(aLines.size(), 0);
    for (std::size_t v = 1; v <= theChosen; ++v) {
        std::vector<std::string_view> aNext = textdiff::splitLines(theVersions[v].itsText);
        anOwners = carryOwners(aLines, aNext, anOwners, v);
        aLines = std::move(aNext);
    }
    std::vector<AnnotatedLine> aResult;
    aResult.reserve(aLines.size());
    for (std::size_t i = 0; i < aLines.size(); ++i)
        aResult.push_back({anOwners[i], aLines[i]});
    return aResult;
}

std::vector<AnnotatedLine> annotateLines(std::span<const FileVersion> theVersions) {
    if (theVersions.empty())
        return {};
    return annotateLines(theVersions, theVersions.size() - 1);
}

} // namespace RepositoryAccess::annotate
