#pragma once

#include "core/json.hpp"
#include "core/repomessage.hpp"
#include "server/engine.hpp"
#include "server/passwordhash.hpp"
#include "server/repositorystore.hpp"
#include "server/transaction.hpp"
#include "sqlitefile/repositoryfile.hpp"
#include "sqlitefile/sqlitedb.hpp"
#include "tests/support/process.hpp"
#include "tests/support/repositoryrows.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace enginetest {

using namespace RepositoryAccess;
using json::asObject;
using json::getList;
using json::getObject;
using json::getString;

// A parsed answer of the engine: its frame and JSON.
struct Reply {
    RepositoryMessage itsMessage;
    json::JsonObject itsJson;
    json::JsonAllocator itsAllocator;

    std::string code() const { return json::getString(itsJson, "error-code"); }
    std::string get(const std::string& theName) const { return json::getString(itsJson, theName); }
    const json::JsonList& list(const std::string& theName) const {
        return json::getList(itsJson, theName);
    }
    std::string text() const { return *itsMessage.getJson(); }
    // A member of the answer's object metadata.
    std::string meta(const std::string& theName) const {
        return json::getString(json::getObject(itsJson, "metadata"), theName);
    }
    std::string cdata(std::size_t theIndex = 0) const {
        return *itsMessage.getCDataVec().at(theIndex);
    }
};

// Parses a response frame; fails the test when it is not a well-formed answer.
inline std::unique_ptr<Reply> parseReply(const std::string& theFrame) {
    auto aReply = std::make_unique<Reply>();
    aReply->itsMessage =
        RepositoryMessage::parse(theFrame.data(), static_cast<std::int32_t>(theFrame.size()));
    const std::string& aJson = *aReply->itsMessage.getJson();
    EXPECT_TRUE(json::jsonParse(aJson.data(), aJson.size(), aReply->itsJson, aReply->itsAllocator))
        << aJson;
    return aReply;
}

// theReply, which must be a success: anything else ends the test with the answer's text.
inline std::unique_ptr<Reply> succeeded(std::unique_ptr<Reply> theReply) {
    if (theReply->code() != "0")
        throw std::runtime_error("expected a success, got " + theReply->text());
    return theReply;
}

// A request frame from a JSON body and attachments.
inline std::string requestFrame(const std::string& theJson,
                                const std::vector<std::string>& theCData = {},
                                const std::vector<std::string>& theBData = {}) {
    return RepositoryMessage::fromTexts(theJson, theCData, theBData).serialize();
}

// JSON fragments of requests.
inline std::string session(const std::string& theUser, const std::string& theWorkspace = "") {
    return R"({"sessionType":"2","owner":")" + theUser + R"(","workspace":")" + theWorkspace +
           R"("})";
}
inline std::string object(const std::string& thePackage, const std::string& theName,
                          const std::string& theSuffix) {
    return R"({"package":")" + thePackage + R"(","name":")" + theName + R"(","suffix":")" +
           theSuffix + R"("})";
}
// Metadata that a write is based on: the active version (type 1) or the writer's inactive one (2).
inline std::string basedOn(const std::string& theVersion, const std::string& theType = "1") {
    return R"({"type":")" + theType + R"(","version_id":")" + theVersion + "\"}";
}

// The archive an export answered with (BDATA of slot 0).
inline std::string archiveOf(const Reply& theReply) {
    const auto& aBData = theReply.itsMessage.getBDataVec();
    return aBData.empty() || !aBData[0] ? std::string() : *aBData[0];
}

// Every row of every table of the repository file at thePath, with its tables' definitions and
// storage level, read on a connection of its own: equal texts, equal repositories.
inline std::string dumpRepository(const std::string& thePath) {
    server::SqliteDatabase aDatabase(thePath, false);
    std::string aDump;
    std::vector<std::string> aTables;
    {
        auto aLevel = aDatabase.query("PRAGMA user_version");
        aLevel.step();
        aDump += "level " + aLevel.text(0) + "\n";
        auto aSchema = aDatabase.query(
            "SELECT type, name, coalesce(sql, '') FROM sqlite_master ORDER BY type, name");
        while (aSchema.step()) {
            aDump += aSchema.text(0) + " " + aSchema.text(1) + ": " + aSchema.text(2) + "\n";
            if (aSchema.text(0) == "table")
                aTables.push_back(aSchema.text(1));
        }
    }
    for (const auto& [aTable, aRows] : kivotest::repositoryRows(aDatabase, aTables)) {
        for (const std::vector<std::string>& aRow : aRows) {
            aDump += aTable + ":";
            for (const std::string& aValue : aRow)
                aDump += " [" + aValue + "]";
            aDump += "\n";
        }
    }
    return aDump;
}

// A fresh repository file in a temporary folder with users ALICE and BOB and one engine on it,
// with the requests of objects, packages and delivery units at hand.
class EngineFixture {
public:
    EngineFixture() {
        itsPath = (itsDir.path() / "repo.db").string();
        server::createRepositoryFile(itsPath, {});
        itsEngine = std::make_unique<server::Engine>(server::openRepositoryFile(itsPath));
        addUsers({"ALICE", "BOB"});
    }

    std::unique_ptr<Reply> call(const std::string& theUser, const std::string& theJson,
                                const std::vector<std::string>& theCData = {},
                                const std::vector<std::string>& theBData = {}) {
        return parseReply(itsEngine->call(theUser, requestFrame(theJson, theCData, theBData)));
    }
    // A request of theAction and theWhat with theMembers (JSON members, without braces).
    std::unique_ptr<Reply> request(const std::string& theUser, const std::string& theAction,
                                   const std::string& theWhat, const std::string& theMembers) {
        return call(theUser, R"({"action":")" + theAction + R"(","what":")" + theWhat + "\"," +
                                 theMembers + "}");
    }
    // Adds each user with the password "pw".
    void addUsers(std::initializer_list<const char*> theUsers) {
        // One hash for all: each costs a tenth of a second.
        static const std::string theHash = server::hashPassword("pw");
        for (const char* aUser : theUsers)
            itsEngine->store().putUser({aUser, theHash});
    }
    // Changes a setting as `kivo-repo set` does.
    void setting(const std::string& theName, const std::string& theValue) {
        server::Transaction aTransaction(itsEngine->store().database(), true);
        itsEngine->store().setSetting(theName, theValue);
        aTransaction.commit();
    }

    void createPackage(const std::string& thePackage) {
        succeeded(request("ALICE", "create", "package",
                          R"("package":")" + thePackage + R"(","description":"","inherit":"0")"));
    }
    std::unique_ptr<Reply> readPackage(const std::string& thePackage) {
        return request("ALICE", "read", "package", R"("package":")" + thePackage + "\"");
    }
    // Writes content into theUser's default workspace, text as CDATA, theBinary as BDATA;
    // theMetadata is the metadata the write is based on, empty for a new object.
    std::unique_ptr<Reply> write(const std::string& theUser, const std::string& theObject,
                                 const std::string& theContent, const std::string& theMetadata = "",
                                 bool theBinary = false) {
        std::string aJson = R"({"action":"write","what":"object","session":)" + session(theUser) +
                            R"(,"object":)" + theObject;
        if (!theMetadata.empty())
            aJson += R"(,"metadata":)" + theMetadata;
        aJson += R"(,"determineReferences":"1","xrefList":[],"texts":[],"content_texts":[]})";
        if (theBinary)
            return call(theUser, aJson, {}, {theContent});
        return call(theUser, aJson, {theContent});
    }
    std::unique_ptr<Reply> activate(const std::string& theUser,
                                    const std::vector<std::string>& theObjects,
                                    const std::string& theMode = "0") {
        std::string aList;
        for (const auto& anObject : theObjects)
            aList += (aList.empty() ? "" : ",\n") + anObject;
        return request(theUser, "activate", "objects",
                       R"("session":)" + session(theUser) + R"(,"objList":[)" + aList +
                           R"(],"activationMode":")" + theMode + "\"");
    }
    std::unique_ptr<Reply> deleteObject(const std::string& theUser, const std::string& theObject) {
        return request(theUser, "delete", "object",
                       R"("session":)" + session(theUser) + R"(,"object":)" + theObject);
    }
    // theUser's inactive objects.
    std::unique_ptr<Reply> listObjects(const std::string& theUser) {
        return request(theUser, "list", "objects",
                       R"("session":)" + session(theUser) + R"(,"name":"")");
    }
    // The active version of an object, its metadata only or with its content.
    std::unique_ptr<Reply> activeMetadata(const std::string& theObject) {
        return request("ALICE", "read", "objectMetadata",
                       R"("session":{"sessionType":"1"},"object":)" + theObject +
                           R"(,"version":{"versionType":"1"})");
    }
    std::unique_ptr<Reply> readActive(const std::string& theObject,
                                      const std::string& theWinFormat = "0") {
        return request("ALICE", "read", "object",
                       R"("session":{"sessionType":"1"},"object":)" + theObject +
                           R"(,"version":{"versionType":"1"},"winformat":")" + theWinFormat + "\"");
    }
    // The content of the active version: its CDATA, else its BDATA; "<none>" when it has none.
    std::string activeContent(const std::string& theObject) {
        auto aRead = readActive(theObject);
        if (aRead->code() != "0")
            return "<none>";
        const auto& aCData = aRead->itsMessage.getCDataVec();
        if (!aCData.empty() && aCData[0] && !aCData[0]->empty())
            return *aCData[0];
        return archiveOf(*aRead);
    }

    std::unique_ptr<Reply> createUnit(const std::string& theName,
                                      const std::string& theVendor = "acme") {
        return request("ALICE", "create", "deliveryUnit",
                       R"("name":")" + theName + R"(","vendor":")" + theVendor +
                           R"(","caption":"Orders","responsible":"ALICE","version":"1",)"
                           R"("version_sp":"2","version_patch":"3","qrtsID":"","sp_QRTS_ID":"",)"
                           R"("ach":"CA")");
    }
    std::unique_ptr<Reply> assign(const std::string& thePackage, const std::string& theUnit) {
        return request("ALICE", "update", "package",
                       R"("package":")" + thePackage + R"(","delivery_unit":")" + theUnit +
                           R"(","du_vendor":"acme")");
    }
    // Exports the unit; theExtra holds further members, each with a leading comma.
    std::unique_ptr<Reply> exportUnit(const std::string& theUnit, const std::string& theExtra = "",
                                      const std::string& theWhat = "delivery_unit") {
        return request("ALICE", "export", theWhat,
                       R"("delivery_unit":")" + theUnit +
                           R"(","du_vendor":"acme","alias":"","file":"","provide_content":"1",)"
                           R"("export_summary":"1")" +
                           theExtra);
    }
    // Imports archives into theUser's default workspace; one archive is a file import, several a
    // file-list import. theOptions: forceRemove, autoActivate, activationMode, onlyTestImport.
    std::unique_ptr<Reply> import(const std::vector<std::string>& theArchives,
                                  const std::vector<std::string>& theOptions = {"1", "1", "0", "0"},
                                  const std::string& theUser = "ALICE") {
        std::string aJson = R"({"action":"import","what":")";
        if (theArchives.size() == 1) {
            aJson += R"(file","session":)" + session(theUser) + R"(,"filename":"du.tgz")";
        } else {
            aJson += R"(fileList","session":)" + session(theUser) + R"(,"fileList":[)";
            for (std::size_t i = 0; i < theArchives.size(); ++i)
                aJson += (i ? ",\n\"" : "\"") + std::to_string(i) + ".tgz\"";
            aJson += "]";
        }
        aJson += R"(,"forceRemove":")" + theOptions[0] + R"(","autoActivate":")" + theOptions[1] +
                 R"(","activationMode":")" + theOptions[2] + R"(","onlyTestImport":")" +
                 theOptions[3] + R"(","determineXrefs":"0","contentProvided":"1"})";
        return call(theUser, aJson, {}, theArchives);
    }
    // Everything a refused request must leave as it was.
    std::string snapshot() const { return dumpRepository(itsPath); }
    // The objects whose count of inactive versions differs from the versions they have.
    std::int64_t miscounted() {
        server::Transaction aTransaction(itsEngine->store().database(), false);
        auto aQuery = itsEngine->store().database().query(
            "SELECT count(*) FROM objects o WHERE o.inactive_count <> "
            "(SELECT count(*) FROM inactive_versions i WHERE i.object_id = o.id)");
        aQuery.step();
        return aQuery.integer(0);
    }

    // Puts a new engine on theDatabase, which wraps or alters the repository file.
    void reopen(std::unique_ptr<server::SqlDatabase> theDatabase,
                server::RecordDescriptions theDescriptions = {}) {
        itsEngine = std::make_unique<server::Engine>(std::move(theDatabase), theDescriptions);
    }
    std::string path() const { return itsPath; }
    server::Engine& engine() { return *itsEngine; }

private:
    kivotest::TempDir itsDir;
    std::string itsPath;
    std::unique_ptr<server::Engine> itsEngine;
};

// A repository file of the older storage level theLevel (0 to 2) with the user ALICE: what the
// later levels added is taken back.
inline std::string
olderRepositoryFile(const kivotest::TempDir& theDir, int theLevel,
                    const std::vector<std::pair<std::string, std::string>>& theSettings = {}) {
    const std::string aPath = (theDir.path() / "repo.db").string();
    server::createRepositoryFile(aPath, theSettings);
    std::string aSql = "INSERT INTO users (name, password_hash) VALUES ('ALICE', 'x'); "
                       "ALTER TABLE users DROP COLUMN is_admin; ";
    if (theLevel < 1)
        aSql += "DROP INDEX packages_by_delivery_unit; DROP TABLE delivery_units; ";
    if (theLevel < 2)
        aSql += "DROP TABLE change_contributors; DROP TABLE change_entries; "
                "DROP TABLE changes; DROP INDEX history_by_change; ";
    server::SqliteDatabase(aPath, false)
        .execute(aSql + "PRAGMA user_version = " + std::to_string(theLevel));
    return aPath;
}

} // namespace enginetest
