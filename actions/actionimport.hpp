#pragma once

#include <string>
#include <vector>

#include "actions/actionreport.hpp"
#include "actions/command.hpp"
#include "repository/repofundeliveryunits.hpp"

namespace RepositoryAccess {

// The `import` action: brings archive files into the repository, several in one call where the
// repository can, and reports the check results and what was imported. A failed import is
// reported with "Import failed (" and exit status 1 without raising, so that its log file is
// still written.
class actionImport : public Command {
public:
    void execute() override;

private:
    // One archive file with its bytes.
    struct Archive {
        std::string itsFileName;
        SharedString itsContent;
    };

    void importTogether(const std::vector<Archive>& theArchives);
    void importOne(const Archive& theArchive);
    void importLanguages(const Archive& theArchive);
    // Reports the check results; true when the answer counts as a success.
    bool judge(const RepositoryErrorTriple& theError,
               const std::vector<CheckResult>& theCheckResults);
    // "Workspace" and the five option lines.
    void sayOptions();
    // The packages taken from other delivery units and the objects deleted, one line each.
    void sayTakenAndDeleted(const ImportSummary& theSummary);

    ImportOptions itsOptions;
    ActionReport itsReport;
};

} // namespace RepositoryAccess
