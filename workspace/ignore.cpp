#include "workspace/ignore.hpp"

#include "core/console.hpp"
#include "core/error.hpp"
#include "core/json.hpp"
#include "core/parameters.hpp"
#include "core/perftrace.hpp"
#include "core/utils.hpp"
#include "workspace/sys.hpp"

namespace RepositoryAccess {

namespace {

constexpr std::string_view kIgnoreFileName = ".kivoignore";

// The patterns of one list member, each made absolute: the escaped directory, "/", the pattern.
void compileInto(const json::JsonObject& theObject, std::string_view theMember,
                 const std::string& theEscapedDir, std::vector<std::string>& theRules) {
    if (!json::hasMember(theObject, theMember))
        return;
    for (const auto& aValue : json::getList(theObject, theMember))
        theRules.push_back(theEscapedDir + "/" + std::string(json::asStringView(aValue)));
}

std::string withoutTrailingSlash(std::string theDirName) {
    while (theDirName.size() > 1 && theDirName.back() == '/')
        theDirName.pop_back();
    return theDirName;
}

} // namespace

Ignore::Ignore(std::string theWorkSpaceDirName)
    : itsWorkSpaceDirName(withoutTrailingSlash(sys::toSlashes(theWorkSpaceDirName))) {}

Ignore::Rules Ignore::readRules(const std::string& theDirName) const {
    Rules aRules;
    const std::string aFile = sys::joinFileName(theDirName, kIgnoreFileName);
    if (!sys::fileExists(aFile))
        return aRules;
    auto aText = sys::readFile(aFile);
    json::JsonObject anObject;
    json::JsonAllocator anAllocator;
    if (!json::jsonParse(aText->data(), aText->size(), anObject, anAllocator))
        throw Error("Could not parse \".kivoignore\" file \"" +
                    sys::absoluteToRelativeFileName(aFile, itsWorkSpaceDirName) + "\":\n" + *aText);
    const std::string anEscaped = utils::regexEscape(theDirName);
    compileInto(anObject, "exclude", anEscaped, aRules.itsExcludes);
    compileInto(anObject, "include", anEscaped, aRules.itsIncludes);
    return aRules;
}

const Ignore::Rules& Ignore::collect(const std::string& theDirName) {
    KIVO_PERF_SCOPE("Ignore::collect()");
    const std::string aDir = withoutTrailingSlash(theDirName);
    if (auto aHit = itsRulesByDirectory.find(aDir); aHit != itsRulesByDirectory.end()) {
        KIVO_PERF_SCOPE("Ignore::collect()-cache hit");
        return aHit->second;
    }
    KIVO_PERF_SCOPE("Ignore::collect()-no cache hit");
    Rules aRules = readRules(aDir);
    const std::string aParent = sys::getDirPart(aDir);
    if (aDir != itsWorkSpaceDirName && !aParent.empty() && aParent != aDir) {
        const Rules& aParentRules = collect(aParent);
        aRules.itsExcludes.insert(aRules.itsExcludes.end(), aParentRules.itsExcludes.begin(),
                                  aParentRules.itsExcludes.end());
        aRules.itsIncludes.insert(aRules.itsIncludes.end(), aParentRules.itsIncludes.begin(),
                                  aParentRules.itsIncludes.end());
    }
    return itsRulesByDirectory.emplace(aDir, std::move(aRules)).first->second;
}

bool Ignore::matchesAny(const std::vector<std::string>& theRules, const char* theKind,
                        const std::string& thePath) const {
    const bool aDebug = isSet(params::debugKivoignore);
    for (const auto& aRule : theRules) {
        const bool aMatch = utils::regexTest(aRule, thePath);
        if (aDebug)
            console::say(std::string("\n") + theKind + " regular expression : " + aRule +
                         "\nPath                       : " + thePath +
                         "\nMatch                      : " + (aMatch ? "yes" : "no") + "\n");
        if (aMatch)
            return true;
    }
    return false;
}

bool Ignore::isIgnored(const std::string& thePath) {
    KIVO_PERF_SCOPE("Ignore::isIgnored()");
    if (itsIgnored.contains(thePath))
        return true;
    if (itsNotIgnored.contains(thePath))
        return false;
    const Rules& aRules = collect(sys::getDirPart(thePath));
    const bool anExcluded = matchesAny(aRules.itsExcludes, "Exclude", thePath);
    const bool anIncluded = matchesAny(aRules.itsIncludes, "Include", thePath);
    const bool anIgnored = anExcluded && !anIncluded;
    (anIgnored ? itsIgnored : itsNotIgnored).insert(thePath);
    return anIgnored;
}

namespace ignore {

Ignore& forWorkSpace(const std::string& theWorkSpaceDirName) {
    static std::unique_ptr<Ignore> theIgnore;
    if (!theIgnore)
        theIgnore = std::make_unique<Ignore>(theWorkSpaceDirName);
    return *theIgnore;
}

bool is_path_ignored(const std::string& theWorkSpaceDirName, const std::string& thePath) {
    KIVO_PERF_SCOPE("ignore::is_path_ignored()");
    return forWorkSpace(theWorkSpaceDirName).isIgnored(thePath);
}

} // namespace ignore
} // namespace RepositoryAccess
