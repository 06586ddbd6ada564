#include "core/objectnames.hpp"

#include "core/error.hpp"
#include "core/utils.hpp"

#include <vector>

namespace RepositoryAccess::objectnames {

namespace {

// The characters that take a name out of its directory.
constexpr std::string_view kLeaving("/\\\0", 3);
// The further characters that object file names exclude.
constexpr std::string_view kExcluded = ",^:?<>|";

std::string quoted(std::string_view theText) {
    return "\"" + std::string(theText) + "\"";
}

std::string invalidPackage(std::string_view thePackage, std::string_view theReason) {
    return "Invalid package name " + quoted(thePackage) + ": " + std::string(theReason);
}

// Why one part of a package cannot be a directory of the workspace; empty when it can.
std::string partProblem(std::string_view thePackage, const std::string& thePart, bool theFirst) {
    const std::string aPart = stripQuotes(thePart);
    if (!isPlainName(aPart))
        return invalidPackage(thePackage,
                              "the part " + quoted(aPart) +
                                  " is not a valid directory name (empty, \".\", \"..\", a drive, "
                                  "or holding \"/\", \"\\\" or a NUL byte).");
    if (theFirst && aPart == kSettingsFolder)
        return invalidPackage(thePackage, "the part " + quoted(aPart) +
                                              " is the settings folder of the workspace.");
    if (aPart.size() > kLongestName)
        return invalidPackage(thePackage, "the part " + quoted(aPart) + " is longer than " +
                                              std::to_string(kLongestName) + " bytes.");
    return {};
}

// The parts of a package split at unquoted dots; an unclosed quote gives the problem instead.
std::vector<std::string> partsOf(std::string_view thePackage, std::string& theProblem) {
    try {
        return utils::splitAll(thePackage, '.');
    } catch (const Error& anError) {
        theProblem = invalidPackage(thePackage, anError.what());
        return {};
    }
}

} // namespace

bool isPlainName(std::string_view theName) {
    if (theName.empty() || theName == "." || theName == "..")
        return false;
    if (theName.size() == 2 && theName[1] == ':')
        return false;
    return theName.find_first_of(kLeaving) == std::string_view::npos;
}

std::string stripQuotes(std::string_view theArgument) {
    if (theArgument.size() >= 3 && theArgument.front() == '"' && theArgument.back() == '"')
        return std::string(theArgument.substr(1, theArgument.size() - 2));
    return std::string(theArgument);
}

PackageDirectory packageDirectory(std::string_view thePackage) {
    PackageDirectory aResult;
    if (thePackage.size() > kLongestPackage) {
        aResult.itsProblem = invalidPackage(
            thePackage, "it is longer than " + std::to_string(kLongestPackage) + " bytes.");
        return aResult;
    }
    const std::vector<std::string> aParts = partsOf(thePackage, aResult.itsProblem);
    // A trailing dot ends the name with an empty part, which splitting drops.
    if (aResult.itsProblem.empty() && thePackage.ends_with('.'))
        aResult.itsProblem = partProblem(thePackage, "", aParts.empty());
    for (std::size_t i = 0; i < aParts.size() && aResult.itsProblem.empty(); ++i) {
        if (aParts[i].empty() && i + 1 < aParts.size())
            aResult.itsProblem = "Empty super package for sub package " + quoted(thePackage) +
                                 ". Use double quotes to enclose dot-separated package names.";
        else
            aResult.itsProblem = partProblem(thePackage, aParts[i], i == 0);
        if (!aResult.itsDirectory.empty())
            aResult.itsDirectory += '/';
        aResult.itsDirectory += stripQuotes(aParts[i]);
    }
    if (!aResult.itsProblem.empty())
        aResult.itsDirectory.clear();
    return aResult;
}

std::string objectProblem(std::string_view theKey, std::string_view theName,
                          std::string_view theSuffix) {
    const std::size_t aLength = theName.size() + (theSuffix.empty() ? 0 : theSuffix.size() + 1);
    const bool aBadPart = theName.find_first_of(kLeaving) != std::string_view::npos ||
                          theSuffix.find_first_of(kLeaving) != std::string_view::npos ||
                          theName.find_first_of(kExcluded) != std::string_view::npos ||
                          theSuffix.find_first_of(kExcluded) != std::string_view::npos;
    if (!aBadPart && aLength > 0 && aLength <= kLongestName && theName != "." && theName != "..")
        return {};
    return "Invalid repository object " + quoted(theKey) +
           ": its name and suffix must form a plain file name of at most " +
           std::to_string(kLongestName) +
           " bytes (not \".\" or \"..\", without \"/\", \"\\\", a NUL byte or any of "
           "\",^:?<>|\").";
}

} // namespace RepositoryAccess::objectnames
