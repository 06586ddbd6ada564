#include "actions/commitdecision.hpp"

namespace RepositoryAccess::commitdecision {

bool hasActivatedVersion(const ObjectMetaData& theLocal) {
    return theLocal.itsType == 1 || theLocal.itsType == 3;
}

DeletionPlan planDeletion(const ObjectMetaData& theLocal, bool theHasInactive, bool theHasActive) {
    if (!hasActivatedVersion(theLocal))
        return {};
    return {theHasInactive && theHasActive, !theHasInactive && !theHasActive};
}

ObjectMetaData simulatedInactive(const ObjectMetaData& theLocal, bool theIsDeletion) {
    ObjectMetaData aMetaData;
    aMetaData.itsType = 2;
    aMetaData.itsIsDeletion = theIsDeletion;
    aMetaData.itsVersionId = theLocal.itsVersionId + (theLocal.itsType == 2 ? 0 : 1);
    return aMetaData;
}

} // namespace RepositoryAccess::commitdecision
