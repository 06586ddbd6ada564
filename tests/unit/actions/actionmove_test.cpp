#include "actions/actionmove.hpp"

#include <gtest/gtest.h>

using namespace RepositoryAccess;

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
