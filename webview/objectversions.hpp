#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace RepositoryAccess::webview {

class RepositoryReader;

// One object as the history and annotated pages read it: its key, its activated versions and
// their contents, one read request each.
class ObjectVersions {
public:
    struct Version {
        std::int64_t itsNumber = 0;
        bool itsIsDeletion = false;
        std::string itsActivatedAt, itsActivatedBy;
    };

    // Reads the history of the object (one request); a missing object is a MissingPage.
    ObjectVersions(RepositoryReader& theReader, std::string theUser, std::string thePackage,
                   std::string theName, std::string theSuffix);

    // The versions, oldest first.
    const std::vector<Version>& versions() const { return itsVersions; }
    // The content of version theNumber (one request); empty for a deletion.
    std::string content(const Version& theVersion) const;
    // package/name.suffix, as the pages show the object.
    std::string shown() const;
    // The query that names the object in the pages' links.
    std::vector<std::pair<std::string, std::string>> query() const;

private:
    RepositoryReader& itsReader;
    std::string itsUser, itsPackage, itsName, itsSuffix;
    std::vector<Version> itsVersions;
};

} // namespace RepositoryAccess::webview
