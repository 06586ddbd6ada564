// kivo-repo copy between a repository file and the cluster.

#include "repoadmin/pqtarget.hpp"
#include "server/repositorystore.hpp"
#include "server/transaction.hpp"
#include "sqlitefile/sqlitedb.hpp"
#include "tests/pg/serverrepository.hpp"

#include <algorithm>
#include <chrono>
#include <future>
#include <thread>

using namespace kivotest;
namespace fs = std::filesystem;
using RepositoryAccess::server::PqAddress;
using RepositoryAccess::server::PqDatabase;
using RepositoryAccess::server::SqliteDatabase;
using RepositoryAccess::server::SqlValueKind;

namespace {

class RepoCopyTest : public ServerRepositoryTest {
protected:
    // Every table of a repository file with its rows (kind and bytes of each value), sorted.
    static std::map<std::string, Rows> tables(const std::string& theFile) {
        SqliteDatabase aDatabase(theFile, false);
        std::vector<std::string> aNames;
        {
            auto aQuery = aDatabase.query("SELECT name FROM sqlite_master WHERE type = 'table'");
            while (aQuery.step())
                aNames.push_back(aQuery.text(0));
        }
        return repositoryRows(aDatabase, aNames);
    }

    // The directory's entries, to see that a failed copy left nothing.
    std::vector<std::string> entries() const {
        std::vector<std::string> aNames;
        for (const auto& anEntry : fs::directory_iterator(dir()))
            aNames.push_back(anEntry.path().filename().string());
        std::sort(aNames.begin(), aNames.end());
        return aNames;
    }
};

// How many of theRows hold theValue ("kind:bytes").
std::size_t rowsWith(const Rows& theRows, SqlValueKind theKind, const std::string& theValue) {
    const std::string aValue = std::to_string(static_cast<int>(theKind)) + ":" + theValue;
    return std::count_if(theRows.begin(), theRows.end(), [&](const auto& theRow) {
        return std::find(theRow.begin(), theRow.end(), aValue) != theRow.end();
    });
}

} // namespace

TEST_F(RepoCopyTest, AFileTravelsToTheServerAndBackRowForRow) {
    const std::string aUser = role("CP");
    const std::string aDatabase = database("copy_");
    const std::string aFile = (dir() / "repo.db").string();
    expectOk(repo({"init", aFile}));
    fill(aFile, "file:" + aFile, aUser);
    const std::map<std::string, Rows> aBefore = tables(aFile);
    // A binary content and a deletion without one are there to carry too (that fill() fills every
    // table: BackupTest).
    EXPECT_EQ(rowsWith(aBefore.at("history"), SqlValueKind::Blob, std::string("x\0y\0\xff", 5)),
              1u);
    EXPECT_EQ(rowsWith(aBefore.at("history"), SqlValueKind::Null, ""), 1u);
    std::size_t aRows = 0;
    for (const auto& [aName, aRowsOfTable] : aBefore)
        aRows += aRowsOfTable.size();
    const std::string aServer = uri(aDatabase);
    const RunResult aCopy = repo({"copy", aFile, aServer, "--keepName"});
    EXPECT_TRUE(aCopy.itsOut.starts_with("Copied repository " + aFile + " to " + shown(aDatabase) +
                                         " (" + std::to_string(aRows) + " rows)\n"))
        << aCopy.itsOut << aCopy.itsErr;
    EXPECT_TRUE(contains(aCopy.itsOut, "User " + aUser +
                                           " has no password on the server yet: set one with "
                                           "kivo-repo user " +
                                           shown(aDatabase) + " " + aUser + " PASSWORD\n"))
        << aCopy.itsOut;
    {
        // New objects on the server continue after the copied ids.
        RepositoryAccess::server::RepositoryStore aStore(
            std::make_unique<PqDatabase>(PqAddress(aServer)));
        RepositoryAccess::server::Transaction aTransaction(aStore.database(), true);
        EXPECT_EQ(aStore.createObject({"acme", "new", "txt"}),
                  static_cast<std::int64_t>(aBefore.at("objects").size()) + 1);
        aTransaction.rollback();
    }
    const std::string aShown = repo({"show", aServer}).itsOut;
    const std::string aShownFile = repo({"show", aFile}).itsOut;
    EXPECT_EQ(aShown.substr(aShown.find('\n')), aShownFile.substr(aShownFile.find('\n')));

    const std::string aBack = (dir() / "back.db").string();
    expectOk(repo({"copy", aServer, aBack, "--keepName"}));
    EXPECT_EQ(tables(aBack), aBefore);
    EXPECT_EQ(repo({"drop", aBack}).itsOut, "Removed repository " + aBack + "\n");
    EXPECT_FALSE(fs::exists(aBack));

    // A password set on the server is the user's password in a file copied from it.
    expectOk(repo({"user", aServer, aUser, "pw-server"}));
    const std::string aSecond = (dir() / "second.db").string();
    expectOk(repo({"copy", aServer, aSecond}));
    expectOk(createWorkspace("ws2", "file:" + aSecond, aUser, "pw-server"));
}

// A copy to a database takes the database's name for its changes unless told to keep the
// source's; a copy to a file keeps it unless given one.
TEST_F(RepoCopyTest, ACopyTakesItsDatabasesNameUnlessToldOtherwise) {
    const std::string aFile = (dir() / "prod.db").string();
    expectOk(repo({"init", aFile, "--database", "PROD"}));
    const auto aName = [](const std::string& theTarget) {
        const std::string aShow = repo({"show", theTarget}).itsOut;
        const std::size_t aStart = aShow.find("database_name = ") + 16;
        return aShow.substr(aStart, aShow.find('\n', aStart) - aStart);
    };
    const std::string aQa = database("qa_"), aKept = database("kept_");
    const RunResult aCopy = repo({"copy", aFile, uri(aQa)});
    expectOk(aCopy);
    EXPECT_TRUE(contains(aCopy.itsOut, "Its changes are numbered after " + aQa)) << aCopy.itsOut;
    EXPECT_EQ(aName(uri(aQa)), aQa);
    expectOk(repo({"copy", aFile, uri(aKept), "--keepName"}));
    EXPECT_EQ(aName(uri(aKept)), "PROD");

    const std::string aBack = (dir() / "back.db").string(), aNamed = (dir() / "named.db").string();
    expectOk(repo({"copy", uri(aQa), aBack}));
    EXPECT_EQ(aName(aBack), aQa);
    expectOk(repo({"copy", uri(aQa), aNamed, "--database", "TEST"}));
    EXPECT_EQ(aName(aNamed), "TEST");

    // Contradicting or unknown words are refused before anything is made.
    const std::string aNever = (dir() / "never.db").string();
    EXPECT_EQ(repo({"copy", aFile, aNever, "--keepName", "--database", "X"}).itsExitCode, 2);
    EXPECT_EQ(repo({"copy", aFile, aNever, "--keepname"}).itsExitCode, 2);
    EXPECT_FALSE(fs::exists(aNever));
}

TEST_F(RepoCopyTest, ACopyNeverOverwritesARepositoryAndAFailedOneLeavesNothing) {
    const std::string aFile = (dir() / "repo.db").string();
    expectOk(repo({"init", aFile}));
    expectOk(repo({"user", aFile, role("REF"), "pw"}));
    const std::string anExisting = database("existing_");
    expectOk(repo({"init", uri(anExisting), "--database", "OLD"}));
    const std::string aShown = repo({"show", uri(anExisting)}).itsOut;
    expectRefused(repo({"copy", aFile, uri(anExisting)}),
                  "Repository " + shown(anExisting) + " exists already");
    EXPECT_EQ(repo({"show", uri(anExisting)}).itsOut, aShown);
    const std::string aFileBytes = readText(aFile);
    expectRefused(repo({"copy", uri(anExisting), aFile}), "exists already");
    EXPECT_EQ(readText(aFile), aFileBytes);

    // An unknown table is refused before anything is made; a table whose columns differ fails
    // in the middle of the copy, which takes back what it made.
    const std::vector<std::string> aLeft = entries();
    const std::string aNew = database("failed_");
    SqliteDatabase(aFile, false).execute("CREATE TABLE extra (x)");
    expectRefused(repo({"copy", aFile, uri(aNew)}), "table \"extra\"");
    SqliteDatabase(aFile, false)
        .execute("DROP TABLE extra; ALTER TABLE packages ADD COLUMN extra TEXT");
    expectRefused(repo({"copy", aFile, uri(aNew)}), "The table \"packages\" has 14 columns");
    expectRefused(repo({"show", uri(aNew)}), "database \"" + aNew + "\" does not exist");
    const std::string aCopy = (dir() / "copy.db").string();
    expectRefused(repo({"copy", aFile, aCopy}), "The table \"packages\" has 14 columns");
    EXPECT_EQ(entries(), aLeft);
}

// A copy fails after it made its database while another run waits to make the same one: the
// failing run removes only what it made, and the other run's repository stays.
TEST_F(RepoCopyTest, AFailedRunNeverDropsWhatAnotherRunMadeOfTheSameDatabase) {
    const std::string aDatabase = database("contest_");
    const std::string anApplication = unique("contender");
    std::future<RunResult> anOther;
    auto aWaitingOther = [&] {
        PqDatabase aServer(PqAddress(uri("postgres")));
        auto aQuery = aServer.query("SELECT 1 FROM pg_stat_activity WHERE application_name = ? "
                                    "AND wait_event_type = 'Lock'");
        aQuery.bind(1, anApplication);
        return aQuery.step();
    };
    RepositoryAccess::server::PqTarget aFailing(uri(aDatabase));
    EXPECT_THROW(aFailing.createWith([&](RepositoryAccess::server::SqlDatabase&) {
        // The database is this run's own by now; the other run comes for the same name.
        anOther = std::async(std::launch::async, [&] {
            return repo({"init", uri(aDatabase) + "?application_name=" + anApplication});
        });
        for (int i = 0; i < 400 && !aWaitingOther(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        throw RepositoryAccess::Error("the copy fails");
    }),
                 RepositoryAccess::Error);
    ASSERT_TRUE(anOther.valid());
    const RunResult anInit = anOther.get();
    EXPECT_EQ(anInit.itsOut, "Created repository " + shown(aDatabase) + "\n") << anInit.itsErr;
    expectOk(repo({"show", uri(aDatabase)}));
}
