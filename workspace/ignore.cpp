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

// The patterns of one list member, each made absolute (the escaped directory, "/", the pattern)
// and compiled; a pattern the matcher refuses is reported with the file that holds it.
void compileInto(const json::JsonObject& theObject, std::string_view theMember,
                 const std::string& theEscapedDir, const std::string& theFile,
                 std::vector<Ignore::Rule>& theRules) {
    if (!json::hasMember(theObject, theMember))
        return;
    for (const auto& aValue : json::getList(theObject, theMember)) {
        const std::string_view aPattern = json::asStringView(aValue);
        try {
            // The pattern alone first, so that a refusal's offset counts in the file's text.
            [[maybe_unused]] const Regex aPatternAlone(aPattern);
            const std::string aRule = theEscapedDir + "/" + std::string(aPattern);
            theRules.push_back({aRule, std::make_shared<const Regex>(aRule)});
        } catch (const Error& anError) {
            constexpr std::size_t kShown = 80;
            const std::string aShown = aPattern.size() <= kShown
                                           ? std::string(aPattern)
                                           : std::string(aPattern.substr(0, kShown)) + "...";
            throw Error("Invalid pattern in \".kivoignore\" file \"" + theFile + "\": " + aShown +
                        " (" + anError.what() + ")");
        }
    }
}

std::string withoutTrailingSlash(std::string theDirName) {
    while (theDirName.size() > 1 && theDirName.back() == '/')
        theDirName.pop_back();
    return theDirName;
}

} // namespace

Ignore::Ignore(std::string theWorkSpaceDirName)
    : itsWorkSpaceDirName(withoutTrailingSlash(sys::toSlashes(theWorkSpaceDirName))) {}

Ignore::Rules Ignore::rulesFromText(std::string_view theText, const std::string& theDirName,
                                    const std::string& theShownFile) {
    Rules aRules;
    json::JsonObject anObject;
    json::JsonAllocator anAllocator;
    if (!json::jsonParse(theText.data(), theText.size(), anObject, anAllocator))
        throw Error("Could not parse \".kivoignore\" file \"" + theShownFile + "\":\n" +
                    std::string(theText));
    const std::string anEscaped = utils::regexEscape(theDirName);
    compileInto(anObject, "exclude", anEscaped, theShownFile, aRules.itsExcludes);
    compileInto(anObject, "include", anEscaped, theShownFile, aRules.itsIncludes);
    return aRules;
}

Ignore::Rules Ignore::readRules(const std::string& theDirName) const {
    if (itsListedWithoutRules.contains(theDirName))
        return {};
    const std::string aFile = sys::joinFileName(theDirName, kIgnoreFileName);
    if (!sys::fileExists(aFile))
        return {};
    return rulesFromText(*sys::readFile(aFile), theDirName,
                         sys::absoluteToRelativeFileName(aFile, itsWorkSpaceDirName));
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

void Ignore::learnListing(const std::vector<std::string>& theListedDirs,
                          const std::vector<std::string_view>& theListedFiles) {
    std::unordered_set<std::string> aWithRules;
    const std::string aSuffix = "/" + std::string(kIgnoreFileName);
    for (const auto aFile : theListedFiles)
        if (aFile.ends_with(aSuffix))
            aWithRules.insert(withoutTrailingSlash(std::string(sys::getDirPart(aFile))));
    for (const auto& aDir : theListedDirs) {
        std::string aKey = withoutTrailingSlash(sys::toSlashes(aDir));
        if (!aWithRules.contains(aKey))
            itsListedWithoutRules.insert(std::move(aKey));
    }
}

bool Ignore::matchesAny(const std::vector<Rule>& theRules, const char* theKind,
                        const std::string& thePath) const {
    const bool aDebug = isSet(params::debugKivoignore);
    for (const auto& aRule : theRules) {
        const bool aMatch = aRule.itsRegex->matches(thePath);
        if (aDebug)
            console::say(std::string("\n") + theKind + " regular expression : " + aRule.itsPattern +
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
