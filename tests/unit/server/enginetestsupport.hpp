#pragma once

#include "core/json.hpp"
#include "core/repomessage.hpp"
#include "server/engine.hpp"
#include "server/passwordhash.hpp"
#include "tests/support/process.hpp"

#include "server/repositorystore.hpp"
#include "sqlitefile/repositoryfile.hpp"

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace enginetest {

// A parsed answer of the engine: its frame and JSON.
struct Reply {
    RepositoryAccess::RepositoryMessage itsMessage;
    RepositoryAccess::json::JsonObject itsJson;
    RepositoryAccess::json::JsonAllocator itsAllocator;

    std::string code() const { return RepositoryAccess::json::getString(itsJson, "error-code"); }
    std::string get(const std::string& theName) const {
        return RepositoryAccess::json::getString(itsJson, theName);
    }
    const RepositoryAccess::json::JsonList& list(const std::string& theName) const {
        return RepositoryAccess::json::getList(itsJson, theName);
    }
    std::string text() const { return *itsMessage.getJson(); }
};

// Parses a response frame; fails the test when it is not a well-formed answer.
std::unique_ptr<Reply> parseReply(const std::string& theFrame);

// A request frame from a JSON body and attachments.
std::string requestFrame(const std::string& theJson, const std::vector<std::string>& theCData = {},
                         const std::vector<std::string>& theBData = {});

// JSON fragments of requests.
std::string session(const std::string& theUser, const std::string& theWorkspace = "");
std::string object(const std::string& thePackage, const std::string& theName,
                   const std::string& theSuffix);

// A fresh repository file in a temporary folder with one engine on it.
class EngineFixture {
public:
    EngineFixture();
    std::unique_ptr<Reply> call(const std::string& theUser, const std::string& theJson,
                                const std::vector<std::string>& theCData = {},
                                const std::vector<std::string>& theBData = {});

    // A request of theAction and theWhat with theMembers (JSON members, without braces).
    std::unique_ptr<Reply> request(const std::string& theUser, const std::string& theAction,
                                   const std::string& theWhat, const std::string& theMembers) {
        return call(theUser, R"({"action":")" + theAction + R"(","what":")" + theWhat + "\"," +
                                 theMembers + "}");
    }
    // Adds each user with the password "pw".
    void addUsers(std::initializer_list<const char*> theUsers);

    void createPackage(const std::string& thePackage);
    // Writes text content into theUser's default workspace; theMetadata is a metadata JSON or
    // empty for a new object. Returns the answer.
    std::unique_ptr<Reply> write(const std::string& theUser, const std::string& theObject,
                                 const std::string& theContent,
                                 const std::string& theMetadata = "");
    std::unique_ptr<Reply> activate(const std::string& theUser,
                                    const std::vector<std::string>& theObjects,
                                    const std::string& theMode = "0");
    // The active metadata of an object (answer of read object metadata).
    std::unique_ptr<Reply> activeMetadata(const std::string& theObject);

    std::string path() const { return itsPath; }
    RepositoryAccess::server::Engine& engine() { return *itsEngine; }

private:
    kivotest::TempDir itsDir;
    std::string itsPath;
    std::unique_ptr<RepositoryAccess::server::Engine> itsEngine;
};

using namespace RepositoryAccess;

inline std::unique_ptr<Reply> parseReply(const std::string& theFrame) {
    auto aReply = std::make_unique<Reply>();
    aReply->itsMessage =
        RepositoryMessage::parse(theFrame.data(), static_cast<std::int32_t>(theFrame.size()));
    const std::string& aJson = *aReply->itsMessage.getJson();
    EXPECT_TRUE(json::jsonParse(aJson.data(), aJson.size(), aReply->itsJson, aReply->itsAllocator))
        << aJson;
    return aReply;
}

inline std::string requestFrame(const std::string& theJson,
                                const std::vector<std::string>& theCData,
                                const std::vector<std::string>& theBData) {
    return RepositoryMessage::fromTexts(theJson, theCData, theBData).serialize();
}

inline std::string session(const std::string& theUser, const std::string& theWorkspace) {
    return R"({"sessionType":"2","owner":")" + theUser + R"(","workspace":")" + theWorkspace +
           R"("})";
}

inline std::string object(const std::string& thePackage, const std::string& theName,
                          const std::string& theSuffix) {
    return R"({"package":")" + thePackage + R"(","name":")" + theName + R"(","suffix":")" +
           theSuffix + R"("})";
}

inline EngineFixture::EngineFixture() {
    itsPath = (itsDir.path() / "repo.db").string();
    server::createRepositoryFile(itsPath, {});
    itsEngine = std::make_unique<server::Engine>(server::openRepositoryFile(itsPath));
    addUsers({"ALICE", "BOB"});
}

inline std::unique_ptr<Reply> EngineFixture::call(const std::string& theUser,
                                                  const std::string& theJson,
                                                  const std::vector<std::string>& theCData,
                                                  const std::vector<std::string>& theBData) {
    return parseReply(itsEngine->call(theUser, requestFrame(theJson, theCData, theBData)));
}

inline void EngineFixture::addUsers(std::initializer_list<const char*> theUsers) {
    // One hash for all: each costs a tenth of a second.
    static const std::string theHash = RepositoryAccess::server::hashPassword("pw");
    for (const char* aUser : theUsers)
        itsEngine->store().putUser({aUser, theHash});
}

inline void EngineFixture::createPackage(const std::string& thePackage) {
    auto aReply = call("ALICE", R"({"action":"create","what":"package","package":")" + thePackage +
                                    R"(","description":"","inherit":"0"})");
    ASSERT_EQ(aReply->code(), "0") << aReply->text();
}

inline std::unique_ptr<Reply> EngineFixture::write(const std::string& theUser,
                                                   const std::string& theObject,
                                                   const std::string& theContent,
                                                   const std::string& theMetadata) {
    std::string aJson = R"({"action":"write","what":"object","session":)" + session(theUser) +
                        R"(,"object":)" + theObject;
    if (!theMetadata.empty())
        aJson += R"(,"metadata":)" + theMetadata;
    aJson += R"(,"determineReferences":"1","xrefList":[],"texts":[],"content_texts":[]})";
    return call(theUser, aJson, {theContent});
}

inline std::unique_ptr<Reply> EngineFixture::activate(const std::string& theUser,
                                                      const std::vector<std::string>& theObjects,
                                                      const std::string& theMode) {
    std::string aList;
    for (const auto& anObject : theObjects)
        aList += (aList.empty() ? "" : ",\n") + anObject;
    return call(theUser, R"({"action":"activate","what":"objects","session":)" + session(theUser) +
                             R"(,"objList":[)" + aList + R"(],"activationMode":")" + theMode +
                             R"("})");
}

inline std::unique_ptr<Reply> EngineFixture::activeMetadata(const std::string& theObject) {
    return call(
        "ALICE",
        R"({"action":"read","what":"objectMetadata","session":{"sessionType":"1"},"object":)" +
            theObject + R"(,"version":{"versionType":"1"}})");
}

} // namespace enginetest
