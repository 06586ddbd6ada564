#pragma once

#include <cstdint>
#include <map>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "bench/teamload.hpp"
#include "workspace/objects.hpp"

// One client of the team load: a user's session with its own workspace.
namespace RepositoryAccess::teamload {

// Creates the packages and the first version of every shared object that is missing, as the
// first user; throws when the repository refuses.
void prepareRepository(const LoadOptions& theOptions);

// A client that logs in as its user, works in its own workspace and loops over the mix of
// operations, writing one line per operation, per activated version and per failure to its log:
//
//   op NAME OUTCOME MICROSECONDS     outcome ok, conflict or failed
//   activated OBJECT TAG             a version the repository reported as activated
//   error NAME MESSAGE               why an operation failed
//   elapsed MICROSECONDS             the time from the start to the end of the last operation
class TeamClient {
public:
    TeamClient(const LoadOptions& theOptions, int theIndex, std::ostream& theLog);

    // Logs in and creates the client's workspace; throws when either fails.
    void prepare();

    // Runs the mix for the run's duration: a workspace that holds inactive versions (left by a
    // conflict) is activated next, otherwise a checkout or a push is picked at random.
    void run();

    // Ends the connection and the workspace; reports its own failures and never throws.
    void finish();

private:
    Operation nextOperation();
    Outcome runOperation(Operation theOperation);
    // Writes new versions of a few shared objects, based on their active versions, and activates
    // them.
    Outcome push();
    // Reads the active objects of the shared package with their contents and checks each.
    Outcome checkout();
    // Activates what the workspace holds, after basing every version that a newer activation
    // outdated on the active version again (the merge a user makes after a conflict).
    Outcome activate();
    // The active objects of the shared package by name, with their metadata.
    std::map<std::string, RepositoryObject> activeObjects() const;
    // Writes a new version of each object based on the version given and remembers its tag.
    void write(const std::vector<const RepositoryObject*>& theBases);
    // Activates the versions the workspace holds; a conflict leaves them there.
    Outcome activateHeld();
    std::vector<int> pickObjects();

    const LoadOptions& itsOptions;
    int itsIndex;
    std::ostream& itsLog;
    std::mt19937 itsRandom;
    std::uint64_t itsWrites = 0;
    // The tag of each inactive version the workspace holds, by object name.
    std::map<std::string, std::string> itsHeld;
};

} // namespace RepositoryAccess::teamload
