#include <algorithm>
#include <functional>
#include <iterator>

#include "workspace/status.hpp"

namespace RepositoryAccess::pathset {

PathSet unite(const PathSet& theLeft, const PathSet& theRight) {
    PathSet aResult;
    aResult.reserve(theLeft.size() + theRight.size());
    std::set_union(theLeft.begin(), theLeft.end(), theRight.begin(), theRight.end(),
                   std::back_inserter(aResult));
    return aResult;
}

PathSet subtract(const PathSet& theLeft, const PathSet& theRight) {
    PathSet aResult;
    aResult.reserve(theLeft.size());
    std::set_difference(theLeft.begin(), theLeft.end(), theRight.begin(), theRight.end(),
                        std::back_inserter(aResult));
    return aResult;
}

PathSet directoriesOf(const PathSet& theFiles) {
    PathSet aResult;
    for (const auto& aFile : theFiles) {
        std::string_view aDir(aFile);
        aDir = aDir.substr(0, aDir.rfind('/') == std::string_view::npos ? 0 : aDir.rfind('/'));
        // Files of one directory are neighbours in a sorted set: skip the repeats cheaply.
        if (aResult.empty() || aResult.back() != aDir)
            aResult.emplace_back(aDir);
    }
    normalize(aResult);
    return aResult;
}

} // namespace RepositoryAccess::pathset
