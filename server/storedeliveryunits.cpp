// The delivery units of the repository store.
#include "server/repositorystore.hpp"

#include "server/records.hpp"
#include "server/storecolumns.hpp"

namespace RepositoryAccess::server {

namespace {

DeliveryUnitRecord readUnit(const SqlQuery& theQuery, RecordDescription theFields) {
    DeliveryUnitRecord aUnit;
    storecolumns::readRecord(theQuery, theFields, aUnit);
    return aUnit;
}

std::string selectUnits(RecordDescription theFields, std::string_view theRest) {
    return "SELECT " + storecolumns::columnList(theFields) + " FROM delivery_units " +
           std::string(theRest);
}

} // namespace

std::optional<DeliveryUnitRecord> RepositoryStore::findDeliveryUnit(const std::string& theName,
                                                                    const std::string& theVendor) {
    const RecordDescription aFields = itsDescriptions.itsDeliveryUnit;
    auto aQuery = itsDatabase->query(selectUnits(aFields, "WHERE name = ? AND vendor = ?"));
    aQuery.bind(1, theName).bind(2, theVendor);
    if (!aQuery.step())
        return std::nullopt;
    return readUnit(aQuery, aFields);
}

std::vector<DeliveryUnitRecord> RepositoryStore::listDeliveryUnits() {
    std::vector<DeliveryUnitRecord> aList;
    const RecordDescription aFields = itsDescriptions.itsDeliveryUnit;
    auto aQuery = itsDatabase->query(selectUnits(aFields, "ORDER BY name, vendor"));
    while (aQuery.step())
        aList.push_back(readUnit(aQuery, aFields));
    return aList;
}

void RepositoryStore::putDeliveryUnit(const DeliveryUnitRecord& theUnit) {
    deleteDeliveryUnit(theUnit.itsName, theUnit.itsVendor);
    const RecordDescription aFields = itsDescriptions.itsDeliveryUnit;
    auto aQuery = itsDatabase->query(storecolumns::insertStatement("delivery_units", aFields));
    storecolumns::bindRecord(aQuery, aFields, theUnit);
    aQuery.run();
}

void RepositoryStore::deleteDeliveryUnit(const std::string& theName, const std::string& theVendor) {
    itsDatabase->query("DELETE FROM delivery_units WHERE name = ? AND vendor = ?")
        .bind(1, theName)
        .bind(2, theVendor)
        .run();
}

} // namespace RepositoryAccess::server
