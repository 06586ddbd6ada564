// The repoV2 frame reader on any bytes: a frame is parsed or refused with the program's error,
// never read beyond its end; a parsed frame serialised again parses to the same fields.
#include <limits>

#include "core/repomessage.hpp"
#include "tests/fuzz/fuzzing.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* theData, std::size_t theSize) {
    if (theSize > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
        return 0;
    fuzzing::refusedOrRead([&] {
        const RepositoryMessage aMessage = RepositoryMessage::parse(
            reinterpret_cast<const char*>(theData), static_cast<std::int32_t>(theSize));
        fuzzing::require(aMessage.getJson() != nullptr); // a parsed frame has its JSON field
        std::vector<MessageSlot> aSlots;
        for (std::size_t i = 0; i < aMessage.getCDataVec().size(); ++i)
            aSlots.push_back({*aMessage.getCDataVec()[i], i < aMessage.getBDataVec().size()
                                                              ? *aMessage.getBDataVec()[i]
                                                              : std::string()});
        const std::string aFrame = RepositoryMessage::serializeSlots(*aMessage.getJson(), aSlots);
        const RepositoryMessage anAgain =
            RepositoryMessage::parse(aFrame.data(), static_cast<std::int32_t>(aFrame.size()));
        fuzzing::require(*anAgain.getJson() == *aMessage.getJson() &&
                         anAgain.getCDataVec().size() == aMessage.getCDataVec().size());
    });
    return 0;
}
