// kivo-merge: the three-way merge tool for conflicted files, run by `kivo resolve --mergeTool`
// as KIVO_MERGETOOL="kivo-merge %b %r %l". Changes of both sides that do not overlap are merged
// into the local file; overlapping ones leave the local file untouched and the merge with
// conflict markers beside it, so that a resolved file never holds a conflict marker.
#include "core/atomicfile.hpp"
#include "core/error.hpp"
#include "core/textdiff.hpp"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <unistd.h>

using namespace RepositoryAccess;

namespace {

constexpr int kMerged = 0;
constexpr int kConflicts = 1;
constexpr int kFailed = 2;

const char* const kUsage =
    "Usage: kivo-merge BASE REMOTE LOCAL\n"
    "Merges the changes that REMOTE and LOCAL made to BASE into LOCAL (exit status 0). When they\n"
    "overlap, LOCAL stays as it is and the merge with conflict markers is written to\n"
    "LOCAL.merged (exit status 1). For kivo: KIVO_MERGETOOL=\"kivo-merge %b %r %l\".\n";

// The side of a conflict that checkout writes for a deleted object.
constexpr std::string_view kDeleted = "__deleted__";

std::string readWhole(const std::string& thePath) {
    std::ifstream aFile(thePath, std::ios::binary);
    if (!aFile)
        throw Error("kivo-merge: Cannot read \"" + thePath + "\".");
    std::ostringstream aText;
    aText << aFile.rdbuf();
    if (aFile.bad())
        throw Error("kivo-merge: Cannot read \"" + thePath + "\".");
    return aText.str();
}

// Replaces thePath whole, so that a failure leaves the old file as it was.
void writeWhole(const std::string& thePath, const std::string& theText) {
    AtomicFile aFile(thePath);
    aFile.write(theText);
    aFile.commit();
}

// A line that begins like a conflict marker: a merge that holds one is never taken as resolved.
bool holdsMarker(const std::string& theText) {
    for (std::string_view aLine : textdiff::splitLines(theText))
        if (aLine.starts_with("<<<<<<< ") || aLine.starts_with(">>>>>>> "))
            return true;
    return false;
}

// Why the three sides cannot be merged line by line; empty when they can.
std::string unmergeable(const std::string (&theSides)[3]) {
    for (const std::string& aSide : theSides) {
        if (aSide.starts_with(kDeleted))
            return "One side deletes the object; resolve with kivo resolve --local or --remote.";
        if (textdiff::isBinary(aSide))
            return "Binary files cannot be merged; resolve with kivo resolve --local or --remote.";
    }
    return {};
}

int run(const std::string& theBase, const std::string& theRemote, const std::string& theLocal) {
    const std::string aSides[3] = {readWhole(theBase), readWhole(theRemote), readWhole(theLocal)};
    if (const std::string aReason = unmergeable(aSides); !aReason.empty()) {
        std::cerr << "kivo-merge: " << aReason << "\n";
        return kConflicts;
    }
    const textdiff::Merge aMerge =
        textdiff::merge3(aSides[0], aSides[2], aSides[1], "local " + theLocal, "base " + theBase,
                         "remote " + theRemote);
    if (aMerge.itsConflicts == 0 && !holdsMarker(aMerge.itsText)) {
        writeWhole(theLocal, aMerge.itsText);
        std::cout << "kivo-merge: Merged the changes of both sides into \"" << theLocal << "\".\n";
        return kMerged;
    }
    const std::string aMerged = theLocal + ".merged";
    writeWhole(aMerged, aMerge.itsText);
    std::cerr << "kivo-merge: "
              << (aMerge.itsConflicts > 0
                      ? std::to_string(aMerge.itsConflicts) + " overlapping change(s)"
                      : std::string("A conflict marker in the input"))
              << ": \"" << theLocal << "\" is unchanged; the merge with conflict markers is in \""
              << aMerged << "\". Edit the file, delete \"" << aMerged
              << "\" and resolve with kivo resolve --local.\n";
    return kConflicts;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << kUsage;
        return kFailed;
    }
    try {
        return run(argv[1], argv[2], argv[3]);
    } catch (const Error& anError) {
        std::cerr << anError.what() << "\n";
    } catch (const std::exception& anError) {
        std::cerr << "kivo-merge: Internal error: " << anError.what() << "\n";
    }
    return kFailed;
}
