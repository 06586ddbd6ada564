#include "tests/unit/server/enginetestsupport.hpp"

#include <gtest/gtest.h>

using namespace enginetest;

namespace {

class KnownFacts : public ::testing::Test, public EngineFixture {
protected:
    std::string writeTo(const std::string& theUser, const std::string& thePackage,
                        const std::string& theName) {
        return write(theUser, object(thePackage, theName, "txt"), theName)->code();
    }
};

} // namespace

// A group's writes check their caller and their package once; a package that one of its own
// requests deletes is checked again, and a user removed between two groups is refused.
TEST_F(KnownFacts, LastOnlyAsLongAsTheTransactionThatFoundThem) {
    const std::string aMissingPackage = writeTo("ALICE", "nowhere", "x");
    createPackage("q");
    engine().beginGroup();
    ASSERT_EQ(writeTo("ALICE", "q", "a"), "0");
    ASSERT_EQ(request("ALICE", "delete", "package", R"("package":"q","ignoreInactiveObjects":"1")")
                  ->code(),
              "0");
    EXPECT_EQ(writeTo("ALICE", "q", "b"), aMissingPackage);
    createPackage("q");
    EXPECT_EQ(writeTo("ALICE", "q", "c"), "0");
    engine().endGroup();

    {
        server::Engine anAdministrator(server::openRepositoryFile(path()));
        server::Transaction aTransaction(anAdministrator.store().database(), true);
        ASSERT_TRUE(anAdministrator.store().removeUser("ALICE"));
        aTransaction.commit();
    }
    engine().beginGroup();
    EXPECT_NE(writeTo("ALICE", "q", "d"), "0");
    EXPECT_EQ(writeTo("BOB", "q", "d"), "0");
    engine().endGroup();
}
