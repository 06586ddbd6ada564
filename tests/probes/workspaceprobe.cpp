// Runs one command line through the real run sequence with the program's own host, except that
// each action step first opens the workspace ("PROBE_WORKSPACE" = "open" or "lock") or creates it
// ("create"), and with "PROBE_FAIL" = "1" fails after the step. So the end-to-end tests can watch
// the workspace exit, the command log and the rollback before the actions that use them exist.
#include <cstdlib>
#include <string>
#include <vector>

#include "core/error.hpp"
#include "front/programhost.hpp"
#include "front/runsequence.hpp"
#include "workspace/workspace.hpp"

namespace {

std::string environmentValue(const char* theName) {
    const char* aValue = std::getenv(theName);
    return aValue ? aValue : "";
}

class ProbeHost : public RepositoryAccess::ProgramHost {
public:
    void runAction(RepositoryAccess::ActionKind theKind) override {
        const std::string aMode = environmentValue("PROBE_WORKSPACE");
        if (aMode == "create")
            RepositoryAccess::workspace::create();
        else if (!aMode.empty())
            RepositoryAccess::workspace::open(aMode == "lock");
        ProgramHost::runAction(theKind);
        if (environmentValue("PROBE_FAIL") == "1")
            throw RepositoryAccess::Error("Probe failure.");
    }
};

} // namespace

int main(int theArgc, char** theArgv) {
    ProbeHost aHost;
    return RepositoryAccess::run(std::vector<std::string>(theArgv, theArgv + theArgc), aHost);
}
