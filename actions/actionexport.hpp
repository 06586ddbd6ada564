#pragma once

#include "actions/actionreport.hpp"
#include "actions/command.hpp"

namespace RepositoryAccess {

// The `export` action: writes a delivery unit (WHAT `deliveryUnit`, a whole one or a patch
// between two timestamps) or its texts (WHAT `languages`) from the repository into the archive
// file the user named, and reports what the archive holds. Nothing else is written but the
// archive and, with `log`, a log file.
class actionExport : public Command {
public:
    void execute() override;

private:
    void exportDeliveryUnit();
    void exportLanguages();
    // Refuses an export version that the repository cannot set, before anything is exported.
    void checkExportVersion() const;
    // Writes the archive whole (a crash leaves no torn file) and returns its size.
    std::size_t writeArchive(const std::string& theContent) const;
    // The summary lines of the options that were given; the alias label is theAliasWidth wide.
    void sayOptionalLines(std::size_t theAliasWidth);

    std::string itsDeliveryUnit;
    std::string itsVendor;
    std::string itsFileName;
    ActionReport itsReport;
};

} // namespace RepositoryAccess
