#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace RepositoryAccess {

// An immutable byte string shared between a message and its readers.
using SharedString = std::shared_ptr<const std::string>;

// One attachment slot of a frame: a character-data field and a binary-data field.
struct MessageSlot {
    std::string itsCData;
    std::string itsBData;
};

// The fields of a received frame, read in place: valid as long as the frame's bytes are.
struct MessageView {
    std::string_view itsJson;
    std::vector<std::string_view> itsCData; // one entry per slot, empty ones included
    std::vector<std::string_view> itsBData;
};

// The repoV2 message: a JSON text plus attachment fields. Both directions use the same frame:
// "repoV2", a 32-bit field count, then length-prefixed fields (little-endian lengths); field 0 is
// the JSON, the following fields come in pairs (CDATA, BDATA), one pair per attachment slot.
class RepositoryMessage {
public:
    RepositoryMessage() = default;
    explicit RepositoryMessage(SharedString theJson, std::vector<SharedString> theCDataVec = {},
                               std::vector<SharedString> theBDataVec = {});

    // The JSON text; empty handle when the message has none.
    const SharedString& getJson() const { return itsJson; }
    // The CDATA fields in slot order (for a parsed frame: one entry per slot, empty ones included).
    const std::vector<SharedString>& getCDataVec() const { return itsCDataVec; }
    // The BDATA fields in slot order (for a parsed frame: one entry per slot, empty ones included).
    const std::vector<SharedString>& getBDataVec() const { return itsBDataVec; }

    // Serialises a request: every CDATA attachment as a slot with an empty BDATA field, then
    // every BDATA attachment as a slot with an empty CDATA field. Throws "Invalid Repository
    // message" without JSON and "Invalid buffer position: ..." when the layout does not add up.
    std::string serialize() const;

    // A message of plain texts: theJson and copies of the CDATA and BDATA attachments.
    static RepositoryMessage fromTexts(const std::string& theJson,
                                       const std::vector<std::string>& theCData = {},
                                       const std::vector<std::string>& theBData = {});

    // Serialises a frame whose slots carry both fields side by side (the engine's answers).
    static std::string serializeSlots(std::string_view theJson,
                                      const std::vector<MessageSlot>& theSlots);

    // Parses a received frame of theSize bytes. Never reads outside [theData, theData+theSize);
    // throws RepositoryAccess::Error with the frame failure messages ("Invalid pointer",
    // "Invalid size: <n>", "Invalid message", "No attachment", or a truncation message).
    static RepositoryMessage parse(const char* theData, std::int32_t theSize);
    // The same checks, without copying a field: the engine reads a large attachment where the
    // frame holds it.
    static MessageView view(const char* theData, std::int32_t theSize);

private:
    SharedString itsJson;
    std::vector<SharedString> itsCDataVec;
    std::vector<SharedString> itsBDataVec;
};

} // namespace RepositoryAccess
