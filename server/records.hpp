#pragma once

#include "core/json.hpp"
#include "server/repositorystore.hpp"

#include <string>
#include <vector>

namespace RepositoryAccess::server {

// A string member of a record with its protocol name.
template <class Record> struct RecordField {
    const char* itsName;
    std::string Record::*itsField;
};

// The fourteen package members in protocol order.
const std::vector<RecordField<PackageRecord>>& packageFields();
// The eleven delivery-unit members in protocol order.
const std::vector<RecordField<DeliveryUnitRecord>>& deliveryUnitFields();

// A record as a JSON object with every member, in protocol order.
std::string packageJson(const PackageRecord& thePackage);
std::string deliveryUnitJson(const DeliveryUnitRecord& theUnit);

// A record from the members of a JSON object; a missing member stays empty.
PackageRecord packageFromJson(const json::JsonObject& theObject);
DeliveryUnitRecord deliveryUnitFromJson(const json::JsonObject& theObject);

} // namespace RepositoryAccess::server
