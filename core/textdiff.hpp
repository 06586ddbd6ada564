#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/textdiffscript.hpp"

// Line differences of two texts: the edit script of `textdiffscript` (the shortest one unless the
// texts differ almost everywhere), the unified format of `kivo diff`, and the three-way merge of
// `kivo-merge`. Texts are bytes; a line keeps its line feed, so a last line
// without one differs from the same line with one, and CR LF lines compare with their CR.

namespace RepositoryAccess::textdiff {

// The lines of a text, each with its line feed; the last one has none when the text does not end
// with one. An empty text has no lines.
std::vector<std::string_view> splitLines(std::string_view theText);

// One run of differences: theDeleted lines of the old text from itsOld replaced by theInserted
// lines of the new text from itsNew (line indexes from 0). Between two changes the texts agree.
struct Change {
    std::size_t itsOld = 0;
    std::size_t itsDeleted = 0;
    std::size_t itsNew = 0;
    std::size_t itsInserted = 0;
};

// The changes that turn theOld into theNew, in text order: the fewest deleted plus inserted lines
// where the texts differ in few places, and a near-linear search where they differ everywhere
// (theCostLimit as `editMarks` takes it).
std::vector<Change> compare(const std::vector<std::string_view>& theOld,
                            const std::vector<std::string_view>& theNew,
                            std::size_t theCostLimit = kCostFromSizes);

// True for content that a person cannot read as lines: it holds a NUL byte in its first 8,000
// bytes.
bool isBinary(std::string_view theContent);

// A file name as the header lines of a unified difference show it: as it is, or, when it holds a
// blank, a double quote, a backslash or a control byte, in double quotes with C escapes (\n, \t,
// \", \\, octal for other control bytes), as GNU diff writes such names and patch reads them. So no
// name can end a header line. Bytes from 0x80 on (UTF-8) stay as they are.
std::string quotedName(std::string_view theName);

// The unified difference of two texts with theContext lines around each change: "--- " theOldLabel,
// "+++ " theNewLabel, then "@@ -l,s +l,s @@" hunks whose lines begin with " ", "-" or "+", each
// line that lacks a line feed followed by "\ No newline at end of file". Empty when the texts are
// equal.
std::string unified(std::string_view theOld, std::string_view theNew, std::string_view theOldLabel,
                    std::string_view theNewLabel, std::size_t theContext = 3);

// The result of a three-way merge: the merged text, and the number of places where both sides
// changed the same lines differently. Such a place is written between "<<<<<<< " theLocalLabel,
// "||||||| " theBaseLabel (the base lines), "=======" and ">>>>>>> " theRemoteLabel.
struct Merge {
    std::string itsText;
    std::size_t itsConflicts = 0;
};

// Merges the changes that theLocal and theRemote made to theBase. A change of one side alone is
// taken; the same change on both sides is taken once; changes of both sides that touch or overlap
// each other differently are a conflict. theCostLimit bounds each side's `compare`.
Merge merge3(std::string_view theBase, std::string_view theLocal, std::string_view theRemote,
             std::string_view theLocalLabel, std::string_view theBaseLabel,
             std::string_view theRemoteLabel, std::size_t theCostLimit = kCostFromSizes);

} // namespace RepositoryAccess::textdiff
