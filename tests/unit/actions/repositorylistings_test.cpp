#include "actions/repositorylistings.hpp"

#include <gtest/gtest.h>

using namespace RepositoryAccess;

namespace {

RepositoryObject objectWith(const ObjectMetaData& theMeta) {
    RepositoryObject anObject("acme.\"v1.2\"", "Order", "txt");
    anObject.setMetaData(theMeta);
    return anObject;
}

} // namespace

// Without an open workspace the path is the package directories and the file name.
TEST(RepositoryListings, ActiveObjectLinesShowChangeAndBrokenStatus) {
    ObjectMetaData aMeta;
    aMeta.itsType = 1;
    aMeta.itsVersionId = 4;
    EXPECT_EQ(repositorylistings::activeObjectLine(objectWith(aMeta)),
              "\tacme/v1.2/Order.txt (version #4)\n");
    aMeta.itsChangeNumber = "0";
    aMeta.itsObjectStatus = "0";
    EXPECT_EQ(repositorylistings::activeObjectLine(objectWith(aMeta)),
              "\tacme/v1.2/Order.txt (version #4)\n");
    aMeta.itsChangeNumber = "ZEV//7";
    aMeta.itsReleasedAt = "2026-01-02 03:04:05.006";
    aMeta.itsObjectStatus = "1";
    EXPECT_EQ(repositorylistings::activeObjectLine(objectWith(aMeta)),
              "\tacme/v1.2/Order.txt (version #4) (change number #ZEV//7, released "
              "2026-01-02 03:04:05.006) broken\n");
    aMeta.itsReleasedAt.clear();
    EXPECT_EQ(repositorylistings::activeObjectLine(objectWith(aMeta)),
              "\tacme/v1.2/Order.txt (version #4) (change number #ZEV//7, released ) broken\n");
}

// The base of an inactive version is the version before it; version 1 (and a missing one) is new.
TEST(RepositoryListings, InactiveObjectLinesShowTheBaseOrNew) {
    ObjectMetaData aMeta;
    aMeta.itsType = 2;
    aMeta.itsVersionId = 1;
    EXPECT_EQ(repositorylistings::inactiveObjectLine(objectWith(aMeta)),
              "\tacme/v1.2/Order.txt (new)\n");
    aMeta.itsVersionId = 0;
    EXPECT_EQ(repositorylistings::inactiveObjectLine(objectWith(aMeta)),
              "\tacme/v1.2/Order.txt (new)\n");
    aMeta.itsVersionId = 3;
    aMeta.itsIsDeletion = true;
    EXPECT_EQ(repositorylistings::inactiveObjectLine(objectWith(aMeta)),
              "\tacme/v1.2/Order.txt (base #2) deletion\n");
}
