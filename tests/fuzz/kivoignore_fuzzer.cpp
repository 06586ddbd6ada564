// The `.kivoignore` reader and matcher on any content: the first line is a file name, the rest
// the file of a directory whose name holds every character that patterns treat specially. The
// rules are compiled or refused with the program's error, and matching takes time linear in the
// path, whatever the patterns.
#include "core/regex.hpp"
#include "core/utils.hpp"
#include "tests/fuzz/fuzzing.hpp"
#include "workspace/ignore.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* theData, std::size_t theSize) {
    const std::string_view anInput = fuzzing::text(theData, theSize);
    const std::size_t aBreak = anInput.find('\n');
    const std::string_view aName = anInput.substr(0, aBreak);
    const std::string_view aText =
        aBreak == std::string_view::npos ? std::string_view() : anInput.substr(aBreak + 1);
    // Any name, escaped, is a pattern that matches exactly that name.
    fuzzing::require(aName.size() >= 256 || Regex(utils::regexEscape(aName)).matches(aName));
    const std::string aDir = "/ws/d{i}r[.]*+?^$|(x)\\";
    fuzzing::refusedOrRead([&] {
        const Ignore::Rules aRules = Ignore::rulesFromText(aText, aDir, "d/.kivoignore");
        const std::string aPath = aDir + "/" + std::string(aName);
        for (const auto& aRule : aRules.itsExcludes)
            aRule.itsRegex->matches(aPath);
        for (const auto& aRule : aRules.itsIncludes)
            aRule.itsRegex->matches(aPath);
    });
    return 0;
}
