#pragma once

// One login of the throwaway cluster through the dbclient layer, as the client makes it: frames
// sent to the repository procedure, and plain SQL, on a connection of its own.

#include "core/json.hpp"
#include "core/repomessage.hpp"
#include "dbclient/dbclient.hpp"
#include "dbclient/protocolsql.hpp"
#include "tests/pg/clusterfacts.hpp"
#include "tests/support/process.hpp"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

namespace kivotest {

// An answer of the repository: its JSON, or (itsCalled false) the error of the call itself.
struct RepositoryAnswer {
    bool itsCalled = false;
    std::string itsFailure, itsJson;
    RepositoryAccess::RepositoryMessage itsMessage;
    RepositoryAccess::json::JsonObject itsObject;
    RepositoryAccess::json::JsonAllocator itsAllocator;

    std::string code() const {
        return RepositoryAccess::json::hasMember(itsObject, "error-code")
                   ? RepositoryAccess::json::getString(itsObject, "error-code")
                   : std::string();
    }
    // The CDATA of attachment slot 0.
    std::string content() const {
        const auto& aCData = itsMessage.getCDataVec();
        return aCData.empty() || !aCData[0] ? std::string() : *aCData[0];
    }
};

// Column 1 of the first row of theSql as text ("" without rows); "error: " and the error text
// when the statement fails.
inline std::string firstColumn(RepositoryAccess::dbclient::Connection& theConnection,
                               const std::string& theSql) {
    using namespace RepositoryAccess::dbclient;
    Statement* aStatement = theConnection.createStatement();
    std::string aText;
    if (aStatement->execute(theSql) != ReturnCode::Ok)
        aText = "error: " + aStatement->error().getErrorText();
    else if (ResultSet* aResult = aStatement->getResultSet();
             aResult != nullptr && aResult->next() == ReturnCode::Ok) {
        char aBuffer[4096] = {};
        std::int64_t aLength = 0;
        aResult->getObject(1, HostType::Utf8, aBuffer, &aLength, sizeof aBuffer - 1);
        aText = aBuffer;
    }
    theConnection.releaseStatement(aStatement);
    return aText;
}

class RepositorySession {
public:
    // Connects theUser to the database KIVO_PG_DATABASE of the cluster that theFacts describe.
    RepositorySession(std::map<std::string, std::string> theFacts, const std::string& theUser,
                      const std::string& thePassword) {
        using namespace RepositoryAccess::dbclient;
        ConnectProperties aProperties;
        aProperties.setProperty("DATABASENAME", theFacts["KIVO_PG_DATABASE"]);
        EXPECT_EQ(itsConnection->connect("127.0.0.1:" + theFacts["KIVO_PG_PORT"], "", theUser,
                                         thePassword, StringEncoding::Utf8, aProperties),
                  ReturnCode::Ok)
            << theUser << ": " << itsConnection->error().getErrorText();
    }

    std::string sql(const std::string& theSql) { return firstColumn(*itsConnection, theSql); }

    // The calls that follow share the server's transactions; endGroup commits the open one and
    // answers "" or the failure's text.
    void beginGroup() { itsConnection->beginCallGroup(); }
    std::string endGroup() {
        return itsConnection->endCallGroup() == RepositoryAccess::dbclient::ReturnCode::Ok
                   ? std::string()
                   : itsConnection->error().getErrorText();
    }

    // Sends theJson with theCData as the attachments through the repository call.
    std::unique_ptr<RepositoryAnswer> call(const std::string& theJson,
                                           const std::vector<std::string>& theCData = {}) {
        using namespace RepositoryAccess::dbclient;
        std::string anInput =
            RepositoryAccess::RepositoryMessage::fromTexts(theJson, theCData, {}).serialize();
        PreparedStatement* aStatement = itsConnection->createPreparedStatement();
        EXPECT_EQ(aStatement->prepare(protocolsql::kRepositoryCall), ReturnCode::Ok);
        std::int64_t anInputLength = static_cast<std::int64_t>(anInput.size());
        std::int64_t aRoom = 1 << 16;
        std::string anOutput(static_cast<std::size_t>(aRoom), '\0');
        std::int64_t anOutputLength = 0;
        aStatement->bindParameter(1, HostType::Binary, anInput.data(), &anInputLength,
                                  anInputLength);
        aStatement->bindParameter(2, HostType::Binary, anOutput.data(), &anOutputLength, aRoom);
        ReturnCode aCode = aStatement->execute();
        if (aCode == ReturnCode::DataTruncated) {
            anOutput.resize(static_cast<std::size_t>(anOutputLength));
            aCode = aStatement->getObject(2, HostType::Binary, anOutput.data(), &anOutputLength,
                                          anOutputLength);
        }
        auto anAnswer = std::make_unique<RepositoryAnswer>();
        if (aCode == ReturnCode::Ok)
            anAnswer = answerOf(anOutput.substr(0, static_cast<std::size_t>(anOutputLength)));
        else
            anAnswer->itsFailure = aStatement->error().getErrorText();
        itsConnection->releaseStatement(aStatement);
        return anAnswer;
    }

    // theRequests (JSON and CDATA each) sent together through callAll: each answer's error code
    // and JSON in order, or the failure of the calls.
    struct CallsOutcome {
        std::string itsFailure;
        std::vector<std::string> itsCodes;
        std::vector<std::string> itsJsons;
    };
    CallsOutcome
    callAll(const std::vector<std::pair<std::string, std::vector<std::string>>>& theRequests) {
        std::vector<std::string> aFrames;
        for (const auto& [aJson, aCData] : theRequests)
            aFrames.push_back(
                RepositoryAccess::RepositoryMessage::fromTexts(aJson, aCData, {}).serialize());
        const std::vector<std::string_view> aViews(aFrames.begin(), aFrames.end());
        std::vector<std::string> anAnswers;
        CallsOutcome anOutcome;
        if (itsConnection->callAll(aViews, anAnswers) != RepositoryAccess::dbclient::ReturnCode::Ok)
            anOutcome.itsFailure = itsConnection->error().getErrorText();
        else
            for (const std::string& aFrame : anAnswers) {
                const auto anAnswer = answerOf(aFrame);
                anOutcome.itsCodes.push_back(anAnswer->code());
                anOutcome.itsJsons.push_back(anAnswer->itsJson);
            }
        return anOutcome;
    }

private:
    static std::unique_ptr<RepositoryAnswer> answerOf(const std::string& theFrame) {
        auto anAnswer = std::make_unique<RepositoryAnswer>();
        anAnswer->itsMessage = RepositoryAccess::RepositoryMessage::parse(
            theFrame.data(), static_cast<std::int32_t>(theFrame.size()));
        anAnswer->itsJson = *anAnswer->itsMessage.getJson();
        anAnswer->itsCalled =
            RepositoryAccess::json::jsonParse(anAnswer->itsJson.data(), anAnswer->itsJson.size(),
                                              anAnswer->itsObject, anAnswer->itsAllocator);
        if (!anAnswer->itsCalled)
            anAnswer->itsFailure = "unreadable answer: " + anAnswer->itsJson;
        return anAnswer;
    }

    std::unique_ptr<RepositoryAccess::dbclient::Environment> itsEnvironment =
        RepositoryAccess::dbclient::Runtime::getRuntime(nullptr, 0)->createEnvironment();
    RepositoryAccess::dbclient::Connection* itsConnection = itsEnvironment->createConnection();
};

// The repository user DEVELOPER and the cluster's administrator, each connected.
class SessionTest : public ClusterTest {
protected:
    void SetUp() override {
        ClusterTest::SetUp();
        if (IsSkipped())
            return;
        itsDeveloper = connect("DEVELOPER", "s3cret");
        // The cluster's superuser, owner of the extension.
        itsAdmin = connect(itsFacts["KIVO_PG_ADMIN"], itsFacts["KIVO_PG_ADMIN_PASSWORD"]);
    }

    std::unique_ptr<RepositorySession> connect(const std::string& theUser,
                                               const std::string& thePassword) {
        return std::make_unique<RepositorySession>(itsFacts, theUser, thePassword);
    }

    // theJson's answer in theSession (DEVELOPER's by default), which must carry theCode.
    std::unique_ptr<RepositoryAnswer> expectCode(const std::string& theJson,
                                                 const std::string& theCode = "0",
                                                 const std::vector<std::string>& theCData = {},
                                                 RepositorySession* theSession = nullptr) {
        auto anAnswer = (theSession ? theSession : itsDeveloper.get())->call(theJson, theCData);
        EXPECT_TRUE(anAnswer->itsCalled) << theJson << ": " << anAnswer->itsFailure;
        EXPECT_EQ(anAnswer->code(), theCode) << theJson << ": " << anAnswer->itsJson;
        return anAnswer;
    }

    // Makes every statement storing the content itsPoison in theTable fail inside the server,
    // until cure(); returns the constraint's name, which the failure names.
    std::string poison(const std::string& theTable) {
        EXPECT_EQ(itsAdmin->sql("alter table sys." + theTable + " add constraint " + itsPoison +
                                " check (content is null or content <> convert_to('" + itsPoison +
                                "', 'UTF8'))"),
                  "");
        return itsPoison;
    }
    void cure(const std::string& theTable) {
        EXPECT_EQ(itsAdmin->sql("alter table sys." + theTable + " drop constraint " + itsPoison),
                  "");
    }

    // A package name of this process and test, so that tests side by side never meet.
    static std::string package(const std::string& theStem) {
        return theStem + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name();
    }

    std::unique_ptr<RepositorySession> itsDeveloper;
    std::unique_ptr<RepositorySession> itsAdmin;
    const std::string itsPoison = "kivo_poison_" + std::to_string(::getpid());
};

inline std::string workspaceSession(const std::string& theUser) {
    return R"({"sessionType":"2","owner":")" + theUser + R"(","workspace":""})";
}

inline std::string objectJson(const std::string& thePackage, const std::string& theName,
                              const std::string& theSuffix) {
    return R"({"package":")" + thePackage + R"(","name":")" + theName + R"(","suffix":")" +
           theSuffix + R"("})";
}

inline std::string createPackageJson(const std::string& thePackage) {
    return R"({"action":"create","what":"package","package":")" + thePackage +
           R"(","description":"","inherit":"0"})";
}

// A write into theUser's default workspace, based on the active version theVersion (if any).
inline std::string writeJson(const std::string& theUser, const std::string& theObject,
                             const std::string& theVersion = "") {
    std::string aJson = R"({"action":"write","what":"object","session":)" +
                        workspaceSession(theUser) + R"(,"object":)" + theObject;
    if (!theVersion.empty())
        aJson += R"(,"metadata":{"type":"1","version_id":")" + theVersion + R"("})";
    return aJson + R"(,"determineReferences":"1","xrefList":[],"texts":[],"content_texts":[]})";
}

inline std::string activateJson(const std::string& theUser, const std::string& theObject,
                                const std::string& theMode = "0") {
    return R"({"action":"activate","what":"objects","session":)" + workspaceSession(theUser) +
           R"(,"objList":[)" + theObject + R"(],"activationMode":")" + theMode + R"("})";
}

} // namespace kivotest
