#pragma once

#include <string>

#include "actions/checkoutengine.hpp"

// What checkout does, decided from plain inputs: the versions it brings, and for each object what
// becomes of its local file. Neither reads the disk nor asks the repository, so that each rule can
// be tried on its own.
namespace RepositoryAccess::checkoutdecision {

// The options that steer a checkout.
struct Options {
    bool itsForce = false;
    bool itsOverwrite = false;
    bool itsSkip = false;
    bool itsActive = false;
    bool itsInactive = false;
    bool itsBase = false;
    bool itsHistorical = false; // a point in time or a version number

    // The options of the run.
    static Options fromParameters();
    // An option that names the versions: then a remote version at or below the local one is
    // brought too.
    bool namesVersions() const { return itsActive || itsInactive || itsBase || itsHistorical; }
};

// The versions a checkout brings: the historical or the base ones when asked for; otherwise the
// active ones (theActive, which holds the latest version of each local and inactive object
// without an active one), with `active` nothing else, with `inactive` every inactive version in
// place of the active one, and by default each inactive version that follows the active one.
ObjectMap targetVersions(const Options& theOptions, ObjectMap theActive,
                         const CheckOutMaps& theMaps);

// The local file of an object against its status entry. A file that is new, deleted or modified
// counts as that, in this order, even when it is conflicted too.
enum class LocalState { unchanged, created, deleted, modified, conflicted };

// The state of theFile among the sets of the local side.
LocalState stateOf(const LocalFiles& theLocal, const std::string& theFile);

enum class Action {
    write,     // the remote version replaces the local file
    keep,      // the local file stays as it is, silently
    overwrite, // the remote version replaces local changes (`overwrite`)
    skip,      // local changes stay, and the run says so (`skip`)
    conflict,  // local changes stay beside the remote version, as a conflict
    refuse,    // a conflicted file without `force`: the run stops
};

struct Decision {
    Action itsAction = Action::keep;
    std::string itsReason; // why a conflict is one, as the run shows it
};

// What becomes of an object's local file when checkout brings theRemote. theLocal is the
// metadata of the local copy, or nullptr when there is none.
Decision decide(const ObjectMetaData* theLocal, LocalState theState,
                const ObjectMetaData& theRemote, const Options& theOptions);

} // namespace RepositoryAccess::checkoutdecision
