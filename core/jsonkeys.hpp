#pragma once

// What one parse remembers of its object keys: a short key is stored once and shared by every
// member that has it, and the order of an object's keys after sorting is remembered by their
// shared addresses, so that the many objects of a response with the same keys in the same order
// are stored without sorting each. Not part of the JSON interface.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "core/json.hpp"

namespace RepositoryAccess::json {

class JsonKeyTable {
public:
    explicit JsonKeyTable(JsonAllocator& theAllocator) : itsAllocator(theAllocator) {}
    JsonKeyTable(const JsonKeyTable&) = delete;
    JsonKeyTable& operator=(const JsonKeyTable&) = delete;

    // The theSize bytes at theText (a key without escapes) in the allocator; a short key that
    // this parse stored before is shared.
    std::string_view intern(const char* theText, std::size_t theSize);

    // theMembers (theCount of them, in text order) stored in the allocator sorted by key, of
    // equal keys the last.
    std::span<const JsonMember> store(JsonMember* theMembers, std::size_t theCount);

private:
    static constexpr std::size_t kShapeMaxCount = 24;
    static constexpr std::size_t kShapeCount = 8;
    struct Shape {
        std::size_t itsCount = 0; // 0: unused
        std::size_t itsKept = 0;
        const char* itsKeys[kShapeMaxCount];
        std::size_t itsKeySizes[kShapeMaxCount];
        std::uint8_t itsOrder[kShapeMaxCount]; // indexes of the kept members in key order
    };

    static constexpr std::size_t kInternMaxKeySize = 32;
    static constexpr std::size_t kInternSlotCount = 256; // a power of two
    static constexpr std::size_t kInternMaxCount = kInternSlotCount / 2;
    struct InternSlot {
        const char* itsData;
        std::uint32_t itsSize;
        std::uint32_t itsHash;
    };

    std::string_view copy(const char* theText, std::size_t theSize);
    static void learnShape(Shape& theShape, const JsonMember* theMembers, std::size_t theCount);

    JsonAllocator& itsAllocator;
    // Shared short keys (open addressing) and remembered key orders.
    InternSlot itsInternSlots[kInternSlotCount] = {};
    std::size_t itsInternCount = 0;
    Shape itsShapes[kShapeCount];
};

} // namespace RepositoryAccess::json
