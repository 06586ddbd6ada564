#include "core/repomessage.hpp"

#include "core/error.hpp"

#include <cstring>

namespace RepositoryAccess {

namespace {

constexpr char kMagic[] = "repoV2";
constexpr std::size_t kMagicSize = 6;
constexpr std::size_t kHeaderSize = 14;

// A frame is built by appending to a buffer that has reserved its whole size: a large
// attachment is copied once, into memory that nothing has filled before.
std::string reservedBuffer(std::size_t theSize) {
    std::string aBuffer;
    aBuffer.reserve(theSize);
    return aBuffer;
}

void putUint32(std::string& theBuffer, std::size_t& thePosition, std::uint32_t theValue) {
    for (int i = 0; i < 4; ++i)
        theBuffer += static_cast<char>((theValue >> (8 * i)) & 0xFF);
    thePosition += 4;
}

void putBytes(std::string& theBuffer, std::size_t& thePosition, std::string_view theBytes) {
    theBuffer.append(theBytes);
    thePosition += theBytes.size();
}

std::uint32_t getUint32(const char* theData) {
    std::uint32_t aValue = 0;
    for (int i = 3; i >= 0; --i)
        aValue = (aValue << 8) | static_cast<unsigned char>(theData[i]);
    return aValue;
}

void checkPosition(std::size_t thePosition, std::size_t theSize) {
    if (thePosition != theSize)
        throw Error("Invalid buffer position: " + std::to_string(thePosition) +
                    ", buffer size: " + std::to_string(theSize));
}

SharedString share(const char* theData, std::size_t theSize) {
    return std::make_shared<const std::string>(theData, theSize);
}

} // namespace

RepositoryMessage::RepositoryMessage(SharedString theJson, std::vector<SharedString> theCDataVec,
                                     std::vector<SharedString> theBDataVec)
    : itsJson(std::move(theJson)), itsCDataVec(std::move(theCDataVec)),
      itsBDataVec(std::move(theBDataVec)) {}

std::string RepositoryMessage::serialize() const {
    if (!itsJson)
        throw Error("Invalid Repository message");
    const std::size_t aFieldCount = 1 + 2 * (itsCDataVec.size() + itsBDataVec.size());
    std::size_t aSize = kHeaderSize + itsJson->size();
    for (const auto& aData : itsCDataVec)
        aSize += 8 + (aData ? aData->size() : 0);
    for (const auto& aData : itsBDataVec)
        aSize += 8 + (aData ? aData->size() : 0);

    std::string aBuffer = reservedBuffer(aSize);
    std::size_t aPosition = 0;
    putBytes(aBuffer, aPosition, std::string_view(kMagic, kMagicSize));
    putUint32(aBuffer, aPosition, static_cast<std::uint32_t>(aFieldCount));
    putUint32(aBuffer, aPosition, static_cast<std::uint32_t>(itsJson->size()));
    putBytes(aBuffer, aPosition, *itsJson);
    for (const auto& aData : itsCDataVec) {
        std::string_view aBytes = aData ? std::string_view(*aData) : std::string_view();
        putUint32(aBuffer, aPosition, static_cast<std::uint32_t>(aBytes.size()));
        putBytes(aBuffer, aPosition, aBytes);
        putUint32(aBuffer, aPosition, 0);
    }
    for (const auto& aData : itsBDataVec) {
        std::string_view aBytes = aData ? std::string_view(*aData) : std::string_view();
        putUint32(aBuffer, aPosition, 0);
        putUint32(aBuffer, aPosition, static_cast<std::uint32_t>(aBytes.size()));
        putBytes(aBuffer, aPosition, aBytes);
    }
    checkPosition(aPosition, aSize);
    return aBuffer;
}

RepositoryMessage RepositoryMessage::fromTexts(const std::string& theJson,
                                               const std::vector<std::string>& theCData,
                                               const std::vector<std::string>& theBData) {
    auto aShared = [](const std::vector<std::string>& theTexts) {
        std::vector<SharedString> aResult;
        for (const std::string& aText : theTexts)
            aResult.push_back(std::make_shared<const std::string>(aText));
        return aResult;
    };
    return RepositoryMessage(std::make_shared<const std::string>(theJson), aShared(theCData),
                             aShared(theBData));
}

std::string RepositoryMessage::serializeSlots(std::string_view theJson,
                                              const std::vector<MessageSlot>& theSlots) {
    std::size_t aSize = kHeaderSize + theJson.size();
    for (const auto& aSlot : theSlots)
        aSize += 8 + aSlot.itsCData.size() + aSlot.itsBData.size();
    std::string aBuffer = reservedBuffer(aSize);
    std::size_t aPosition = 0;
    putBytes(aBuffer, aPosition, std::string_view(kMagic, kMagicSize));
    putUint32(aBuffer, aPosition, static_cast<std::uint32_t>(1 + 2 * theSlots.size()));
    putUint32(aBuffer, aPosition, static_cast<std::uint32_t>(theJson.size()));
    putBytes(aBuffer, aPosition, theJson);
    for (const auto& aSlot : theSlots) {
        putUint32(aBuffer, aPosition, static_cast<std::uint32_t>(aSlot.itsCData.size()));
        putBytes(aBuffer, aPosition, aSlot.itsCData);
        putUint32(aBuffer, aPosition, static_cast<std::uint32_t>(aSlot.itsBData.size()));
        putBytes(aBuffer, aPosition, aSlot.itsBData);
    }
    checkPosition(aPosition, aSize);
    return aBuffer;
}

MessageView RepositoryMessage::view(const char* theData, std::int32_t theSize) {
    if (theData == nullptr)
        throw Error("Invalid pointer");
    if (theSize < 15)
        throw Error("Invalid size: " + std::to_string(theSize));
    const std::size_t aSize = static_cast<std::size_t>(theSize);
    if (std::memcmp(theData, kMagic, kMagicSize) != 0)
        throw Error("Invalid message");
    const auto aFieldCount = static_cast<std::int32_t>(getUint32(theData + 6));
    if (aFieldCount <= 0)
        throw Error("No attachment");

    // Reads one length-prefixed field at thePosition, refusing any byte beyond the frame.
    std::size_t aPosition = 10;
    auto aReadField = [&](std::int32_t theField) {
        if (aSize - aPosition < 4)
            throw Error("Invalid message: field " + std::to_string(theField) +
                        " has no length within the " + std::to_string(aSize) + " bytes received");
        const std::size_t aLength = getUint32(theData + aPosition);
        aPosition += 4;
        if (aSize - aPosition < aLength)
            throw Error("Invalid message: field " + std::to_string(theField) + " of " +
                        std::to_string(aLength) + " bytes runs past the " + std::to_string(aSize) +
                        " bytes received");
        const std::string_view aField(theData + aPosition, aLength);
        aPosition += aLength;
        return aField;
    };

    MessageView aView;
    aView.itsJson = aReadField(0);
    for (std::int32_t k = 1; k < aFieldCount; ++k)
        (k % 2 == 1 ? aView.itsCData : aView.itsBData).push_back(aReadField(k));
    return aView;
}

RepositoryMessage RepositoryMessage::parse(const char* theData, std::int32_t theSize) {
    const MessageView aView = view(theData, theSize);
    RepositoryMessage aMessage;
    aMessage.itsJson = share(aView.itsJson.data(), aView.itsJson.size());
    for (std::string_view aField : aView.itsCData)
        aMessage.itsCDataVec.push_back(share(aField.data(), aField.size()));
    for (std::string_view aField : aView.itsBData)
        aMessage.itsBDataVec.push_back(share(aField.data(), aField.size()));
    return aMessage;
}

} // namespace RepositoryAccess
