// The delivery units of the repository store.
#include "server/repositorystore.hpp"

namespace RepositoryAccess::server {

namespace {

const char* const kUnitColumns = "name, vendor, caption, responsible, version, version_sp, "
                                 "version_patch, last_update, qrts_id, sp_qrts_id, ach";

// The fields of a delivery unit in column order.
std::string DeliveryUnitRecord::*const kUnitFields[] = {
    &DeliveryUnitRecord::itsName,         &DeliveryUnitRecord::itsVendor,
    &DeliveryUnitRecord::itsCaption,      &DeliveryUnitRecord::itsResponsible,
    &DeliveryUnitRecord::itsVersion,      &DeliveryUnitRecord::itsVersionSp,
    &DeliveryUnitRecord::itsVersionPatch, &DeliveryUnitRecord::itsLastUpdate,
    &DeliveryUnitRecord::itsQrtsId,       &DeliveryUnitRecord::itsSpQrtsId,
    &DeliveryUnitRecord::itsAch};

DeliveryUnitRecord readUnit(const SqlQuery& theQuery) {
    DeliveryUnitRecord aUnit;
    int aColumn = 0;
    for (auto aField : kUnitFields)
        aUnit.*aField = theQuery.text(aColumn++);
    return aUnit;
}

} // namespace

std::optional<DeliveryUnitRecord> RepositoryStore::findDeliveryUnit(const std::string& theName,
                                                                    const std::string& theVendor) {
    auto aQuery = itsDatabase->query(std::string("SELECT ") + kUnitColumns +
                                     " FROM delivery_units WHERE name = ? AND vendor = ?");
    aQuery.bind(1, theName).bind(2, theVendor);
    if (!aQuery.step())
        return std::nullopt;
    return readUnit(aQuery);
}

std::vector<DeliveryUnitRecord> RepositoryStore::listDeliveryUnits() {
    std::vector<DeliveryUnitRecord> aList;
    auto aQuery = itsDatabase->query(std::string("SELECT ") + kUnitColumns +
                                     " FROM delivery_units ORDER BY name, vendor");
    while (aQuery.step())
        aList.push_back(readUnit(aQuery));
    return aList;
}

void RepositoryStore::putDeliveryUnit(const DeliveryUnitRecord& theUnit) {
    deleteDeliveryUnit(theUnit.itsName, theUnit.itsVendor);
    auto aQuery = itsDatabase->query(std::string("INSERT INTO delivery_units (") + kUnitColumns +
                                     ") VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    int anIndex = 1;
    for (auto aField : kUnitFields)
        aQuery.bind(anIndex++, theUnit.*aField);
    aQuery.run();
}

void RepositoryStore::deleteDeliveryUnit(const std::string& theName, const std::string& theVendor) {
    itsDatabase->query("DELETE FROM delivery_units WHERE name = ? AND vendor = ?")
        .bind(1, theName)
        .bind(2, theVendor)
        .run();
}

} // namespace RepositoryAccess::server
