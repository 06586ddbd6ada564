#pragma once

#include <string>

#include "actions/command.hpp"

namespace RepositoryAccess {

// The `diff` action: the local changes of the changed, new and deleted files of a scope as
// unified differences against the versions they are based on (read from the repository in one
// bulk read), or with `active` against the active versions; a conflicted file against the
// repository version stored in the settings folder, without a connection. Reads only.
class actionDiff : public Command {
public:
    void execute() override;
};

// The printer of differences that `diff`, `log -p` and the differences between versions share.
namespace actiondiff {

// One side of a difference: its content and what it is, for the header line ("base #3",
// "workspace", "deleted").
struct Side {
    std::string itsContent;
    std::string itsWhat;
};

// Prints the difference of one file; false when both sides are equal. A side that is not text
// gives "Binary files NAME (WHAT) and NAME (WHAT) differ". The file's name is quoted where it
// needs it, so that whoever named the file cannot choose lines of the output.
bool printDifference(const std::string& theRelative, const Side& theOld, const Side& theNew);

} // namespace actiondiff

} // namespace RepositoryAccess
