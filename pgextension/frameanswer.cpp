#include "pgextension/frameanswer.hpp"

#include "core/error.hpp"
#include "core/json.hpp"
#include "core/repomessage.hpp"

#include <climits>
#include <vector>

namespace RepositoryAccess::pgextension {

namespace {

constexpr const char* kInvalidRequest = "40130";
constexpr const char* kNotSupported = "not supported by this repository";

std::string errorFrame(std::string_view theMessage) {
    std::string aJson = std::string("{\"error-code\":\"") + kInvalidRequest +
                        "\",\"error-msg\":\"" + json::escapeJson(theMessage) +
                        "\",\"error-arg\":\"\"}";
    return RepositoryMessage::serializeSlots(aJson, {});
}

} // namespace

std::string answerFrame(std::string_view theFrame, [[maybe_unused]] const std::string& theCaller) {
    if (theFrame.size() > static_cast<std::size_t>(INT_MAX))
        return errorFrame("Invalid size: " + std::to_string(theFrame.size()));
    try {
        RepositoryMessage::parse(theFrame.data(), static_cast<std::int32_t>(theFrame.size()));
    } catch (const Error& anError) {
        return errorFrame(anError.what());
    }
    return errorFrame(kNotSupported);
}

} // namespace RepositoryAccess::pgextension
