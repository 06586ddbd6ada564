// The repoV2 frame reader on any bytes: a frame is parsed or refused with the program's error,
// never read beyond its end; a parsed frame serialised again parses to the same fields.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>

#include "core/error.hpp"
#include "core/repomessage.hpp"

using namespace RepositoryAccess;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* theData, std::size_t theSize) {
    if (theSize > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
        return 0;
    const auto* aData = reinterpret_cast<const char*>(theData);
    try {
        const RepositoryMessage aMessage =
            RepositoryMessage::parse(aData, static_cast<std::int32_t>(theSize));
        if (!aMessage.getJson())
            std::abort(); // a parsed frame always has its JSON field
        std::vector<MessageSlot> aSlots;
        for (std::size_t i = 0; i < aMessage.getCDataVec().size(); ++i)
            aSlots.push_back({*aMessage.getCDataVec()[i], i < aMessage.getBDataVec().size()
                                                              ? *aMessage.getBDataVec()[i]
                                                              : std::string()});
        const std::string aFrame = RepositoryMessage::serializeSlots(*aMessage.getJson(), aSlots);
        const RepositoryMessage anAgain =
            RepositoryMessage::parse(aFrame.data(), static_cast<std::int32_t>(aFrame.size()));
        if (*anAgain.getJson() != *aMessage.getJson() ||
            anAgain.getCDataVec().size() != aMessage.getCDataVec().size())
            std::abort();
    } catch (const Error&) {
        // A refused frame is the expected answer to most inputs.
    }
    return 0;
}
