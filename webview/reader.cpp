#include "webview/reader.hpp"

#include "core/textcase.hpp"
#include "server/engine.hpp"
#include "server/transaction.hpp"

#include <array>
#include <climits>

namespace RepositoryAccess::webview {

namespace {

// The requests that only read; nothing else is ever sent.
bool isReadRequest(std::string_view theAction) {
    static constexpr std::array<std::string_view, 6> kReading = {"read", "find",   "list",
                                                                 "get",  "exists", "check"};
    for (std::string_view aReading : kReading)
        if (theAction == aReading)
            return true;
    return false;
}

// The codes of answers that say that the thing asked for does not exist.
bool isMissing(std::string_view theCode) {
    return theCode == "40102" || theCode == "40111" || theCode == "40116" || theCode == "40132";
}

} // namespace

std::string ReadAnswer::slot(std::size_t theSlot) const {
    const auto& aCData = itsMessage.getCDataVec();
    if (theSlot < aCData.size() && aCData[theSlot] && !aCData[theSlot]->empty())
        return *aCData[theSlot];
    const auto& aBData = itsMessage.getBDataVec();
    if (theSlot < aBData.size() && aBData[theSlot])
        return *aBData[theSlot];
    return {};
}

RepositoryReader::RepositoryReader(std::unique_ptr<server::Engine> apEngine)
    : itsEngine(std::move(apEngine)) {}

RepositoryReader::~RepositoryReader() = default;

bool RepositoryReader::signIn(const std::string& theUser, std::string_view thePassword) {
    std::lock_guard aLock(itsMutex);
    return itsEngine->authenticate(textcase::upper(theUser), thePassword);
}

std::unique_ptr<ReadAnswer> RepositoryReader::read(const std::string& theUser,
                                                   std::string_view theAction,
                                                   std::string_view theWhat,
                                                   std::string_view theMembers,
                                                   std::string_view theAlsoFine) {
    if (!isReadRequest(theAction))
        throw Error("The web view only reads; it does not send \"" + std::string(theAction) +
                    "\" requests");
    std::string aJson = "{\"action\":\"";
    aJson.append(theAction).append("\",\"what\":\"").append(theWhat).append("\"");
    if (!theMembers.empty())
        aJson.append(",").append(theMembers);
    aJson += '}';
    std::string aFrame;
    {
        std::lock_guard aLock(itsMutex);
        aFrame = itsEngine->call(theUser, RepositoryMessage::fromTexts(aJson).serialize());
    }
    if (aFrame.size() > INT_MAX)
        throw Error("The repository's answer is too large");
    auto anAnswer = std::make_unique<ReadAnswer>();
    anAnswer->itsMessage =
        RepositoryMessage::parse(aFrame.data(), static_cast<std::int32_t>(aFrame.size()));
    const std::string& aText = *anAnswer->itsMessage.getJson();
    if (!json::jsonParse(aText.data(), aText.size(), anAnswer->itsJson, anAnswer->itsAllocator))
        throw Error("The repository's answer is no JSON object");
    const std::string aCode = anAnswer->code();
    if (aCode == "0" || (!theAlsoFine.empty() && aCode == theAlsoFine))
        return anAnswer;
    const std::string aMessage = json::getString(anAnswer->itsJson, "error-msg") + ": " +
                                 json::getString(anAnswer->itsJson, "error-arg");
    if (isMissing(aCode))
        throw MissingPage(aMessage);
    throw Error("The repository refused to read (" + aCode + "): " + aMessage);
}

std::vector<server::ActiveObject> RepositoryReader::recentActivity(std::int64_t theSkip,
                                                                   std::int64_t theCount) {
    std::lock_guard aLock(itsMutex);
    server::RepositoryStore& aStore = itsEngine->store();
    server::Transaction aTransaction(aStore.database(), false);
    auto aList = aStore.recentHistory(theSkip, theCount);
    aTransaction.commit();
    return aList;
}

} // namespace RepositoryAccess::webview
