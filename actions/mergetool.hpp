#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace RepositoryAccess::mergetool {

// The three sides of one conflict, as paths.
struct Sides {
    std::string itsBase;
    std::string itsRemote;
    std::string itsLocal;
};

// The command of a merge-tool template with every %b, %r and %l replaced by the base, remote and
// local path. A placeholder outside quotes becomes the path in single quotes (each single quote
// inside written as '\''). Inside the template's own quotes ('%l', "%l") a path of plain
// characters is put as it is, any other path closes the quote, follows in single quotes and
// reopens it. A backslash outside single quotes keeps the next character as it is (\%l stays).
std::string command(std::string_view theTemplate, const Sides& theSides);

// What a merge tool run left: whether the conflict is to be resolved with it, and then the
// content of the local side (none when the tool deleted it).
struct Outcome {
    bool itsTaken = false;
    std::optional<std::string> itsLocal;
};

// Runs the merge tool (`mergeToolConfig`, else the default template) on copies of the three
// sides in the program's temporary directory, whose names kivo makes from plain characters
// (`merge-<process>-<n>-local.<suffix>`), so that no character of a name that someone else chose
// reaches the shell. Prints "Invoking merge tool: " and the command as it runs, then asks whether
// to take the result ("yes" by default when the tool changed the local copy, "no" otherwise;
// `noConfirm` takes the default). Files that the tool leaves beside the local copy (such as
// kivo-merge's "<local>.merged") are moved beside theFile under theFile's name with the same
// ending. Fails with "The merge tool could not be started: ..." when the shell cannot start it.
Outcome run(const std::string& theFile, const Sides& theSides);

} // namespace RepositoryAccess::mergetool
