#include "bench/teamloadverify.hpp"

#include <algorithm>
#include <map>
#include <string>

#include "repository/connection.hpp"
#include "repository/repofunobjects.hpp"

namespace RepositoryAccess::teamload {

namespace {

// The report shows this many examples of what went wrong.
constexpr std::size_t kMaxProblems = 10;

void addProblem(HistoryCheck& theCheck, std::string theProblem) {
    if (theCheck.itsProblems.size() < kMaxProblems)
        theCheck.itsProblems.push_back(std::move(theProblem));
}

// Reads the history of one object: counts its tags into theTags and checks numbering and contents.
void readHistory(const std::string& theName, HistoryCheck& theCheck,
                 std::map<std::string, long>& theTags) {
    RepositoryObject anObject(std::string(kSharedPackage), theName, std::string(kSuffix));
    std::vector<HistoryEntry> anEntries = repofunobjects::listHistory(anObject);
    std::sort(anEntries.begin(), anEntries.end(),
              [](const HistoryEntry& theLeft, const HistoryEntry& theRight) {
                  return theLeft.itsVersionId < theRight.itsVersionId;
              });
    for (std::size_t anIndex = 0; anIndex < anEntries.size(); ++anIndex) {
        const HistoryEntry& anEntry = anEntries[anIndex];
        if (anEntry.itsVersionId != static_cast<std::int64_t>(anIndex) + 1) {
            ++theCheck.itsNumberingFaults;
            addProblem(theCheck, theName + ": version " + std::to_string(anEntry.itsVersionId) +
                                     " at place " + std::to_string(anIndex + 1) +
                                     " of its history");
        }
        if (anEntry.itsIsDeletion)
            continue;
        anObject.setVersion({3, {}, {}, static_cast<std::int32_t>(anEntry.itsVersionId)});
        const std::string aContent =
            repofunobjects::readObject(RepositorySession::active(), anObject).itsContent;
        ++theCheck.itsVersions;
        ++theTags[theName + " " + tagOf(aContent)];
        if (aContent != contentOf(tagOf(aContent), theName, aContent.size())) {
            ++theCheck.itsDamaged;
            addProblem(theCheck, theName + ": version " + std::to_string(anEntry.itsVersionId) +
                                     " has a damaged content (tag " + tagOf(aContent) + ")");
        }
    }
}

} // namespace

HistoryCheck checkActivations(const LoadOptions& theOptions,
                              const std::vector<Activation>& theActivations) {
    installConnectParameters(theOptions, userOf(theOptions, 0), "");
    HistoryCheck aCheck;
    std::map<std::string, long> aTags;
    for (int anIndex = 0; anIndex < theOptions.itsObjects; ++anIndex)
        readHistory(objectName(anIndex), aCheck, aTags);
    connection::close();
    for (const Activation& anActivation : theActivations) {
        ++aCheck.itsChecked;
        const auto aFound = aTags.find(anActivation.itsObject + " " + anActivation.itsTag);
        const long aCount = aFound == aTags.end() ? 0 : aFound->second;
        if (aCount == 0) {
            ++aCheck.itsLost;
            addProblem(aCheck, anActivation.itsObject + ": the activated version " +
                                   anActivation.itsTag + " is not in the history");
        } else if (aCount > 1) {
            ++aCheck.itsDuplicated;
            addProblem(aCheck, anActivation.itsObject + ": the version " + anActivation.itsTag +
                                   " is " + std::to_string(aCount) + " times in the history");
        }
    }
    return aCheck;
}

} // namespace RepositoryAccess::teamload
