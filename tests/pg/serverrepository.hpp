#pragma once

// Repository databases of the throwaway cluster filled by the real client, compared row for row,
// and PostgreSQL's own tools run on them as the cluster's administrator.

#include "pqclient/pqaddress.hpp"
#include "repoadmin/pqdatabase.hpp"
#include "server/storeschema.hpp"
#include "tests/pg/repotool.hpp"
#include "tests/support/repositoryrows.hpp"

#include <filesystem>

namespace kivotest {

// The first column of theSql's rows in theDatabase (a server's or a file's), one line each.
inline std::string linesOf(RepositoryAccess::server::SqlDatabase& theDatabase,
                           const std::string& theSql) {
    std::string aLines;
    auto aQuery = theDatabase.query(theSql);
    while (aQuery.step())
        aLines += aQuery.text(0) + "\n";
    return aLines;
}

class ServerRepositoryTest : public RepoToolTest {
protected:
    void TearDown() override {
        if (itsFacts["KIVO_PG"] != "available")
            return;
        for (const std::string& aDatabase : itsDatabases)
            execute("template1", "DROP DATABASE IF EXISTS \"" + aDatabase + "\" WITH (FORCE)");
        // Newest first: a role made by an administrator role of the test goes before it.
        for (auto aRole = itsRoles.rbegin(); aRole != itsRoles.rend(); ++aRole)
            execute("template1", "DROP ROLE IF EXISTS \"" + *aRole + "\"");
    }

    // A database name of this test process, dropped at the end with its users' group role.
    std::string database(const std::string& theStem) {
        itsDatabases.push_back(unique(theStem));
        itsRoles.push_back("kivo_" + itsDatabases.back() + "_users");
        return itsDatabases.back();
    }
    // A new repository database (kivo-repo init) of that name.
    std::string repository(const std::string& theStem) {
        const std::string aDatabase = database(theStem);
        expectOk(repo({"init", uri(aDatabase)}));
        return aDatabase;
    }
    // A role name of this test process, dropped at the end of the test.
    std::string role(const std::string& theStem) {
        itsRoles.push_back(unique(theStem));
        return itsRoles.back();
    }

    // A login role made by hand, password "pw".
    std::string loginRole(const std::string& theStem, const std::string& theOptions = "") {
        const std::string aRole = role(theStem);
        execute("template1",
                "CREATE ROLE \"" + aRole + "\" " + theOptions + " LOGIN PASSWORD 'pw'");
        return aRole;
    }
    // Why theUser cannot log in to theDatabase with thePassword; empty when it can.
    std::string loginRefusal(const std::string& theDatabase, const std::string& theUser,
                             const std::string& thePassword = "pw") {
        try {
            RepositoryAccess::server::PqDatabase(
                RepositoryAccess::server::PqAddress(uri(theDatabase, theUser, thePassword)));
            return {};
        } catch (const RepositoryAccess::Error& anError) {
            return anError.what();
        }
    }
    // Runs theSql as the administrator in theDatabase.
    void execute(const std::string& theDatabase, const std::string& theSql) {
        RepositoryAccess::server::PqDatabase(RepositoryAccess::server::PqAddress(uri(theDatabase)))
            .execute(theSql);
    }
    std::string lines(const std::string& theDatabase, const std::string& theSql) {
        RepositoryAccess::server::PqDatabase aDatabase(
            RepositoryAccess::server::PqAddress(uri(theDatabase)));
        return linesOf(aDatabase, theSql);
    }
    // Every row of every repository table of theDatabase.
    std::map<std::string, Rows> rows(const std::string& theDatabase) {
        RepositoryAccess::server::PqDatabase aDatabase(
            RepositoryAccess::server::PqAddress(uri(theDatabase)));
        return repositoryRows(aDatabase, RepositoryAccess::server::storeschema::tableNames());
    }

    // A client tool of PostgreSQL (pg_dump, pg_restore, psql) as the administrator.
    RunResult pgTool(const std::string& theTool, std::vector<std::string> theArgs) {
        RunOptions anOptions;
        anOptions.itsEnv["PGPASSWORD"] = itsFacts["KIVO_PG_ADMIN_PASSWORD"];
        anOptions.itsCwd = dir();
        theArgs.insert(theArgs.begin(), {"-h", "127.0.0.1", "-p", itsFacts["KIVO_PG_PORT"], "-U",
                                         itsFacts["KIVO_PG_ADMIN"]});
        return runProgram(pgBinary(theTool), theArgs, anOptions);
    }

    // Fills the repository theTarget (theHost as a workspace names it) through the client: two
    // users (theUser works in workspace "ws"), change tracking, two packages with versions, a
    // deletion, a binary content with zero bytes, an inactive version and a delivery unit.
    void fill(const std::string& theTarget, const std::string& theHost,
              const std::string& theUser) {
        expectOk(repo({"user", theTarget, theUser, "pw"}));
        expectOk(repo({"user", theTarget, role("ROW"), "pw"}));
        expectOk(repo({"set", theTarget, "change_tracking", "on"}));
        expectOk(createWorkspace("ws", theHost, theUser));
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
    void fill(const std::string& theDatabase, const std::string& theUser) {
        fill(uri(theDatabase), server(theDatabase), theUser);
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

    std::string itsBinDir;
    std::vector<std::string> itsDatabases;
    std::vector<std::string> itsRoles;
};

} // namespace kivotest
