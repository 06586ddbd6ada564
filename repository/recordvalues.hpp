#pragma once

#include <string>
#include <string_view>

#include "repository/resprecords.hpp"

// The values of a record's attributes by their key, so that requests, responses and printers
// can loop over a record's description.
namespace RepositoryAccess::recordvalues {

// The record's value of the attribute with this key: its own member, or else its entry among
// the other attributes (made when written, "" when read and absent).
std::string& value(Package& thePackage, std::string_view theKey);
std::string_view value(const Package& thePackage, std::string_view theKey);
std::string& value(DeliveryUnit& theUnit, std::string_view theKey);
std::string_view value(const DeliveryUnit& theUnit, std::string_view theKey);

// The value of a record with integer members as text (an integer in decimal), and the attribute
// set from its text.
std::string valueText(const Change& theChange, std::string_view theKey);
void setValue(Change& theChange, std::string_view theKey, std::string_view theText);
std::string valueText(const Contributor& theContributor, std::string_view theKey);
void setValue(Contributor& theContributor, std::string_view theKey, std::string_view theText);

} // namespace RepositoryAccess::recordvalues
