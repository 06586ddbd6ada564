#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "actions/actionscope.hpp"
#include "actions/command.hpp"
#include "repository/repofunobjects.hpp"

namespace RepositoryAccess {

// The `activate` action: asks the repository to activate the inactive versions that the user's
// repository workspace holds for a scope, reports the check results and the activation
// conflicts, and after a successful activation brings the metadata copies and base versions of
// the activated files up to the new active versions. The follow-up checkout after conflicts is
// the dispatcher's activate sequence.
class actionActivate : public Command {
public:
    void execute() override;

private:
    // Names the objects in the run's journal before the repository activates them.
    static void recordJournal(const std::vector<RepositoryObject>& theObjects);
    // The user's inactive objects of the scope, each once, in key order.
    static std::vector<RepositoryObject> collectObjects(const ActionScope& theScope);
    // True when a file of the scope (or of the collected objects) is conflicted.
    static bool hasConflictedFiles(const ActionScope& theScope,
                                   const std::vector<RepositoryObject>& theObjects);
    // Reads the change tracking status and chooses the change the activation goes into; false
    // when the run ends here because only the affected changes were asked for.
    bool chooseChange(const std::vector<RepositoryObject>& theObjects);
    // Writes the check results and the conflict list into the buffers; counts the conflicts.
    void reportCheckResults(const ActivationResult& theResult);
    // Reports the outcome; true for a successful activation.
    bool reportOutcome(const ActivationResult& theResult);
    // Stores the active metadata and base versions of the activated objects.
    void retrieveMetaData(const std::vector<RepositoryObject>& theObjects);
    // Writes the log buffer into a new activation log file and names it in the output.
    void writeLogFile();

    std::string itsMode;
    bool itsIsCheck = false;
    bool itsChangeTracking = false;
    std::string itsChangeId;
    std::ostringstream itsOutput;
    std::ostringstream itsLog;
};

} // namespace RepositoryAccess
