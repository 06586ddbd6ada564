#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "actions/mergetool.hpp"

// The sides of a conflict as resolve reads and writes them: the local file, the base copy and the
// remote copy, each either content or the mark of a deleted object.
namespace RepositoryAccess::resolvesides {

// What a side's file begins with when it stands for a deleted object.
inline constexpr std::string_view kDeleted = "__deleted__";

// The content a side gives the local file; none for a deleted object.
using Side = std::optional<std::string>;

// The content of a side's file, or none when it stands for a deleted object: it is missing or
// begins with the deletion mark.
Side sideContent(const std::string& thePath);

// The side that the mode `local`, `base` or `remote` (any case) takes; none for another mode.
std::optional<Side> fileSide(const std::string& theMode, const mergetool::Sides& theSides);

// Replaces the local file by the side (atomically, with the directories on its way), or deletes
// it for a deleted object. A file that holds the side's content already is not written again,
// so that its time stays.
void writeLocal(const std::string& theFile, const Side& theSide);

} // namespace RepositoryAccess::resolvesides
