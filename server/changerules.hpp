#pragma once

#include "server/answer.hpp"
#include "server/repositorystore.hpp"

#include <string>
#include <vector>

// The rules of change tracking that several operations share: looking changes up, who may
// contribute, the JSON form of a change, and the change that an activation belongs to.
namespace RepositoryAccess::server::changes {

// Change status and contributor status as stored and sent.
inline constexpr int kOpen = 1;
inline constexpr int kReleased = 2;
inline constexpr int kAbandoned = 3;
inline constexpr int kValidated = 2;

// Whether the switch `change_tracking` is on.
bool trackingOn(RepositoryStore& theStore);
// Refuses with 40104 while change tracking is off.
void requireTrackingOn(RepositoryStore& theStore);

// The change theId; 40102 when there is none.
ChangeRecord require(RepositoryStore& theStore, const std::string& theId);
// The change theId, which must be open (what = the refused deed, for the message).
ChangeRecord requireOpen(RepositoryStore& theStore, const std::string& theId,
                         const std::string& theWhat);
// The upper-case name of a repository user; 40106 for anyone else.
std::string requireUser(RepositoryStore& theStore, const std::string& theName);

// A new open change with the attributes that theChange gives (its description and any other
// that a user sets) and its creator as first contributor.
ChangeRecord create(RepositoryStore& theStore, ChangeRecord theChange, const std::string& theUser);

// {"changeID",...,"entries":[...],"contributors":[...]}.
std::string json(RepositoryStore& theStore, const ChangeRecord& theChange);

// The change that an activation of theObjects by theUser belongs to, with change tracking on:
// theGivenId (open, theUser a contributor) or a new open change. The objects become its entries.
// Returns "" with change tracking off.
std::string forActivation(RepositoryStore& theStore, const std::string& theUser,
                          const std::string& theGivenId,
                          const std::vector<std::int64_t>& theObjects);

} // namespace RepositoryAccess::server::changes
