#include "server/repositorytarget.hpp"

#include "server/filetarget.hpp"
#if KIVO_TEAM_REPOSITORY
#include "server/pqtarget.hpp"
#endif

namespace RepositoryAccess::server {

bool isServerUri(const std::string& theArgument) {
    return theArgument.starts_with("postgresql://") || theArgument.starts_with("postgres://");
}

std::unique_ptr<RepositoryTarget> makeTarget(const std::string& theArgument) {
    if (!isServerUri(theArgument))
        return std::make_unique<FileTarget>(theArgument);
#if KIVO_TEAM_REPOSITORY
    return std::make_unique<PqTarget>(theArgument);
#else
    throw Error("This kivo-repo was built without the team repository "
                "(KIVO_TEAM_REPOSITORY=ON): it cannot reach a database server");
#endif
}

bool storeUser(RepositoryStore& theStore, const UserRecord& theUser,
               const std::function<void()>& theAlso) {
    theStore.beginWrite();
    try {
        const bool anExists = theStore.findUser(theUser.itsName).has_value();
        if (theAlso)
            theAlso();
        theStore.putUser(theUser);
        theStore.commit();
        return anExists;
    } catch (...) {
        theStore.rollback();
        throw;
    }
}

} // namespace RepositoryAccess::server
