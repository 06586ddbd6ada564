#pragma once

#include <string>
#include <vector>

#include "core/json.hpp"
#include "core/repomessage.hpp"

namespace RepositoryAccess {

class ResponseReader;

// The common part of every response: the received message, its parsed JSON and the error
// triple. Derived classes read their own members after this constructor; whether the code means
// success is decided by the function that sent the request.
class RepositoryResponse {
public:
    // Parses the JSON ("Could not parse response:\n<json>\n" on failure), reads "error-code"
    // (default "0"), "error-msg" and "error-arg" (default ""), and echoes the JSON with
    // `jsonResponse`.
    RepositoryResponse(RepositoryMessage theMessage, std::string theClassName);
    virtual ~RepositoryResponse() = default;
    RepositoryResponse(const RepositoryResponse&) = delete;
    RepositoryResponse& operator=(const RepositoryResponse&) = delete;

    const std::string& getErrorCode() const { return itsErrorCode; }
    const std::string& getErrorMsg() const { return itsErrorMsg; }
    const std::string& getErrorArg() const { return itsErrorArg; }
    const std::string& getClassName() const { return itsClassName; }

    // The attachment fields by slot; fail with "Empty CDATA" / "Empty BDATA" when there are none.
    const std::vector<SharedString>& getCData() const;
    const std::vector<SharedString>& getBData() const;

    const json::JsonObject& jsonObject() const { return itsJsonObject; }
    const RepositoryMessage& message() const { return itsMessage; }

    // The JSON text with which simulation mode answers a write request locally.
    static const std::string& simulatedAnswer();

protected:
    // True when the error code is "0": a response read after an error keeps missing members at
    // their defaults instead of failing, so that the caller can report the server's triple.
    bool isSuccess() const { return itsErrorCode == "0"; }
    // A reader of the top-level members: strict for a real answer with error code "0", lenient
    // for an answer that reports an error and for the local answer of simulation mode.
    ResponseReader reader() const;

private:
    std::string itsClassName;
    RepositoryMessage itsMessage;
    json::JsonAllocator itsJsonAllocator;
    json::JsonObject itsJsonObject;
    std::string itsErrorCode;
    std::string itsErrorMsg;
    std::string itsErrorArg;
};

} // namespace RepositoryAccess
