#include "actions/actionmove.hpp"
#include "actions/repositorylistings.hpp"

#include <gtest/gtest.h>

using namespace RepositoryAccess;

// An active line shows the change and the broken status; an inactive one its base, the version
// before it (version 1, and a missing one, is new).
TEST(RepositoryListings, ObjectLinesShowVersionChangeAndStatus) {
    const struct {
        int itsType, itsVersion;
        const char *itsChange, *itsReleased, *itsStatus;
        bool itsDeletion;
        const char* itsLine;
    } aTable[] = {
        {1, 4, "", "", "", false, " (version #4)"},
        {1, 4, "0", "", "0", false, " (version #4)"},
        {1, 4, "ZEV//7", "2026-01-02 03:04:05.006", "1", false,
         " (version #4) (change number #ZEV//7, released 2026-01-02 03:04:05.006) broken"},
        {1, 4, "ZEV//7", "", "1", false, " (version #4) (change number #ZEV//7, released ) broken"},
        {2, 1, "", "", "", false, " (new)"},
        {2, 0, "", "", "", false, " (new)"},
        {2, 3, "", "", "", true, " (base #2) deletion"},
    };
    for (const auto& aRow : aTable) {
        RepositoryObject anObject("acme.\"v1.2\"", "Order", "txt");
        ObjectMetaData aMeta;
        aMeta.itsType = aRow.itsType;
        aMeta.itsVersionId = aRow.itsVersion;
        aMeta.itsChangeNumber = aRow.itsChange;
        aMeta.itsReleasedAt = aRow.itsReleased;
        aMeta.itsObjectStatus = aRow.itsStatus;
        aMeta.itsIsDeletion = aRow.itsDeletion;
        anObject.setMetaData(aMeta);
        EXPECT_EQ(aRow.itsType == 1 ? repositorylistings::activeObjectLine(anObject)
                                    : repositorylistings::inactiveObjectLine(anObject),
                  "\tacme/v1.2/Order.txt" + std::string(aRow.itsLine) + "\n");
    }
}

namespace {

std::vector<std::string> keys(const std::vector<RepositoryObject>& theObjects) {
    std::vector<std::string> aKeys;
    for (const RepositoryObject& anObject : theObjects)
        aKeys.push_back(anObject.key());
    return aKeys;
}

const std::vector<RepositoryObject> kEntries = {
    {"acme", "a", "txt"}, {"acme.sub", "b", "txt"}, {"acme2", "c", "txt"}, {"zeta", "d", "js"}};

} // namespace

// Packages take their sub-packages unless flat, and never their namesakes.
TEST(ActionMove, EntriesInScope) {
    ActionScope aScope;
    aScope.itsPackages = {"acme"};
    EXPECT_EQ(keys(actionMove::entriesInScope(kEntries, aScope, {})),
              (std::vector<std::string>{"acme.a.txt", "acme.sub.b.txt"}));
    aScope.itsRecursive = false;
    EXPECT_EQ(keys(actionMove::entriesInScope(kEntries, aScope, {})),
              (std::vector<std::string>{"acme.a.txt"}));
    // Objects match themselves; inactive objects are the user's own.
    aScope = ActionScope{};
    aScope.itsObjects = {{"zeta", "d", "js"}, {"zeta", "d", "txt"}};
    EXPECT_EQ(keys(actionMove::entriesInScope(kEntries, aScope, {})),
              (std::vector<std::string>{"zeta.d.js"}));
    ActionScope anInactive;
    anInactive.itsInactiveObjects = true;
    anInactive.itsPackages = {"acme"}; // ignored: the inactive objects are the scope
    EXPECT_EQ(keys(actionMove::entriesInScope(kEntries, anInactive, {{"acme2", "c", "txt"}})),
              (std::vector<std::string>{"acme2.c.txt"}));
    EXPECT_TRUE(actionMove::entriesInScope(kEntries, ActionScope{}, {}).empty());
}
