#pragma once

// Repository databases of the throwaway cluster filled by the real client, and PostgreSQL's own
// tools run against them as the cluster's administrator: for the tests of backups and of the
// extension's update path, which compare a database with another row for row.

#include "pqclient/pqaddress.hpp"
#include "repoadmin/pqdatabase.hpp"
#include "server/storeschema.hpp"
#include "tests/pg/repotool.hpp"
#include "tests/support/repositoryrows.hpp"

#include <filesystem>

namespace kivotest {

class ServerRepositoryTest : public RepoToolTest {
protected:
    void TearDown() override {
        if (itsFacts["KIVO_PG"] != "available")
            return;
        RepositoryAccess::server::PqDatabase anAdmin(
            RepositoryAccess::server::PqAddress(uri("template1")));
        for (const std::string& aDatabase : itsDatabases)
            anAdmin.execute("DROP DATABASE IF EXISTS " + anAdmin.quoteIdentifier(aDatabase) +
                            " WITH (FORCE)");
        for (const std::string& aRole : itsRoles)
            anAdmin.execute("DROP ROLE IF EXISTS " + anAdmin.quoteIdentifier(aRole));
    }

    const std::filesystem::path& dir() const { return itsDir.path(); }

    // A name of this test process for a database, which the test drops at its end.
    std::string database(const std::string& theStem) {
        itsDatabases.push_back(unique(theStem));
        itsRoles.push_back("kivo_" + itsDatabases.back() + "_users");
        return itsDatabases.back();
    }
    // A name of this test process for a login role, which the test drops at its end.
    std::string role(const std::string& theStem) {
        itsRoles.push_back(unique(theStem));
        return itsRoles.back();
    }

    // Runs theSql as the administrator in theDatabase.
    void execute(const std::string& theDatabase, const std::string& theSql) {
        RepositoryAccess::server::PqDatabase(RepositoryAccess::server::PqAddress(uri(theDatabase)))
            .execute(theSql);
    }
    // The first column of theSql's rows, one line each.
    std::string lines(const std::string& theDatabase, const std::string& theSql) {
        RepositoryAccess::server::PqDatabase aDatabase(
            RepositoryAccess::server::PqAddress(uri(theDatabase)));
        std::string aLines;
        auto aQuery = aDatabase.query(theSql);
        while (aQuery.step())
            aLines += aQuery.text(0) + "\n";
        return aLines;
    }
    // Every row of every repository table of theDatabase.
    std::map<std::string, Rows> rows(const std::string& theDatabase) {
        RepositoryAccess::server::PqDatabase aDatabase(
            RepositoryAccess::server::PqAddress(uri(theDatabase)));
        return repositoryRows(aDatabase, RepositoryAccess::server::storeschema::tableNames());
    }

    // A client tool of PostgreSQL (pg_dump, pg_restore, psql, pg_dumpall) as the administrator,
    // with the host, port and user given.
    RunResult pgTool(const std::string& theTool, std::vector<std::string> theArgs) {
        RunOptions anOptions;
        anOptions.itsEnv["PGPASSWORD"] = itsFacts["KIVO_PG_ADMIN_PASSWORD"];
        anOptions.itsCwd = dir();
        theArgs.insert(theArgs.begin(), {"-h", "127.0.0.1", "-p", itsFacts["KIVO_PG_PORT"], "-U",
                                         itsFacts["KIVO_PG_ADMIN"]});
        return runProgram(pgBinary(theTool), theArgs, anOptions);
    }

    // theUser's workspace theName on theDatabase (password "pw").
    void createWorkspace(const std::string& theName, const std::string& theDatabase,
                         const std::string& theUser) {
        RunOptions anOptions;
        anOptions.itsCwd = dir();
        expectOk(runKivo({"create", "workspace", (dir() / theName).string(),
                          "--host=127.0.0.1:" + itsFacts["KIVO_PG_PORT"], "--user=" + theUser,
                          "--passwd=pw", "--database=" + theDatabase},
                         anOptions));
        itsWorkspaces[theName] = theDatabase;
    }
    // kivo theArgs in workspace theName; its run.
    RunResult kivo(const std::string& theName, std::vector<std::string> theArgs) {
        theArgs.push_back("--passwd=pw");
        theArgs.push_back("--database=" + itsWorkspaces.at(theName));
        RunOptions anOptions;
        anOptions.itsCwd = dir() / theName;
        return runKivo(theArgs, anOptions);
    }
    void write(const std::string& theRelative, const std::string& theContent) const {
        writeText(dir() / theRelative, theContent);
    }

    // Fills the repository of theDatabase through the client: two users (theUser, who works in
    // workspace "ws", and a second one), change tracking on, two packages with versions, a
    // deletion, a binary content with zero bytes, an inactive version and a delivery unit.
    void fill(const std::string& theDatabase, const std::string& theUser) {
        expectOk(repo({"user", uri(theDatabase), theUser, "pw"}));
        expectOk(repo({"user", uri(theDatabase), role("ROW"), "pw"}));
        expectOk(repo({"set", uri(theDatabase), "change_tracking", "on"}));
        createWorkspace("ws", theDatabase, theUser);
        std::filesystem::create_directories(dir() / "ws" / "acme");
        std::filesystem::create_directories(dir() / "ws" / "beta");
        expectOk(kivo("ws", {"track", "acme"}));
        expectOk(kivo("ws", {"track", "beta"}));
        write("ws/acme/a.txt", "one\n");
        write("ws/acme/p.png", std::string("x\0y\0\xff", 5));
        write("ws/beta/b.txt", "bee\n");
        expectOk(kivo("ws", {"push"}));
        write("ws/acme/a.txt", "one\ntwo\n");
        expectOk(kivo("ws", {"push"}));
        std::filesystem::remove(dir() / "ws" / "beta" / "b.txt");
        expectOk(kivo("ws", {"push"}));
        write("ws/acme/c.txt", "not active yet\n");
        expectOk(kivo("ws", {"commit"}));
        expectOk(kivo("ws", {"create", "deliveryUnit", "DU1"}));
        expectOk(kivo("ws", {"assign", "acme", "DU1"}));
    }

    // Pushes a new object from workspace theName: new objects take ids after the ones there.
    void pushNewObject(const std::string& theName, const std::string& theFile) {
        write(theName + "/acme/" + theFile, "new after the restore\n");
        const RunResult aRun = kivo(theName, {"push"});
        expectOk(aRun);
        EXPECT_TRUE(contains(aRun.itsOut, "Committed files              : 1"))
            << aRun.itsOut << aRun.itsErr;
    }

private:
    std::string pgBinary(const std::string& theTool) {
        if (itsBinDir.empty()) {
            RunResult aRun = runProgram("/bin/sh", {"-c", "pg_config --bindir"});
            itsBinDir = aRun.itsOut.substr(0, aRun.itsOut.find('\n'));
        }
        return itsBinDir + "/" + theTool;
    }

    TempDir itsDir;
    std::string itsBinDir;
    std::map<std::string, std::string> itsWorkspaces;
    std::vector<std::string> itsDatabases;
    std::vector<std::string> itsRoles;
};

} // namespace kivotest
