#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Who last changed each line of a file: the lines of one version of a file, each with the index of
// the version that brought it in, found by walking the file's versions from the oldest with the
// line differences of `kivo diff` (`textdiff::compare`). `kivo annotate` and the web view of
// `kivo-repo serve` both print from it. Pure: no repository, no files, no output.

namespace RepositoryAccess::annotate {

// One version of a file: its content and what a reader is shown for it (the version number and
// the user, say). The labels are carried for the caller and never compared. A version that deleted
// the file has an empty text: the lines of a later version are then all new again.
struct FileVersion {
    std::string itsText;
    std::string itsVersion;
    std::string itsUser;
};

// One line of the annotated version, with its line feed (the last line has none when the text
// does not end with one), and the index in the version list of the version that last changed it.
struct AnnotatedLine {
    std::size_t itsVersion = 0;
    std::string_view itsText;
};

// The lines of theVersions[theChosen], each with the version that last changed it; theVersions
// are the versions of one file, oldest first. A line that the chosen version takes unchanged from
// its predecessor keeps the predecessor's answer; a line it inserts or rewrites is its own. The
// lines view theVersions' texts, which must outlive them. Raises Error when theChosen is not an
// index of theVersions.
std::vector<AnnotatedLine> annotateLines(std::span<const FileVersion> theVersions,
                                         std::size_t theChosen);

// The same for the newest version, the last of theVersions; none for an empty list.
std::vector<AnnotatedLine> annotateLines(std::span<const FileVersion> theVersions);

} // namespace RepositoryAccess::annotate
