#include "core/error.hpp"

#include <utility>

namespace RepositoryAccess {

namespace {

std::string placeOf(const SourcePlace& theWhere) {
    return std::string(theWhere.file_name()) + ":" + std::to_string(theWhere.line()) + " (" +
           theWhere.function_name() + ")";
}

} // namespace

Error::Error(std::string theMessage, SourcePlace theWhere) {
    itsEntries.push_back({std::move(theMessage), placeOf(theWhere)});
}

Error Error::internal(const char* theExpression, std::string theMessage, SourcePlace theWhere) {
    Error anError(std::move(theMessage), theWhere);
    anError.itsEntries.front().itsPlace += " check failed: " + std::string(theExpression);
    return anError;
}

Error& Error::addOuter(std::string theMessage, SourcePlace theWhere) {
    itsEntries.insert(itsEntries.begin(), {std::move(theMessage), placeOf(theWhere)});
    return *this;
}

std::vector<std::string> Error::messages() const {
    std::vector<std::string> aTexts;
    aTexts.reserve(itsEntries.size());
    for (const auto& anEntry : itsEntries)
        aTexts.push_back(anEntry.itsText);
    return aTexts;
}

std::string Error::description() const {
    std::string aText;
    for (const auto& anEntry : itsEntries)
        aText += anEntry.itsText + "\n    at " + anEntry.itsPlace + "\n";
    return aText;
}

const char* Error::what() const noexcept {
    return itsEntries.front().itsText.c_str();
}

} // namespace RepositoryAccess
