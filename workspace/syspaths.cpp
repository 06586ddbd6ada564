#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <unordered_map>

#include <sys/stat.h>
#include <unistd.h>

#include "core/error.hpp"
#include "core/perftrace.hpp"

#include "workspace/sys.hpp"
#include "workspace/sysinternal.hpp"

// Path arithmetic, its two memo caches, and the places derived from the environment.
namespace RepositoryAccess::sys {

using internal::debugPath;

namespace {

// The memo caches live for the whole process; their answers depend only on the two strings.
std::unordered_map<std::string, std::string>& relativeDirNameCache() {
    static std::unordered_map<std::string, std::string> theCache;
    return theCache;
}

std::unordered_map<std::string, bool>& subDirRecursiveCache() {
    static std::unordered_map<std::string, bool> theCache;
    return theCache;
}

std::string cacheKey(std::string_view theFirst, std::string_view theSecond) {
    std::string aKey;
    aKey.reserve(theFirst.size() + theSecond.size() + 4);
    aKey += '(';
    aKey += theFirst;
    aKey += ")(";
    aKey += theSecond;
    aKey += ')';
    return aKey;
}

// The components between the slashes, empty ones included.
std::vector<std::string_view> splitAtSlash(std::string_view thePath) {
    std::vector<std::string_view> aParts;
    std::size_t aStart = 0;
    while (true) {
        std::size_t aSlash = thePath.find('/', aStart);
        if (aSlash == std::string_view::npos) {
            aParts.push_back(thePath.substr(aStart));
            return aParts;
        }
        aParts.push_back(thePath.substr(aStart, aSlash - aStart));
        aStart = aSlash + 1;
    }
}

std::string withoutTrailingSlashes(std::string_view thePath) {
    std::string aPath = toSlashes(thePath);
    while (aPath.size() > 1 && aPath.back() == '/')
        aPath.pop_back();
    return aPath;
}

} // namespace

std::string toSlashes(std::string_view thePath) {
    std::string aPath(thePath);
    for (char& aChar : aPath)
        if (aChar == '\\')
            aChar = '/';
    return aPath;
}

std::string normalizeDirName(std::string_view theDirName) {
    std::string aDir = toSlashes(theDirName);
    if (!aDir.empty() && aDir.back() != '/')
        aDir += '/';
    return aDir;
}

bool isAbsolutePath(std::string_view thePath) {
    if (thePath.size() >= 3 && thePath[1] == ':' && (thePath[2] == '/' || thePath[2] == '\\'))
        return true;
    return !thePath.empty() && (thePath[0] == '/' || thePath[0] == '\\');
}

std::string getDirPart(std::string_view thePath) {
    KIVO_PERF_SCOPE("sys::getDirPart()");
    std::string aPath = toSlashes(thePath);
    std::size_t aSlash = aPath.rfind('/');
    if (aSlash == std::string::npos)
        return {};
    aPath.resize(aSlash);
    return aPath;
}

std::string getFilePart(std::string_view thePath) {
    std::string aPath = toSlashes(thePath);
    std::size_t aSlash = aPath.rfind('/');
    return aSlash == std::string::npos ? aPath : aPath.substr(aSlash + 1);
}

std::string getParentDir(std::string_view theDirName) {
    KIVO_PERF_SCOPE("sys::getParentDir()");
    std::string aDir = toSlashes(theDirName);
    if (!aDir.empty() && aDir.back() == '/')
        aDir.pop_back();
    return getDirPart(aDir);
}

std::string joinFileName(std::string_view theDirName, std::string_view theName) {
    std::string aPath;
    aPath.reserve(theDirName.size() + 1 + theName.size());
    appendDirectory(aPath, theDirName);
    aPath += theName;
    return aPath;
}

void appendDirectory(std::string& thePath, std::string_view theDirName) {
    if (theDirName.empty())
        return;
    const std::size_t aStart = thePath.size();
    thePath += theDirName;
    std::replace(thePath.begin() + static_cast<std::ptrdiff_t>(aStart), thePath.end(), '\\', '/');
    // A directory that ends with `/` (the root "/" included: no "//name") takes no second one.
    if (thePath.back() != '/')
        thePath += '/';
}

bool inOneDirectory(std::string_view theLeft, std::string_view theRight) {
    return theLeft.substr(0, theLeft.rfind('/') + 1) == theRight.substr(0, theRight.rfind('/') + 1);
}

std::string resolvePath(std::string_view thePath) {
    std::string aPath = toSlashes(thePath);
    std::vector<std::string_view> aKept;
    std::vector<std::string_view> aParts = splitAtSlash(aPath);
    // The root of an absolute path ("" before a leading `/`, or "X:") is never removed.
    std::size_t aRootCount = isAbsolutePath(aPath) ? 1 : 0;
    for (std::size_t i = 0; i < aParts.size(); ++i) {
        std::string_view aPart = aParts[i];
        if (aPart == ".")
            continue;
        if (aPart == "..") {
            if (aKept.size() <= aRootCount)
                throw Error("Failed to resolve path: \"" + aPath + "\"");
            aKept.pop_back();
            continue;
        }
        aKept.push_back(aPart);
    }
    std::string aResult;
    for (std::size_t i = 0; i < aKept.size(); ++i) {
        if (i > 0)
            aResult += '/';
        aResult += aKept[i];
    }
    if (aResult.empty() && aRootCount == 1 && aPath[0] == '/')
        aResult = "/";
    return aResult;
}

std::string absoluteToRelativeDirName(std::string_view theAbsoluteDirName,
                                      std::string_view theBaseDirName) {
    KIVO_PERF_SCOPE("absoluteToRelativeDirName()");
    constexpr std::string_view aName = "absoluteToRelativeDirName";
    debugPath(aName, 1, "theAbsoluteDirName", theAbsoluteDirName);
    debugPath(aName, 2, "theBaseDirName", theBaseDirName);
    std::string anAbsolute = normalizeDirName(theAbsoluteDirName);
    std::string aBase = normalizeDirName(theBaseDirName);
    debugPath(aName, 3, "aAbsoluteDirName", anAbsolute);
    debugPath(aName, 4, "aBaseDirName", aBase);

    std::string aKey = cacheKey(anAbsolute, aBase);
    auto& aCache = relativeDirNameCache();
    if (auto aHit = aCache.find(aKey); aHit != aCache.end()) {
        KIVO_PERF_SCOPE("AbsoluteToRelativeDirNameCache hit");
        debugPath(aName, 5, "cache hit", aHit->second);
        return aHit->second;
    }
    if (anAbsolute.empty()) {
        debugPath(aName, 6, "empty absolute dir name", "");
        return {};
    }
    if (aBase.empty()) {
        debugPath(aName, 7, "empty base dir name", theAbsoluteDirName);
        return std::string(theAbsoluteDirName);
    }
    if (anAbsolute == aBase) {
        debugPath(aName, 8, "equal dir names", "");
        return {};
    }
    if (anAbsolute[0] != aBase[0]) {
        debugPath(aName, 9, "different drives", anAbsolute.substr(0, 1) + aBase.substr(0, 1));
        throw Error(
            "The absolute directory name and the base directory name are on different drives.");
    }
    std::size_t aCommon = 0;
    std::size_t aLimit = std::min(anAbsolute.size(), aBase.size());
    while (aCommon < aLimit && anAbsolute[aCommon] == aBase[aCommon])
        ++aCommon;
    debugPath(aName, 10, "aCommonLength", std::to_string(aCommon));
    std::size_t aTruncate = anAbsolute.rfind('/', aCommon - 1) + 1;
    debugPath(aName, 11, "aTruncatePos", std::to_string(aTruncate));
    std::string_view aRel1 = std::string_view(anAbsolute).substr(aTruncate);
    std::string_view aRel2 = std::string_view(aBase).substr(aTruncate);
    debugPath(aName, 12, "aRel1", aRel1);
    debugPath(aName, 13, "aRel2", aRel2);
    std::string aResult;
    std::size_t anUpCount = 0;
    for (std::string_view aPart : splitAtSlash(aRel2))
        if (!aPart.empty()) {
            aResult += "../";
            ++anUpCount;
        }
    debugPath(aName, 14, "aUpCount", std::to_string(anUpCount));
    debugPath(aName, 15, "aUpPath", aResult);
    aResult += aRel1;
    debugPath(aName, 16, "aRelativeDirName", aResult);
    aCache.emplace(std::move(aKey), aResult);
    debugPath(aName, 17, "cached", aResult);
    return aResult;
}

std::string absoluteToRelativeFileName(std::string_view theAbsoluteFileName,
                                       std::string_view theBaseDirName) {
    return joinFileName(absoluteToRelativeDirName(getDirPart(theAbsoluteFileName), theBaseDirName),
                        getFilePart(theAbsoluteFileName));
}

bool isSubDir(std::string_view theSubDirName, std::string_view theDirName, bool theRecursive) {
    KIVO_PERF_SCOPE("sys::isSubDir()");
    constexpr std::string_view aName = "isSubDir";
    debugPath(aName, 1, "theSubDirName", theSubDirName);
    debugPath(aName, 2, "theDirName", theDirName);
    std::string aKey;
    auto& aCache = subDirRecursiveCache();
    if (theRecursive) {
        aKey = cacheKey(normalizeDirName(theSubDirName), normalizeDirName(theDirName));
        if (auto aHit = aCache.find(aKey); aHit != aCache.end()) {
            KIVO_PERF_SCOPE("isSubDirRecursiveCache hit");
            debugPath(aName, 3, "cache hit", aHit->second ? "true" : "false");
            return aHit->second;
        }
    }
    std::string aRelative = absoluteToRelativeDirName(theDirName, theSubDirName);
    debugPath(aName, 4, "aRelativeDirName", aRelative);
    std::size_t anUpCount = 0;
    std::size_t anOtherCount = 0;
    for (std::string_view aPart : splitAtSlash(aRelative)) {
        if (aPart == "..")
            ++anUpCount;
        else if (!aPart.empty())
            ++anOtherCount;
    }
    debugPath(aName, 5, "aUpCount", std::to_string(anUpCount));
    // Non-recursive asks for the direct parent: one step up and nowhere else ("../b/" is a
    // sibling, not a parent).
    bool aResult = theRecursive ? anOtherCount == 0 : (anUpCount == 1 && anOtherCount == 0);
    if (theRecursive)
        aCache.emplace(std::move(aKey), aResult);
    debugPath(aName, 6, "aResult", aResult ? "true" : "false");
    return aResult;
}

bool isFileInDir(std::string_view theFileName, std::string_view theDirName, bool theRecursive) {
    KIVO_PERF_SCOPE("sys::is_file_in_dir()");
    constexpr std::string_view aName = "isFileInDir";
    debugPath(aName, 1, "theFileName", theFileName);
    debugPath(aName, 2, "theDirName", theDirName);
    std::string aFileDir = getDirPart(theFileName);
    debugPath(aName, 3, "aFileDirName", aFileDir);
    if (withoutTrailingSlashes(aFileDir) == withoutTrailingSlashes(theDirName)) {
        debugPath(aName, 4, "same directory", "true");
        return true;
    }
    bool aResult = theRecursive && isSubDir(aFileDir, theDirName, true);
    debugPath(aName, 5, "aResult", aResult ? "true" : "false");
    return aResult;
}

std::string getCurrentDir() {
    std::string aBuffer(PATH_MAX, '\0');
    while (::getcwd(aBuffer.data(), aBuffer.size()) == nullptr) {
        if (errno != ERANGE)
            internal::failWithErrno("Failed to get current directory");
        aBuffer.resize(aBuffer.size() * 2);
    }
    aBuffer.resize(std::char_traits<char>::length(aBuffer.c_str()));
    return aBuffer;
}

std::string getRealPath(std::string_view theDirName) {
    std::string aDir = toSlashes(theDirName);
    if (char* aResolved = ::realpath(aDir.empty() ? "." : aDir.c_str(), nullptr)) {
        std::string aResult(aResolved);
        std::free(aResolved);
        return aResult;
    }
    std::string aFull = isAbsolutePath(aDir) ? aDir : joinFileName(getCurrentDir(), aDir);
    return withoutTrailingSlashes(resolvePath(aFull));
}

std::uint64_t getTickCount() {
    timespec aNow{};
    ::clock_gettime(CLOCK_MONOTONIC, &aNow);
    return static_cast<std::uint64_t>(aNow.tv_sec) * 1000u +
           static_cast<std::uint64_t>(aNow.tv_nsec) / 1000000u;
}

namespace {

// The temporary directory is shared by every user of the machine, so kivo's part of it belongs to
// the user alone (mode 0700): nobody else can plant a link or a file in it. A directory of that
// name that is a link or belongs to someone else is refused.
void makePrivateDirectory(const std::string& theDir) {
    struct stat aStat;
    const bool anExists = ::lstat(theDir.c_str(), &aStat) == 0;
    if (!anExists && internal::simulated("Create directory " + internal::quoted(theDir)))
        return;
    if (!anExists)
        internal::forgetMissingDirectories();
    if (!anExists && ::mkdir(theDir.c_str(), 0700) != 0 && errno != EEXIST)
        internal::failWithErrno("Failed to create directory: " + internal::quoted(theDir));
    if (::lstat(theDir.c_str(), &aStat) != 0)
        internal::failWithErrno("Failed to examine directory: " + internal::quoted(theDir));
    if (!S_ISDIR(aStat.st_mode) || aStat.st_uid != ::geteuid())
        throw Error("The temporary directory " + internal::quoted(theDir) +
                    " is not a directory of your own. Remove it, or set TMPDIR to a directory "
                    "of your own.");
    if ((aStat.st_mode & 077) != 0 && ::chmod(theDir.c_str(), 0700) != 0)
        internal::failWithErrno("Failed to make directory private: " + internal::quoted(theDir));
}

} // namespace

std::string getTempDir() {
    std::string aTempDir;
    for (const char* aVariable : {"temp", "TEMP", "TMPDIR"}) {
        const char* aValue = std::getenv(aVariable);
        if (aValue && *aValue) {
            aTempDir = aValue;
            break;
        }
    }
    if (aTempDir.empty())
        aTempDir = "/tmp";
    debugPath("getTempDir", 1, "theTempDir", aTempDir);
    aTempDir = joinFileName(aTempDir, "kivotmp");
    debugPath("getTempDir", 2, "theTempDir", aTempDir);
    makePrivateDirectory(aTempDir);
    return aTempDir;
}

std::string tempFileName(std::string_view theBaseName, std::string_view theSuffix,
                         bool theWithTicks) {
    std::string aName = joinFileName(getTempDir(), theBaseName);
    if (theWithTicks)
        aName += "_" + std::to_string(getTickCount());
    aName += '.';
    aName += theSuffix;
    return aName;
}

} // namespace RepositoryAccess::sys
