#include "webview/sessions.hpp"

#include <gtest/gtest.h>

#include <set>

using RepositoryAccess::webview::Sessions;

// Ids are 128 random bits in hex, each names its own user, and a session ends at sign-out.
TEST(Sessions, IdsAreRandomAndEndAtSignOut) {
    Sessions aSessions;
    std::set<std::string> anIds;
    for (int i = 0; i < 100; ++i) {
        const std::string anId = aSessions.begin(i % 2 ? "ANNA" : "BEN");
        EXPECT_EQ(anId.find_first_not_of("0123456789abcdef"), std::string::npos);
        EXPECT_EQ(anId.size(), 32u);
        anIds.insert(anId);
        EXPECT_EQ(aSessions.user(anId), i % 2 ? "ANNA" : "BEN");
    }
    EXPECT_EQ(anIds.size(), 100u);
    const std::string anId = *anIds.begin();
    aSessions.end(anId);
    EXPECT_FALSE(aSessions.user(anId));
    EXPECT_FALSE(aSessions.user(""));
}
