#include "workspace/journal.hpp"

#include "core/error.hpp"
#include "core/json.hpp"
#include "workspace/sys.hpp"

namespace RepositoryAccess::journal {

namespace {

constexpr std::string_view kCheckout = "checkout";
constexpr std::string_view kRepository = "repository";

} // namespace

std::string fileName(std::string_view theSettingsDirName) {
    return sys::joinFileName(theSettingsDirName, ".kivoJournal");
}

std::vector<JournalEntry> read(std::string_view thePath) {
    const auto aText = sys::readFile(thePath);
    const std::string aFailure = "Failed to parse journal file: " + std::string(thePath);
    json::JsonAllocator anAllocator;
    json::JsonObject aDocument;
    if (!json::jsonParse(aText->data(), aText->size(), aDocument, anAllocator))
        throw Error(aFailure);
    std::vector<JournalEntry> anEntries;
    try {
        for (const json::JsonValue& aValue : json::getList(aDocument, "objects")) {
            const json::JsonObject& anObject = json::asObject(aValue);
            JournalEntry anEntry;
            anEntry.itsPackage = json::getString(anObject, "package");
            anEntry.itsName = json::getString(anObject, "name");
            anEntry.itsSuffix = json::getString(anObject, "suffix");
            const std::string aRepair = json::getString(anObject, "repair");
            if (aRepair != kCheckout && aRepair != kRepository)
                throw Error(aFailure);
            anEntry.itsRepair = aRepair == kCheckout ? JournalEntry::Repair::checkout
                                                     : JournalEntry::Repair::repository;
            anEntries.push_back(std::move(anEntry));
        }
    } catch (const Error&) {
        throw Error(aFailure);
    }
    return anEntries;
}

void write(std::string_view thePath, const std::vector<JournalEntry>& theEntries) {
    std::string aText = "{\n\"objects\":[";
    bool aFirst = true;
    for (const JournalEntry& anEntry : theEntries) {
        aText += aFirst ? "\n" : ",\n";
        aFirst = false;
        aText += "{\"package\":\"" + json::escapeJson(anEntry.itsPackage) + "\",\"name\":\"" +
                 json::escapeJson(anEntry.itsName) + "\",\"suffix\":\"" +
                 json::escapeJson(anEntry.itsSuffix) + "\",\"repair\":\"" +
                 std::string(anEntry.itsRepair == JournalEntry::Repair::checkout ? kCheckout
                                                                                 : kRepository) +
                 "\"}";
    }
    aText += "]\n}\n";
    sys::writeFileAtomically(thePath, aText, true);
}

} // namespace RepositoryAccess::journal
