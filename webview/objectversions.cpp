#include "webview/objectversions.hpp"

#include "webview/pagekit.hpp"
#include "webview/reader.hpp"

#include <charconv>

namespace RepositoryAccess::webview {

namespace {

std::int64_t versionNumber(const std::string& theText) {
    std::int64_t aNumber = 0;
    auto [anEnd, anError] =
        std::from_chars(theText.data(), theText.data() + theText.size(), aNumber);
    if (anError != std::errc() || anEnd != theText.data() + theText.size())
        throw Error("The repository answered a history entry without a version number: \"" +
                    theText + "\"");
    return aNumber;
}

} // namespace

ObjectVersions::ObjectVersions(RepositoryReader& theReader, std::string theUser,
                               std::string thePackage, std::string theName, std::string theSuffix)
    : itsReader(theReader), itsUser(std::move(theUser)), itsPackage(std::move(thePackage)),
      itsName(std::move(theName)), itsSuffix(std::move(theSuffix)) {
    auto anAnswer =
        itsReader.read(itsUser, "get", "history", objectMembers(itsPackage, itsName, itsSuffix));
    for (const json::JsonValue& aValue : json::getList(anAnswer->itsJson, "history")) {
        const json::JsonObject& anEntry = json::asObject(aValue);
        itsVersions.push_back({versionNumber(text(anEntry, "versionId")),
                               text(anEntry, "isDeletion") == "true", text(anEntry, "activateAt"),
                               text(anEntry, "activatedBy")});
    }
}

std::string ObjectVersions::content(const Version& theVersion) const {
    if (theVersion.itsIsDeletion)
        return {};
    auto anAnswer = itsReader.read(
        itsUser, "read", "object",
        objectMembers(itsPackage, itsName, itsSuffix) + ",\"version\":{\"versionType\":\"3\"," +
            member("versionNr", std::to_string(theVersion.itsNumber)) + "}");
    return anAnswer->slot(0);
}

std::string ObjectVersions::shown() const {
    return itsPackage + "/" + itsName + (itsSuffix.empty() ? "" : "." + itsSuffix);
}

std::vector<std::pair<std::string, std::string>> ObjectVersions::query() const {
    return {{"package", itsPackage}, {"name", itsName}, {"suffix", itsSuffix}};
}

} // namespace RepositoryAccess::webview
