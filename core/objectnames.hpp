#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The names that packages and objects may take. A package becomes directories of a workspace and
// an object a file in them, beside its metadata file and its temporary files; the client applies
// this rule to every name it meets and the repository to every name it stores, so that no stored
// name can stop another user's checkout.
namespace RepositoryAccess::objectnames {

// The settings folder of a workspace: no package may take its name as its first part.
inline constexpr std::string_view kSettingsFolder = "._SYS_KIVO_settings";

// The longest object file name (name and suffix) and package part, in bytes: with ".kivoMeta" and
// the suffix of a temporary file (".tmp<pid>_<n>") a name stays within the 255 bytes that Linux
// file systems allow.
inline constexpr std::size_t kLongestName = 200;

// The longest package name, in bytes, so that its directories and a file in them stay well within
// the 4,096 bytes of a path.
inline constexpr std::size_t kLongestPackage = 1000;

// True when the name is one plain path component that stays inside its directory: not empty,
// not "." or "..", without `/`, `\` or NUL, and not a drive ("X:").
bool isPlainName(std::string_view theName);

// A value of at least three characters enclosed in double quotes loses them; anything else is
// returned unchanged.
std::string stripQuotes(std::string_view theArgument);

// A package name as the directory it becomes: its parts split at unquoted dots, quotes removed,
// joined with `/` (a."b.c".d gives a/b.c/d; "" gives ""). When the name cannot be a package,
// itsProblem holds the message that says why ("Invalid package name ..." for an unclosed quote,
// an empty last part, a part that would leave its directory or is longer than kLongestName, a
// first part that is the settings folder, a name longer than kLongestPackage; "Empty super
// package ..." for an empty part before a dot) and itsDirectory is empty.
struct PackageDirectory {
    std::string itsDirectory;
    std::string itsProblem;
};
PackageDirectory packageDirectory(std::string_view thePackage);

// Why the object theName with theSuffix cannot be a file of a workspace: "Invalid repository
// object "<theKey>": ..." when its file name (name, and "." and the suffix unless it is empty) is
// empty or longer than kLongestName, when the name is "." or "..", or when name or suffix hold
// `/`, `\`, NUL or one of the characters that object file names exclude (`,^:?<>|`); empty when
// it can be one. The package is checked by packageDirectory.
std::string objectProblem(std::string_view theKey, std::string_view theName,
                          std::string_view theSuffix);

} // namespace RepositoryAccess::objectnames
