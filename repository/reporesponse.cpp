#include "repository/reporesponse.hpp"

#include "core/console.hpp"
#include "core/error.hpp"
#include "core/parameters.hpp"
#include "repository/respreader.hpp"

namespace RepositoryAccess {

RepositoryResponse::RepositoryResponse(RepositoryMessage theMessage, std::string theClassName)
    : itsClassName(std::move(theClassName)), itsMessage(std::move(theMessage)) {
    const std::string anEmpty;
    const std::string& aJson = itsMessage.getJson() ? *itsMessage.getJson() : anEmpty;
    if (!json::jsonParse(aJson.data(), aJson.size(), itsJsonObject, itsJsonAllocator))
        throw Error("Could not parse response:\n" + aJson + "\n");
    const ResponseReader aReader(itsJsonObject, false);
    itsErrorArg = aReader.optional("error-arg", "");
    itsErrorCode = aReader.optional("error-code", "0");
    itsErrorMsg = aReader.optional("error-msg", "");
    if (isSet(params::jsonResponse))
        console::sayLine("<---------- JSON response: " + itsClassName + "\n" + aJson +
                         "\nJSON response: " + itsClassName + " ---------->");
}

const std::string& RepositoryResponse::simulatedAnswer() {
    static const std::string anAnswer =
        R"({"error-arg":"", "error-code":"0", "error-msg":"No error"})";
    return anAnswer;
}

ResponseReader RepositoryResponse::reader() const {
    const bool aSimulated = itsMessage.getJson() && *itsMessage.getJson() == simulatedAnswer();
    return ResponseReader(itsJsonObject, isSuccess() && !aSimulated);
}

const std::vector<SharedString>& RepositoryResponse::getCData() const {
    if (itsMessage.getCDataVec().empty())
        throw Error("Empty CDATA");
    return itsMessage.getCDataVec();
}

const std::vector<SharedString>& RepositoryResponse::getBData() const {
    if (itsMessage.getBDataVec().empty())
        throw Error("Empty BDATA");
    return itsMessage.getBDataVec();
}

} // namespace RepositoryAccess
