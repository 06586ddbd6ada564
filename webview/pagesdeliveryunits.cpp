#include "core/htmlpage.hpp"
#include "webview/pages.hpp"
#include "webview/reader.hpp"

namespace RepositoryAccess::webview {

using htmlpage::escape;

Page deliveryUnitsPage(RepositoryReader& theReader, const PageRequest& theRequest) {
    auto anAnswer = theReader.read(theRequest.itsUser, "get", "allDeliveryUnits", "");
    const json::JsonList& aUnits = json::getList(anAnswer->itsJson, "deliveryUnits");
    const std::size_t aPage = theRequest.pageNumber();
    const Slice aSlice = slice(aUnits.size(), aPage);
    Page aResult{"Delivery units", {}};
    if (aUnits.size() == 0)
        aResult.itsBody = "<p>The repository holds no delivery units.</p>\n";
    aResult.itsBody += "<table>\n<tr><th>Delivery unit</th><th>Vendor</th></tr>\n";
    for (std::size_t i = aSlice.itsFirst; i < aSlice.itsEnd; ++i) {
        const json::JsonObject& aUnit = json::asObject(aUnits[i]);
        const std::string aName = text(aUnit, "name");
        const std::string aVendor = text(aUnit, "vendor");
        aResult.itsBody += "<tr><td>" +
                           link("/deliveryunit", {{"name", aName}, {"vendor", aVendor}}, aName) +
                           "</td><td>" + escape(aVendor) + "</td></tr>\n";
    }
    aResult.itsBody += "</table>\n" + pager("/deliveryunits", {}, aPage, aSlice.itsMore);
    return aResult;
}

Page deliveryUnitPage(RepositoryReader& theReader, const PageRequest& theRequest) {
    const std::string aName = theRequest.required("name");
    const std::string aVendor = theRequest.required("vendor");
    auto aUnit = theReader.read(theRequest.itsUser, "get", "deliveryUnit",
                                member("name", aName) + "," + member("vendor", aVendor));
    auto aPackages =
        theReader.read(theRequest.itsUser, "list", "packages",
                       member("delivery_unit", aName) + "," + member("du_vendor", aVendor));
    Page aResult{"Delivery unit " + aName + " (" + aVendor + ")",
                 attributeTable(json::getObject(aUnit->itsJson, "deliveryUnit"))};
    const json::JsonList& aList = json::getList(aPackages->itsJson, "packages");
    const std::size_t aPage = theRequest.pageNumber();
    const Slice aSlice = slice(aList.size(), aPage);
    aResult.itsBody += "<h2>Packages</h2>\n<ul>\n";
    for (std::size_t i = aSlice.itsFirst; i < aSlice.itsEnd; ++i) {
        const std::string aPackage = text(json::asObject(aList[i]), "package");
        aResult.itsBody += "<li>" + link("/package", {{"name", aPackage}}, aPackage) + "</li>\n";
    }
    aResult.itsBody += "</ul>\n" + pager("/deliveryunit", {{"name", aName}, {"vendor", aVendor}},
                                         aPage, aSlice.itsMore);
    return aResult;
}

} // namespace RepositoryAccess::webview
