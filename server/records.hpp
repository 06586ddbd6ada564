#pragma once

#include "core/json.hpp"
#include "core/recordfields.hpp"
#include "server/repositorystore.hpp"

#include <string>
#include <string_view>

// The engine's side of the record descriptions: a record's values by attribute key and the JSON
// forms of packages, delivery units, changes and contributors, which loop over the description.
namespace RepositoryAccess::server {

// The record's value of the attribute with this key: its member, or else its entry among the
// other attributes (made when written, "" when read and absent).
std::string& value(PackageRecord& thePackage, std::string_view theKey);
std::string_view value(const PackageRecord& thePackage, std::string_view theKey);
std::string& value(DeliveryUnitRecord& theUnit, std::string_view theKey);
std::string_view value(const DeliveryUnitRecord& theUnit, std::string_view theKey);

// Any record's value of the attribute with this key as text (an integer member in decimal), and
// the attribute set from its text, for the loops that serve every record alike.
std::string valueText(const PackageRecord& thePackage, std::string_view theKey);
std::string valueText(const DeliveryUnitRecord& theUnit, std::string_view theKey);
std::string valueText(const ChangeRecord& theChange, std::string_view theKey);
std::string valueText(const ContributorRecord& theContributor, std::string_view theKey);
void setValue(PackageRecord& thePackage, std::string_view theKey, std::string_view theText);
void setValue(DeliveryUnitRecord& theUnit, std::string_view theKey, std::string_view theText);
void setValue(ChangeRecord& theChange, std::string_view theKey, std::string_view theText);
void setValue(ContributorRecord& theContributor, std::string_view theKey, std::string_view theText);

// A record as a JSON object with every attribute of the description but those the store keeps
// for itself, in its order.
std::string packageJson(const PackageRecord& thePackage,
                        RecordDescription theFields = packageFields());
std::string deliveryUnitJson(const DeliveryUnitRecord& theUnit,
                             RecordDescription theFields = deliveryUnitFields());
// The change with theMore (members as `"entries":[...]`) after its attributes.
std::string changeJson(const ChangeRecord& theChange, RecordDescription theFields,
                       std::string_view theMore);
std::string contributorJson(const ContributorRecord& theContributor, RecordDescription theFields);

// A record from the members of a JSON object; a missing member stays empty.
PackageRecord packageFromJson(const json::JsonObject& theObject,
                              RecordDescription theFields = packageFields());
DeliveryUnitRecord deliveryUnitFromJson(const json::JsonObject& theObject,
                                        RecordDescription theFields = deliveryUnitFields());

} // namespace RepositoryAccess::server
