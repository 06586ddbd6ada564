#include "server/answer.hpp"

#include <algorithm>
#include <array>

#include "core/json.hpp"
#include "core/metadatajson.hpp"

namespace RepositoryAccess::server {

namespace {

// The metadata attributes of an activated and of an inactive version, by key.
constexpr std::array<RecordMember<HistoryRecord>, 7> theHistoryMembers{{
    {"version_id", &HistoryRecord::itsNumber},
    {"activated_at", &HistoryRecord::itsActivatedAt},
    {"activated_by", &HistoryRecord::itsActivatedBy},
    {"is_deletion", &HistoryRecord::itsIsDeletion},
    {"object_status", &HistoryRecord::itsObjectStatus},
    {"change_number", &HistoryRecord::itsChangeNumber},
    {"released_at", &HistoryRecord::itsReleasedAt},
}};

constexpr std::array<RecordMember<InactiveRecord>, 3> theInactiveMembers{{
    {"version_id", &InactiveRecord::itsVersionId},
    {"last_changed_at", &InactiveRecord::itsLastChangedAt},
    {"is_deletion", &InactiveRecord::itsIsDeletion},
}};

} // namespace

Answer::Answer(std::vector<std::pair<std::string, std::string>> theDefaults)
    : itsDefaults(std::move(theDefaults)) {}

void Answer::setString(const std::string& theName, std::string_view theValue) {
    setRaw(theName, quoted(theValue));
}

void Answer::setRaw(const std::string& theName, std::string theJson) {
    for (auto& [aName, aValue] : itsMembers)
        if (aName == theName) {
            aValue = std::move(theJson);
            return;
        }
    itsMembers.emplace_back(theName, std::move(theJson));
}

void Answer::setError(std::string theCode, std::string theMessage, std::string theArgument) {
    itsCode = std::move(theCode);
    itsMessage = std::move(theMessage);
    itsArgument = std::move(theArgument);
}

void Answer::fail(const EngineError& theError) {
    itsMembers.clear();
    itsSlots.clear();
    setError(theError.itsCode, theError.itsMessage, theError.itsArgument);
}

void Answer::addSlot(std::string theCData, std::string theBData) {
    itsSlots.push_back({std::move(theCData), std::move(theBData)});
}

std::string Answer::json() const {
    std::string aText = "{\"error-code\":" + quoted(itsCode) +
                        ",\"error-msg\":" + quoted(itsMessage) +
                        ",\"error-arg\":" + quoted(itsArgument);
    // The members, then the defaults that no member replaces, into a text of the final size: a
    // value may be the list of 100,000 objects, copied once only.
    std::vector<const std::pair<std::string, std::string>*> aParts;
    for (const auto& aMember : itsMembers)
        aParts.push_back(&aMember);
    for (const auto& aDefault : itsDefaults)
        if (std::none_of(itsMembers.begin(), itsMembers.end(),
                         [&](const auto& aMember) { return aMember.first == aDefault.first; }))
            aParts.push_back(&aDefault);
    std::size_t aSize = aText.size() + 1;
    for (const auto* aPart : aParts)
        aSize += aPart->first.size() + aPart->second.size() + 4;
    aText.reserve(aSize);
    for (const auto* aPart : aParts) {
        aText += ",\"";
        aText += aPart->first;
        aText += "\":";
        aText += aPart->second;
    }
    aText += '}';
    return aText;
}

std::string quoted(std::string_view theText) {
    return "\"" + json::escapeJson(theText) + "\"";
}

std::string jsonObject(std::initializer_list<std::pair<std::string_view, std::string>> theMembers) {
    std::string aText = "{";
    for (const auto& [aName, aValue] : theMembers) {
        if (aText.size() > 1)
            aText += ',';
        aText += '"';
        aText += aName;
        aText += "\":";
        aText += aValue;
    }
    return aText + "}";
}

std::string jsonList(const std::vector<std::string>& theValues) {
    std::size_t aSize = 2 + theValues.size();
    for (const auto& aValue : theValues)
        aSize += aValue.size();
    std::string aText;
    aText.reserve(aSize);
    aText += '[';
    for (const auto& aValue : theValues) {
        if (aText.size() > 1)
            aText += ',';
        aText += aValue;
    }
    aText += ']';
    return aText;
}

std::string objectJson(const ObjectKey& theKey, const std::string& theVersion) {
    json::ObjectText aText;
    aText.string("package", theKey.itsPackage)
        .string("name", theKey.itsName)
        .string("suffix", theKey.itsSuffix);
    if (!theVersion.empty())
        aText.raw("version", theVersion);
    return aText.take();
}

std::string listElement(const ObjectKey& theKey, const std::string& theVersion,
                        const std::string& theMetadata) {
    return json::ObjectText()
        .raw("object", objectJson(theKey, theVersion))
        .raw("metadata", theMetadata)
        .take();
}

std::string historyMetadataJson(const HistoryRecord& theEntry, bool theHistorical) {
    return objectMetaDataJson<HistoryRecord>(theEntry, theHistoryMembers, theHistorical ? 3 : 1);
}

std::string inactiveMetadataJson(const InactiveRecord& theVersion) {
    return objectMetaDataJson<InactiveRecord>(theVersion, theInactiveMembers, 2);
}

std::string activeVersionJson() {
    return "{\"versionType\":\"1\"}";
}

std::string inactiveVersionJson(const std::string& theOwner, const std::string& theWorkspace) {
    return "{\"versionType\":\"2\",\"owner\":" + quoted(theOwner) +
           ",\"workspace\":" + quoted(theWorkspace) + "}";
}

std::string historicalVersionJson(std::int64_t theNumber) {
    return "{\"versionType\":\"3\",\"versionNr\":\"" + std::to_string(theNumber) + "\"}";
}

} // namespace RepositoryAccess::server
