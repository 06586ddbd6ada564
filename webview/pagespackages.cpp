#include "core/htmlpage.hpp"
#include "core/objectnames.hpp"
#include "webview/pages.hpp"
#include "webview/reader.hpp"

#include <algorithm>

namespace RepositoryAccess::webview {

using htmlpage::escape;

namespace {

// How deep the tree shows a package: the style sheet indents the levels up to this one.
constexpr std::size_t kDeepest = 15;

// How deep a package lies in the tree: the number of its unquoted dots.
std::size_t depth(std::string_view thePackage) {
    const std::string aDirectory = objectnames::packageDirectory(thePackage).itsDirectory;
    return static_cast<std::size_t>(std::count(aDirectory.begin(), aDirectory.end(), '/'));
}

std::string deliveryUnitLink(const json::JsonObject& thePackage) {
    const std::string aName = text(thePackage, "delivery_unit");
    if (aName.empty())
        return {};
    const std::string aVendor = text(thePackage, "du_vendor");
    return link("/deliveryunit", {{"name", aName}, {"vendor", aVendor}},
                aName + " (" + aVendor + ")");
}

} // namespace

Page packagesPage(RepositoryReader& theReader, const PageRequest& theRequest) {
    auto anAnswer = theReader.read(theRequest.itsUser, "list", "packages", "");
    std::vector<const json::JsonObject*> aPackages;
    for (const json::JsonValue& aValue : json::getList(anAnswer->itsJson, "packages"))
        aPackages.push_back(&json::asObject(aValue));
    std::sort(aPackages.begin(), aPackages.end(), [](const auto* apLeft, const auto* apRight) {
        return text(*apLeft, "package") < text(*apRight, "package");
    });
    const std::size_t aPage = theRequest.pageNumber();
    const Slice aSlice = slice(aPackages.size(), aPage);
    Page aResult{"Packages", {}};
    if (aPackages.empty())
        aResult.itsBody = "<p>The repository holds no packages.</p>\n";
    aResult.itsBody += "<table class=\"tree\">\n<tr><th>Package</th><th>Delivery unit</th>"
                       "<th>Description</th></tr>\n";
    for (std::size_t i = aSlice.itsFirst; i < aSlice.itsEnd; ++i) {
        const json::JsonObject& aPackage = *aPackages[i];
        const std::string aName = text(aPackage, "package");
        aResult.itsBody += "<tr><td class=\"d" + std::to_string(std::min(depth(aName), kDeepest)) +
                           "\">" + link("/package", {{"name", aName}}, aName) + "</td><td>" +
                           deliveryUnitLink(aPackage) + "</td><td>" +
                           escape(text(aPackage, "description")) + "</td></tr>\n";
    }
    aResult.itsBody += "</table>\n" + pager("/packages", {}, aPage, aSlice.itsMore);
    return aResult;
}

Page packagePage(RepositoryReader& theReader, const PageRequest& theRequest) {
    const std::string aName = theRequest.required("name");
    auto aPackage = theReader.read(theRequest.itsUser, "read", "package", member("package", aName));
    auto anObjects = theReader.read(theRequest.itsUser, "find", "objects",
                                    "\"session\":{\"sessionType\":\"1\"}," +
                                        member("package", aName) + "," + member("name", ""));
    Page aResult{"Package " + aName, attributeTable(aPackage->itsJson)};
    const json::JsonList& aList = json::getList(anObjects->itsJson, "objects");
    const std::size_t aPage = theRequest.pageNumber();
    const Slice aSlice = slice(aList.size(), aPage);
    aResult.itsBody += "<h2>Active objects</h2>\n";
    if (aList.size() == 0)
        aResult.itsBody += "<p>The package holds no active objects.</p>\n";
    aResult.itsBody += "<table>\n<tr><th>Object</th><th>Version</th><th>Activated</th>"
                       "<th>By</th><th>Change</th></tr>\n";
    for (std::size_t i = aSlice.itsFirst; i < aSlice.itsEnd; ++i) {
        const json::JsonObject& anElement = json::asObject(aList[i]);
        const json::JsonObject& anObject = json::getObject(anElement, "object");
        const json::JsonObject& aMetadata = json::getObject(anElement, "metadata");
        aResult.itsBody += "<tr><td>" +
                           objectLink(text(anObject, "package"), text(anObject, "name"),
                                      text(anObject, "suffix")) +
                           "</td><td>" + escape(text(aMetadata, "version_id")) + "</td><td>" +
                           escape(text(aMetadata, "activated_at")) + "</td><td>" +
                           escape(text(aMetadata, "activated_by")) + "</td><td>" +
                           escape(text(aMetadata, "change_number")) + "</td></tr>\n";
    }
    aResult.itsBody += "</table>\n" + pager("/package", {{"name", aName}}, aPage, aSlice.itsMore);
    return aResult;
}

} // namespace RepositoryAccess::webview
