// The repository's write lock inside the server, held by a write call inside BEGIN. The test has a
// repository database of its own, so that its limits bind nobody else.

#include "tests/pg/repositorysession.hpp"
#include "tests/pg/serverrepository.hpp"

#include <chrono>
#include <thread>

using namespace kivotest;

namespace {

class WriteLockTest : public ServerRepositoryTest {
protected:
    void SetUp() override {
        ServerRepositoryTest::SetUp();
        if (IsSkipped())
            return;
        itsDatabase = repository("writelock_");
        for (const std::string& aUser : {itsHolder, itsWriter})
            expectOk(repo({"user", uri(itsDatabase), aUser, "pw"}));
    }

    // theUser's connection to the test's database; its statements time out should the lock not.
    std::unique_ptr<RepositorySession> session(const std::string& theUser) {
        auto aFacts = itsFacts;
        aFacts["KIVO_PG_DATABASE"] = itsDatabase;
        auto aSession = std::make_unique<RepositorySession>(aFacts, theUser, "pw");
        EXPECT_EQ(aSession->sql("SET statement_timeout = '30s'"), "");
        return aSession;
    }

    // The holder's transaction with a write of thePackage in it, which holds the write lock.
    std::unique_ptr<RepositorySession> holdTheLock(const std::string& thePackage) {
        auto aHolder = session(itsHolder);
        EXPECT_EQ(aHolder->sql("BEGIN"), "");
        EXPECT_EQ(aHolder->call(createPackageJson(thePackage))->code(), "0");
        return aHolder;
    }

    std::string itsDatabase;
    const std::string itsHolder = role("HOLDER"), itsWriter = role("WRITER");
};

} // namespace

TEST_F(WriteLockTest, AWriterWaitsAtMostTheLimitAndAnIdleHolderIsCutOff) {
    expectOk(repo({"set", uri(itsDatabase), "write_wait_seconds", "1"}));
    expectRefused(repo({"set", uri(itsDatabase), "write_idle_seconds", "0"}),
                  "write_idle_seconds must be a whole number of seconds from 1 to 86400");
    auto aHolder = holdTheLock("held");
    const std::string aSession = aHolder->sql("SELECT pg_backend_pid()");
    auto aWriter = session(itsWriter);

    const auto aRefused = aWriter->call(createPackageJson("waiting"));
    EXPECT_FALSE(aRefused->itsCalled);
    const std::string aHeld = "(UTC): user " + itsHolder + " (session " + aSession +
                              ") holds its write lock, idle in a transaction; a write waits at "
                              "most 1 s for it (setting write_wait_seconds). Try again later.";
    EXPECT_TRUE(contains(aRefused->itsFailure, "The repository is busy since 20"))
        << aRefused->itsFailure;
    EXPECT_TRUE(contains(aRefused->itsFailure, aHeld)) << aRefused->itsFailure;
    // The administration tool is a writer like any other.
    const RunResult aSet = repo({"set", uri(itsDatabase) + "?options=-c%20statement_timeout%3D30s",
                                 "change_tracking", "on"});
    expectRefused(aSet, aHeld);

    EXPECT_EQ(aHolder->sql("COMMIT"), "");
    EXPECT_EQ(aWriter->call(createPackageJson("waiting"))->code(), "0");

    auto aGroup = session(itsHolder);
    EXPECT_EQ(aGroup->call(createPackageJson("taken"))->code(), "0");
    aGroup->beginGroup();
    // A refused write gives the lock back with everything else it did.
    EXPECT_NE(aGroup->call(createPackageJson("taken"))->code(), "0");
    aWriter = session(itsWriter);
    EXPECT_EQ(aWriter->sql("BEGIN"), "");
    EXPECT_EQ(aWriter->call(createPackageJson("other"))->code(), "0");
    // So the group's next write must wait for it like any other writer.
    const auto aBusy = aGroup->call(createPackageJson("mine"));
    EXPECT_FALSE(aBusy->itsCalled);
    EXPECT_TRUE(contains(aBusy->itsFailure, "The repository is busy")) << aBusy->itsFailure;
    EXPECT_TRUE(contains(aGroup->endGroup(), "The repository is busy"));

    EXPECT_EQ(aWriter->sql("COMMIT"), "");
    aGroup->beginGroup();
    EXPECT_EQ(aGroup->call(createPackageJson("mine"))->code(), "0");
    EXPECT_EQ(aGroup->call(createPackageJson("mine.sub"))->code(), "0");
    // While the group's transaction is open, it holds the lock.
    aWriter = session(itsWriter);
    EXPECT_FALSE(aWriter->call(createPackageJson("later"))->itsCalled);
    EXPECT_EQ(aGroup->endGroup(), "");
    EXPECT_EQ(aWriter->call(createPackageJson("later"))->code(), "0");

    // A writer that waited for the lock and got it keeps its own lock timeout for what follows.
    expectOk(repo({"set", uri(itsDatabase), "write_wait_seconds", "30"}));
    aHolder = holdTheLock("handed");
    aWriter = session(itsWriter);
    EXPECT_EQ(aWriter->sql("SET lock_timeout = '7s'"), "");
    EXPECT_EQ(aWriter->sql("BEGIN"), "");
    std::thread aHandOver([&aHolder] {
        for (int aTry = 0;
             aTry < 200 && aHolder->sql("SELECT count(*) FROM pg_locks WHERE "
                                        "locktype = 'advisory' AND NOT granted") != "1";
             ++aTry)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        aHolder->sql("COMMIT");
    });
    const auto aWaited = aWriter->call(createPackageJson("waited"));
    aHandOver.join();
    EXPECT_EQ(aWaited->code(), "0");
    EXPECT_EQ(aWriter->sql("SHOW lock_timeout"), "7s");
    EXPECT_EQ(aWriter->sql("COMMIT"), "");

    // A holder idle in its transaction for the limit is cut off, its write rolled back.
    expectOk(repo({"set", uri(itsDatabase), "write_idle_seconds", "1"}));
    aHolder = holdTheLock("idle");
    std::this_thread::sleep_for(std::chrono::seconds(3));
    aWriter = session(itsWriter);
    EXPECT_EQ(aWriter->call(createPackageJson("after"))->code(), "0");
    EXPECT_TRUE(aHolder->sql("SELECT 1").starts_with("error: ")) << "the holder goes on";
    EXPECT_EQ(aWriter->call(createPackageJson("idle"))->code(), "0");
}
