#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace RepositoryAccess {

// A regular expression whose matching time grows linearly with the text (a Pike virtual
// machine: every position is visited once by every live state, nothing backtracks), so that a
// pattern from another user cannot keep the program busy or exhaust its stack.
//
// The dialect is the ECMAScript one of the bytes of a text, without back-references and
// look-around assertions (refused): literals, `.` (any byte but a line feed), classes `[...]`,
// `[^...]` with ranges and `\d \w \s` and their negations, groups `(...)` and `(?:...)`, `|`,
// `^`, `$`, `\b`, `\B` and the quantifiers `* + ? {n} {n,} {n,m}`, each optionally lazy. A `{`
// that does not start a quantifier is a literal. A pattern is refused when it is longer than
// 65,536 bytes, nests groups deeper than 200 levels, repeats more than 1,000 times, or compiles
// to more than 50,000 steps.
class Regex {
public:
    // Compiles the pattern; throws "<reason> at offset <n>" when it cannot be taken.
    explicit Regex(std::string_view thePattern);

    // True when the pattern matches the whole text.
    bool matches(std::string_view theText) const;

    // Matches the whole text; on success theGroups holds the text of every group (index 0 is
    // group 1; a group that took part in no match is empty).
    bool matches(std::string_view theText, std::vector<std::string>& theGroups) const;

    // The number of capturing groups.
    int groupCount() const { return itsGroupCount; }

    enum class Op : std::uint8_t {
        byte,
        any,
        set,
        split,
        jump,
        save,
        lineStart,
        lineEnd,
        wordBoundary,
        notWordBoundary,
        match
    };
    struct Step {
        Op itsOp;
        int itsX = 0; // the byte, set index, first branch, jump target or capture slot
        int itsY = 0; // the second (lower-priority) branch of a split
    };
    // 256 bits: the bytes a class takes.
    struct ByteSet {
        std::uint64_t itsBits[4] = {0, 0, 0, 0};
        bool has(unsigned char theByte) const {
            return (itsBits[theByte >> 6] >> (theByte & 63)) & 1;
        }
        void add(unsigned char theByte) {
            itsBits[theByte >> 6] |= std::uint64_t{1} << (theByte & 63);
        }
    };

private:
    bool run(std::string_view theText, std::vector<int>* theSlots) const;

    std::vector<Step> itsSteps;
    std::vector<ByteSet> itsSets;
    std::string itsPrefix; // the literal bytes every match starts with
    int itsGroupCount = 0;
};

} // namespace RepositoryAccess
