// Who may administer what, through the real binaries with two users: dev, the repository's
// administrator (kivo-repo user ... --admin), and other, a plain user. Changes belong to their
// creator; the switch of change tracking, undeploy and an import that deletes objects or takes a
// package from another delivery unit are the administrator's, and such an import says what it
// deleted and took.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/e2e/deliveryunitfixture.hpp"
#include "tests/e2e/repositoryworkspace.hpp"
#include "tests/support/process.hpp"

using namespace kivotest;
namespace fs = std::filesystem;

namespace {

void expectRefused(const RunResult& theResult, const std::string& theError) {
    EXPECT_EQ(theResult.itsExitCode, 1) << theResult.itsOut;
    EXPECT_TRUE(contains(theResult.itsErr, theError)) << theResult.itsErr;
}

// Makes dev the repository's one administrator.
void markDev(const RepositoryTarget& theTarget) {
    const RunResult aMark = theTarget.tool("user", {"dev", "pw", "--admin"});
    EXPECT_EQ(aMark.itsExitCode, 0) << aMark.itsErr;
}

// dev's workspace "ws" and other's workspace "wso" (key K2), both tracking acme.
class AuthorityChanges : public ::testing::Test, protected RepositoryWorkspace {
protected:
    AuthorityChanges() : RepositoryWorkspace(true, true) {
        markDev(target());
        setKey("K2", "other");
        expectOk(runKivo({"create", "workspace", "wso", "K2"}, options()));
        fs::create_directories(dir() / "wso/acme");
        expectOk(other({"track", "acme"}));
    }
    RunResult other(const std::vector<std::string>& theArgs) const {
        return runKivo(theArgs, options(dir() / "wso"));
    }
};

using AuthorityUnits = DeliveryUnitFixture;

} // namespace

TEST_F(AuthorityChanges, AChangeIsItsCreatorsAndTheSwitchTheAdministrators) {
    expectRefused(other({"set", "cts", "enabled"}),
                  "Failed to toggle change tracking (40120): Not authorized: User OTHER may not "
                  "switch change tracking: only an administrator may\n");
    expectOk(kivo({"set", "cts", "enabled"}));
    writeText(path("acme/a.txt"), "dev's");
    expectOk(kivo({"push"}));
    expectOk(kivo({"create", "contributor", "ZEV//1", "other"}));

    // other may neither drop dev's contribution nor release the change without it.
    const std::string anOnly = "\": only its creator DEV or an administrator may\n";
    expectRefused(other({"delete", "contributor", "ZEV//1", "dev"}),
                  "(40120): Not authorized: User OTHER may not remove contributors from change "
                  "\"ZEV//1" +
                      anOnly);
    expectRefused(other({"release", "ZEV//1"}),
                  "(40120): Not authorized: User OTHER may not release change \"ZEV//1" + anOnly);
    expectRefused(other({"update", "change", "ZEV//1", "--description=mine"}),
                  "(40120): Not authorized: User OTHER may not describe change \"ZEV//1" + anOnly);

    // Without names, validate validates the connected user's own contribution.
    expectOk(other({"validate", "contributor", "ZEV//1"}));
    expectOk(kivo({"validate", "ZEV//1"}));
    expectOk(kivo({"release", "ZEV//1"}));

    // other's own change is other's; the administrator may administer it too.
    writeText(dir() / "wso/acme/o.txt", "other's");
    expectOk(other({"push"}));
    expectOk(other({"update", "change", "ZEV//2", "--description=other's"}));
    expectOk(kivo({"update", "change", "ZEV//2", "--description=checked"}));
    expectOk(kivo({"set", "cts", "disabled", "--force"}));
}

// DU1's archive is imported again after its package acme.sub went to DU2 and gained d.txt.
TEST_F(AuthorityUnits, UndeployAndImportsThatDeleteOrTakeAreTheAdministratorsAndSaySo) {
    makeTree();
    exportTo("du1.tgz");
    markDev(target());
    setKey("K2", "other");
    expectOk(kivo({"create", "deliveryUnit", "DU2"}));
    expectOk(kivo({"assign", "acme.sub", "DU2"}));
    writeText(path("acme/sub/d.txt"), "dee");
    expectOk(kivo({"push"}));
    const std::string aBefore = actives(target());

    const auto aRefused = outside({"import", archive("du1.tgz"), "--key=K2"});
    EXPECT_EQ(aRefused.itsExitCode, 1) << aRefused.itsOut;
    EXPECT_EQ(aRefused.itsErr,
              "\nImport failed (40120): Not authorized: User OTHER may not take package acme.sub "
              "from delivery unit DU2 (example.com) by an import: only an administrator may\n");
    expectRefused(outside({"undeploy", "DU2", "--key=K2"}),
                  "(40120): Not authorized: User OTHER may not undeploy delivery unit DU2 "
                  "(example.com): only an administrator may\n");
    EXPECT_EQ(actives(target()), aBefore);

    const auto anImport = outside({"import", archive("du1.tgz"), "--key=K1"});
    EXPECT_EQ(anImport.itsExitCode, 0) << anImport.itsErr;
    EXPECT_TRUE(contains(anImport.itsOut,
                         "Taken package           : acme.sub (from delivery unit DU2, vendor "
                         "example.com)\nDeleted object          : acme/sub/d.txt\n\nImport "
                         "successful.\n"))
        << anImport.itsOut;
    EXPECT_FALSE(contains(actives(target()), "d.txt"));

    // An import that deletes and takes nothing is any user's.
    const auto aPlain = outside({"import", archive("du1.tgz"), "--key=K2"});
    EXPECT_EQ(aPlain.itsExitCode, 0) << aPlain.itsErr;
    EXPECT_FALSE(contains(aPlain.itsOut, "Deleted object")) << aPlain.itsOut;
}
