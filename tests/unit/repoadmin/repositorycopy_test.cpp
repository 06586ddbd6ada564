#include "repoadmin/repositorycopy.hpp"
#include "repoadmin/repositorytarget.hpp"
#include "server/passwordhash.hpp"
#include "server/transaction.hpp"
#include "sqlitefile/repositoryfile.hpp"
#include "tests/support/process.hpp"
#include "tests/unit/server/failingdatabase.hpp"

#include <gtest/gtest.h>

using namespace RepositoryAccess;
using enginetest::dumpRepository;
using enginetest::FailingDatabase;

// A copy into a repository runs in one transaction: a failure at any statement of it leaves the
// target as it was and is the error that the tool shows, also when the rollback fails as well.
TEST(RepositoryCopy, AFailureAnywhereLeavesTheTargetAsItWas) {
    kivotest::TempDir aDir;
    const std::string aSource = (aDir.path() / "source.db").string();
    const std::string aTarget = (aDir.path() / "target.db").string();
    server::createRepositoryFile(aSource, {{"vendor", "copy.example"}});
    {
        server::RepositoryStore aStore(server::openRepositoryFile(aSource));
        server::Transaction aTransaction(aStore.database(), true);
        aStore.putUser({"ALICE", server::hashPassword("pw")});
        aTransaction.commit();
    }
    server::createRepositoryFile(aTarget, {});
    server::RepositorySnapshot aSnapshot = server::makeTarget(aSource)->openSnapshot();
    FailingDatabase aDatabase(std::make_unique<server::SqliteDatabase>(aTarget, false));
    enginetest::runThroughFailures(aDatabase, aTarget, [&] {
        server::Transaction aTransaction(aDatabase, true);
        server::RepositoryCopy(*aSnapshot.itsDatabase, aSnapshot.itsTables).into(aDatabase);
        aTransaction.commit();
    });
    EXPECT_EQ(dumpRepository(aTarget), dumpRepository(aSource));
}
