#include "actions/resolvesides.hpp"

#include "core/textcase.hpp"
#include "workspace/sys.hpp"

namespace RepositoryAccess::resolvesides {

Side sideContent(const std::string& thePath) {
    const auto apBytes = sys::readFileIfExists(thePath);
    if (!apBytes || apBytes->starts_with(kDeleted))
        return std::nullopt;
    return *apBytes;
}

std::optional<Side> fileSide(const std::string& theMode, const mergetool::Sides& theSides) {
    if (textcase::equalsIgnoringCase(theMode, "local"))
        return sideContent(theSides.itsLocal);
    if (textcase::equalsIgnoringCase(theMode, "remote"))
        return sideContent(theSides.itsRemote);
    if (textcase::equalsIgnoringCase(theMode, "base"))
        return sideContent(theSides.itsBase);
    return std::nullopt;
}

void writeLocal(const std::string& theFile, const Side& theSide) {
    if (!theSide) {
        sys::deleteFile(theFile);
        return;
    }
    const auto apCurrent = sys::readFileIfExists(theFile);
    if (apCurrent && *apCurrent == *theSide)
        return;
    sys::createDirectories(theFile);
    sys::writeFileAtomically(theFile, *theSide);
}

} // namespace RepositoryAccess::resolvesides
