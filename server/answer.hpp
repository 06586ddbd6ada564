#pragma once

#include "core/repomessage.hpp"
#include "server/repositorystore.hpp"

#include <exception>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace RepositoryAccess::server {

// A refusal of the current request: the operation's changes are rolled back and the answer
// carries this error triple with the default members of the request.
struct EngineError : std::exception {
    EngineError(std::string theCode, std::string theMessage, std::string theArgument = {})
        : itsCode(std::move(theCode)), itsMessage(std::move(theMessage)),
          itsArgument(std::move(theArgument)) {}

    const char* what() const noexcept override { return itsMessage.c_str(); }

    std::string itsCode, itsMessage, itsArgument;
};

// Error codes of the repository protocol.
namespace code {
inline constexpr const char* kOk = "0";
inline constexpr const char* kPackageMissing = "40111";
inline constexpr const char* kNoVersionAtTime = "40112";
inline constexpr const char* kPackageExists = "40113";
inline constexpr const char* kPackageNotEmpty = "40114";
inline constexpr const char* kDeliveryUnitMissing = "40116";
inline constexpr const char* kDeliveryUnitExists = "40117";
inline constexpr const char* kNotAuthorized = "40120";
// The caller is not a user of the repository (a login role that no kivo-repo user made one).
inline constexpr const char* kNotAUser = "40121";
inline constexpr const char* kActivationConflict = "40129";
inline constexpr const char* kInvalidRequest = "40130";
inline constexpr const char* kInactiveExists = "40131";
inline constexpr const char* kNotFound = "40132";
inline constexpr const char* kActivationFailed = "40136";
inline constexpr const char* kActivationWarnings = "40137";
inline constexpr const char* kDamagedArchive = "40150";
} // namespace code

// The answer to one request, built member by member: the error triple first, then the members
// in the order they were set (raw JSON texts), then the attachment slots.
class Answer {
public:
    // The members every answer of this request carries, also on failure (name, raw JSON).
    explicit Answer(std::vector<std::pair<std::string, std::string>> theDefaults);

    // Sets a string member; the value is escaped.
    void setString(const std::string& theName, std::string_view theValue);
    // Sets a member to a JSON text as it stands.
    void setRaw(const std::string& theName, std::string theJson);
    void setError(std::string theCode, std::string theMessage, std::string theArgument = {});
    // Drops every member and slot set so far, keeping the defaults, and sets the triple.
    void fail(const EngineError& theError);
    void addSlot(std::string theCData, std::string theBData);
    // Asks the engine to roll the transaction back although the answer is not an error.
    void requestRollback() { itsRollback = true; }

    bool wantsRollback() const { return itsRollback; }
    std::string json() const;
    const std::vector<MessageSlot>& slots() const { return itsSlots; }

private:
    std::vector<std::pair<std::string, std::string>> itsDefaults;
    std::vector<std::pair<std::string, std::string>> itsMembers;
    std::vector<MessageSlot> itsSlots;
    std::string itsCode = code::kOk, itsMessage, itsArgument;
    bool itsRollback = false;
};

// A JSON string literal: the escaped text in double quotes.
std::string quoted(std::string_view theText);

// Builds a JSON object from (name, raw JSON) pairs in the given order.
std::string jsonObject(std::initializer_list<std::pair<std::string_view, std::string>> theMembers);

// Joins raw JSON values into a list.
std::string jsonList(const std::vector<std::string>& theValues);

// {"package":..,"name":..,"suffix":..}, with a "version" member when theVersion is not empty.
std::string objectJson(const ObjectKey& theKey, const std::string& theVersion = {});
// An element of an object list: {"object": <object with theVersion>, "metadata": theMetadata}.
std::string listElement(const ObjectKey& theKey, const std::string& theVersion,
                        const std::string& theMetadata);

// Metadata of an active (type 1) or historical (type 3) version, and of an inactive one.
std::string historyMetadataJson(const HistoryRecord& theEntry, bool theHistorical);
std::string inactiveMetadataJson(const InactiveRecord& theVersion);

// Version descriptors: active, inactive of owner and workspace, historical number.
std::string activeVersionJson();
std::string inactiveVersionJson(const std::string& theOwner, const std::string& theWorkspace);
std::string historicalVersionJson(std::int64_t theNumber);

} // namespace RepositoryAccess::server
