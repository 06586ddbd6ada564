#include "workspace/statusfastread.hpp"

namespace RepositoryAccess::statusfastread {

namespace {

// A cursor over the text that only moves on an exact match.
class Cursor {
public:
    explicit Cursor(std::string_view theText) : itsRest(theText) {}

    bool literal(std::string_view theExpected) {
        if (!itsRest.starts_with(theExpected))
            return false;
        itsRest.remove_prefix(theExpected.size());
        return true;
    }

    // The bytes up to the next double quote, which is consumed; no escape may occur in them.
    bool plainString(std::string_view& theValue) {
        // Two single-byte searches: find_first_of would test every byte against both bytes.
        const std::size_t anEnd = itsRest.find('"');
        if (anEnd == std::string_view::npos)
            return false;
        theValue = itsRest.substr(0, anEnd);
        if (theValue.find('\\') != std::string_view::npos)
            return false;
        itsRest.remove_prefix(anEnd + 1);
        return true;
    }

    // What is left may only be blanks and line ends.
    bool atEnd() const { return itsRest.find_first_not_of(" \t\r\n") == std::string_view::npos; }

private:
    std::string_view itsRest;
};

bool readEntry(Cursor& theCursor, Entry& theEntry) {
    return theCursor.literal("{\"filename\":\"") && theCursor.plainString(theEntry.itsFileName) &&
           theCursor.literal(",\"sha1value\":\"") && theCursor.plainString(theEntry.itsHash) &&
           theCursor.literal(",\"timest\":\"") && theCursor.plainString(theEntry.itsTimestamp) &&
           theCursor.literal(",\"baseversion\":\"") &&
           theCursor.plainString(theEntry.itsBaseVersion) &&
           (!theCursor.literal(",\"filestat\":\"") ||
            theCursor.plainString(theEntry.itsFileStat)) &&
           theCursor.literal("}");
}

} // namespace

bool read(std::string_view theText, Content& theContent,
          const std::function<void(const Entry&)>& theOnEntry) {
    Cursor aCursor(theText);
    if (!aCursor.literal("{\n\"name\":\"") || !aCursor.plainString(theContent.itsName) ||
        !aCursor.literal(",\n\"filenames\":["))
        return false;
    if (!aCursor.literal("]")) {
        do {
            Entry anEntry;
            if (!readEntry(aCursor, anEntry))
                return false;
            theOnEntry(anEntry);
        } while (aCursor.literal(",\n"));
        if (!aCursor.literal("]"))
            return false;
    }
    if (!aCursor.literal(",\n\"conflicts\":["))
        return false;
    if (!aCursor.literal("]")) {
        do {
            std::string_view aConflict;
            if (!aCursor.literal("\"") || !aCursor.plainString(aConflict))
                return false;
            theContent.itsConflicts.push_back(aConflict);
        } while (aCursor.literal(",\n"));
        if (!aCursor.literal("]"))
            return false;
    }
    return aCursor.literal("\n}") && aCursor.atEnd();
}

} // namespace RepositoryAccess::statusfastread
