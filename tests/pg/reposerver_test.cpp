// kivo-repo on a repository inside the cluster, through the real binary: init, user, set, show
// and drop, and the refusals that name their reason.

#include "pqclient/pqaddress.hpp"
#include "repoadmin/pqdatabase.hpp"
#include "tests/pg/repotool.hpp"

using namespace kivotest;
using RepositoryAccess::server::PqAddress;
using RepositoryAccess::server::PqDatabase;

namespace {

class RepoServerTest : public RepoToolTest {
protected:
    // True when theUser logs in to theDatabase with thePassword.
    bool logsIn(const std::string& theDatabase, const std::string& theUser,
                const std::string& thePassword) {
        try {
            PqDatabase aDatabase(PqAddress(uri(theDatabase, theUser, thePassword)));
            return true;
        } catch (const RepositoryAccess::Error& anError) {
            EXPECT_NE(std::string(anError.what()).find("password authentication failed"),
                      std::string::npos)
                << anError.what();
            return false;
        }
    }
};

} // namespace

TEST_F(RepoServerTest, InitUserSetShowAndDropAdministerAServerRepository) {
    const std::string aDatabase = unique("admin_");
    const std::string aUser = unique("ANN");
    const std::string aTarget = uri(aDatabase);
    auto anInit = repo({"init", aTarget, "--database", "TST", "--vendor", "acme.org"});
    EXPECT_EQ(anInit.itsOut, "Created repository " + shown(aDatabase) + "\n") << anInit.itsErr;
    expectRefused(repo({"init", aTarget}), "Repository " + shown(aDatabase) + " exists already");

    EXPECT_EQ(repo({"user", aTarget, aUser, "pw-1"}).itsOut, "Added user " + aUser + "\n");
    EXPECT_TRUE(logsIn(aDatabase, aUser, "pw-1"));
    EXPECT_EQ(repo({"user", aTarget, aUser, "pw-2"}).itsOut,
              "Changed the password of user " + aUser + "\n");
    EXPECT_FALSE(logsIn(aDatabase, aUser, "pw-1"));
    EXPECT_TRUE(logsIn(aDatabase, aUser, "pw-2"));

    EXPECT_EQ(repo({"set", aTarget, "api_version", "none"}).itsOut, "api_version = none\n");
    expectRefused(repo({"set", aTarget, "change_tracking", "maybe"}), "on or off");
    auto aShow = repo({"show", aTarget});
    ASSERT_EQ(aShow.itsExitCode, 0) << aShow.itsErr;
    EXPECT_TRUE(aShow.itsOut.starts_with("Repository " + shown(aDatabase) + "\nSettings:\n"));
    for (const std::string& aLine :
         std::vector<std::string>{"  api_version = none\n", "  database_name = TST\n",
                                  "  vendor = acme.org\n", "  " + aUser + "\n", "Objects: 0\n"})
        EXPECT_NE(aShow.itsOut.find(aLine), std::string::npos) << aLine << "\n" << aShow.itsOut;
    EXPECT_EQ(aShow.itsOut.find("pw-"), std::string::npos) << "passwords are never shown";

    EXPECT_EQ(repo({"drop", aTarget}).itsOut, "Removed repository " + shown(aDatabase) + "\n");
    expectRefused(repo({"show", aTarget}), "database \"" + aDatabase + "\" does not exist");
}

TEST_F(RepoServerTest, ADatabaseWithoutARepositoryIsNeverDroppedButMayReceiveOne) {
    const std::string aDatabase = unique("plain_");
    {
        PqDatabase aServer(PqAddress(uri("template1")));
        aServer.execute("CREATE DATABASE " + aServer.quoteIdentifier(aDatabase) +
                        " TEMPLATE template0");
    }
    const std::string aNoRepository = "The database " + shown(aDatabase) + " holds no repository";
    expectRefused(repo({"show", uri(aDatabase)}), aNoRepository);
    expectRefused(repo({"user", uri(aDatabase), "bob", "pw"}), aNoRepository);
    expectRefused(repo({"drop", uri(aDatabase)}), aNoRepository);

    expectOk(repo({"init", uri(aDatabase)}));
    expectOk(repo({"show", uri(aDatabase)}));
    expectOk(repo({"drop", uri(aDatabase)}));
}

TEST_F(RepoServerTest, ConnectFailuresNameTheirReasonAndNeverThePassword) {
    const auto aWrong = repo({"show", uri("ZEV", "", "not-the-password")});
    expectRefused(aWrong, "Cannot connect to " + shown("ZEV") +
                              ": password authentication failed for user \"" +
                              itsFacts["KIVO_PG_ADMIN"] + "\"");
    EXPECT_EQ(aWrong.itsErr.find("not-the-password"), std::string::npos);
    expectRefused(repo({"show", uri("no_such_db")}), "database \"no_such_db\" does not exist");
    expectRefused(repo({"show", "postgresql://a:b@127.0.0.1:1/ZEV"}),
                  "Cannot connect to postgresql://a@127.0.0.1:1/ZEV: ");
    expectRefused(repo({"init", "postgresql://a:b@127.0.0.1:1/"}), "names no database");
}

// An address that cannot be read, or that reads otherwise than it looks, is refused with its
// password hidden; a mistyped scheme or none at all makes no file name that shows it.
TEST_F(RepoServerTest, AnAddressThatCannotBeReadNeverShowsItsPassword) {
    const std::string aServer = "@127.0.0.1:" + itsFacts["KIVO_PG_PORT"] + "/ZEV";
    struct Case {
        std::string itsPassword, itsScheme, itsReason;
    };
    const Case aCases[] = {
        {"Pw%zzSecret", "postgresql://", "invalid percent-encoded token"},
        {"Pw%00Secret", "postgresql://", "forbidden value %00 in percent-encoded value"},
        {"Pw/Secret", "postgresql://", "cannot be read unambiguously"},
        {"Pw@Secret", "postgres://", "cannot be read unambiguously"},
        {"PwSecret", "postgressql://", "is neither a repository file nor a server address"},
        {"PwSecret", "", "admin:***@127.0.0.1"},
    };
    for (const Case& aCase : aCases) {
        const std::string anAddress = aCase.itsScheme + "admin:" + aCase.itsPassword + aServer;
        const RunResult aShow = repo({"show", anAddress});
        expectRefused(aShow, aCase.itsReason);
        EXPECT_TRUE(contains(aShow.itsErr, aCase.itsScheme + "admin:***" + aServer))
            << aShow.itsErr;
        EXPECT_FALSE(contains(aShow.itsOut + aShow.itsErr, "Secret")) << aShow.itsErr;
    }
    const std::string anOpenBracket = "postgresql://admin:PwSecret@[::1:5432/ZEV";
    const RunResult aShow = repo({"show", anOpenBracket});
    expectRefused(aShow, "Cannot read the server address postgresql://admin:***@[::1:5432/ZEV: "
                         "end of string reached when looking for matching \"]\"");
    EXPECT_FALSE(contains(aShow.itsErr, "Secret")) << aShow.itsErr;
}
