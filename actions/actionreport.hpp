#pragma once

#include <sstream>
#include <string>
#include <string_view>

namespace RepositoryAccess {

// Where the export and import actions report: standard output, the trace buffer (with `trace`)
// and a log buffer of the action's own that becomes a log file with `log`.
class ActionReport {
public:
    // Standard output, trace and log.
    void say(std::string_view theText);
    // Standard output only with `verbose`; trace and log always.
    void detail(std::string_view theText);
    // Standard error, trace and log.
    void error(std::string_view theText);

    // With `log`: writes the log buffer into a new file of the logs folder (of the temporary
    // directory outside a workspace) named theBaseName, "_", the tick count and ".log", and
    // prints theTitle + " log file: \"" + path + "\"". Characters of theBaseName that would
    // leave the folder become "_".
    void writeLogFile(std::string_view theBaseName, std::string_view theTitle);

private:
    std::ostringstream itsLog;
};

} // namespace RepositoryAccess
