#pragma once

#include "workspace/objects.hpp"

#include <cstdint>

namespace RepositoryAccess::testsupport {

// The metadata of a version as the decision tables write it: its type (0 none yet, 1 active,
// 2 inactive, 3 historical) and its number.
inline ObjectMetaData meta(int theType, std::int32_t theVersion) {
    ObjectMetaData aMeta;
    aMeta.itsType = theType;
    aMeta.itsVersionId = theVersion;
    return aMeta;
}

} // namespace RepositoryAccess::testsupport
