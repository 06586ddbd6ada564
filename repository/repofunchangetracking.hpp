#pragma once

#include <string>
#include <vector>

#include "repository/repofunbase.hpp"
#include "repository/reqchanges.hpp"

// The repository functions of change tracking: changes, their contributors and the switch.
namespace RepositoryAccess::repofunchangetracking {

// Adds theContributor to the change.
void addContributor(const std::string& theChangeId, const std::string& theContributor);

// Opens a new change; returns its id.
std::string createChange(const std::string& theDescription);

// Deletes a change.
void deleteChange(const std::string& theChangeId);

// Replaces the description of a change.
void editChangeDescription(const std::string& theChangeId, const std::string& theDescription);

// Replaces a contributor's comment on a change.
void editContributorComment(const std::string& theChangeId, const std::string& theContributor,
                            const std::string& theComment);

// The changes that match theFilter; none matching (40101) is no failure.
std::vector<ChangeEntry> findChanges(const ChangeFilter& theFilter);

// The open changes that hold any of theObjects.
std::vector<ChangeEntry> getAffectedChanges(const std::vector<RepositoryObject>& theObjects);

// "enabled" or "disabled".
std::string getChangeTrackingStatus();

// Merges the source change into the target change.
void mergeChanges(const std::string& theSourceChangeId, const std::string& theTargetChangeId);

// Moves the entries of theObjects from the source change to the target change.
void moveChangeEntries(const std::string& theSourceChangeId, const std::string& theTargetChangeId,
                       const std::vector<RepositoryObject>& theObjects);

// The changes with the given ids, with their entries and contributors.
std::vector<ChangeEntry> readChanges(const std::vector<std::string>& theChangeIds);

// Releases a change.
void releaseChange(const std::string& theChangeId);

// Removes theContributor from the change.
void removeContributor(const std::string& theChangeId, const std::string& theContributor);

// Switches change tracking "on" or "off", optionally in spite of open changes.
void toggleChangeTracking(const std::string& theStatus, bool theIgnoreOpenChanges);

// Validates theUser's contribution to the change with a comment.
void validateContribution(const std::string& theChangeId, const std::string& theUser,
                          const std::string& theComment);

} // namespace RepositoryAccess::repofunchangetracking
