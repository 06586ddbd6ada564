#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "core/regex.hpp"

namespace RepositoryAccess {

// Answers whether a path of the workspace is left out of the status calculation, from the
// `.kivoignore` files of its directory and every directory above it up to the workspace
// directory. Each file is read once per process; answers are remembered per path.
class Ignore {
public:
    // One compiled rule: the absolute pattern and its matcher, shared by the directories below.
    struct Rule {
        std::string itsPattern;
        std::shared_ptr<const Regex> itsRegex;
    };
    // The combined rules of one directory: its own first, then those of its parents.
    struct Rules {
        std::vector<Rule> itsExcludes;
        std::vector<Rule> itsIncludes;
    };

    explicit Ignore(std::string theWorkSpaceDirName);

    // True when an exclude rule matches the whole absolute path and no include rule does.
    bool isIgnored(const std::string& thePath);

    // The rules that apply to files of the directory; throws when a `.kivoignore` file on the
    // way cannot be parsed or holds a pattern that the matcher does not take.
    const Rules& collect(const std::string& theDirName);

    // Tells which directories a listing has read whole and which of their files are `.kivoignore`
    // files: a listed directory without one needs no probe of the disk when its rules are
    // collected (a tree of a hundred thousand files has a thousand directories, nearly all
    // without rules).
    void learnListing(const std::vector<std::string>& theListedDirs,
                      const std::vector<std::string_view>& theListedFiles);

    // The rules of one `.kivoignore` text of the directory, compiled; theShownFile names the
    // file in the messages. Throws for a text that is no JSON object and for a pattern that the
    // matcher does not take.
    static Rules rulesFromText(std::string_view theText, const std::string& theDirName,
                               const std::string& theShownFile);

private:
    Rules readRules(const std::string& theDirName) const;
    bool matchesAny(const std::vector<Rule>& theRules, const char* theKind,
                    const std::string& thePath) const;

    std::string itsWorkSpaceDirName;
    std::map<std::string, Rules, std::less<>> itsRulesByDirectory;
    std::unordered_set<std::string> itsIgnored;
    std::unordered_set<std::string> itsNotIgnored;
    std::unordered_set<std::string> itsListedWithoutRules;
};

namespace ignore {

// The process-wide rules of the workspace directory, created on first use.
Ignore& forWorkSpace(const std::string& theWorkSpaceDirName);

// The predicate of the status calculation: is the path ignored in the workspace.
bool is_path_ignored(const std::string& theWorkSpaceDirName, const std::string& thePath);

} // namespace ignore
} // namespace RepositoryAccess
