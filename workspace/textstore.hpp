#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <type_traits>
#include <vector>

namespace RepositoryAccess {

// Texts (and small objects) that live as long as the store: written into large blocks that never
// move and are freed only together, so that views of them stay valid. The status file of a large
// tree keeps its hundred thousand names, hashes, times and map nodes here with one allocation per
// block instead of four per entry; what is replaced stays behind until the store ends. A store
// that grows large takes its blocks in huge pages where the system offers them: one page fault
// then serves 2 MiB instead of 4 KiB.
class TextStore {
public:
    TextStore() = default;
    ~TextStore();
    TextStore(const TextStore&) = delete;
    TextStore& operator=(const TextStore&) = delete;
    TextStore(TextStore&& theOther) noexcept;
    TextStore& operator=(TextStore&& theOther) noexcept;

    std::string_view keep(std::string_view theText);
    // Room for a text of theSize bytes that the caller fills in before viewing it.
    char* allocate(std::size_t theSize) { return allocateAligned(theSize, 1); }
    // Room for an object of theSize bytes; theAlignment is a power of two, at most 16.
    char* allocateAligned(std::size_t theSize, std::size_t theAlignment) {
        const std::size_t aPad =
            (0 - reinterpret_cast<std::uintptr_t>(itsNext)) & (theAlignment - 1);
        if (aPad + theSize > itsLeft)
            return allocateInNewBlock(theSize);
        char* aText = itsNext + aPad;
        itsNext = aText + theSize;
        itsLeft -= aPad + theSize;
        return aText;
    }

private:
    struct Block {
        char* itsData;
        std::size_t itsSize;
        bool itsMapped; // taken from the system directly (huge pages), not from the heap
    };

    char* allocateInNewBlock(std::size_t theSize);
    Block newBlock(std::size_t theSize);
    void release();

    std::vector<Block> itsBlocks;
    std::size_t itsTotal = 0;
    char* itsNext = nullptr;
    std::size_t itsLeft = 0;
};

// Gives a container its memory from a text store and never back: a map that is built once and
// changed a little then costs no allocation per node.
template <class T> class StoreAllocator {
public:
    using value_type = T;
    using propagate_on_container_copy_assignment = std::true_type;
    using propagate_on_container_move_assignment = std::true_type;
    using propagate_on_container_swap = std::true_type;

    explicit StoreAllocator(TextStore& theStore) : itsStore(&theStore) {}
    template <class U>
    StoreAllocator(const StoreAllocator<U>& theOther) : itsStore(theOther.store()) {}

    T* allocate(std::size_t theCount) {
        static_assert(alignof(T) <= 16);
        return reinterpret_cast<T*>(itsStore->allocateAligned(theCount * sizeof(T), alignof(T)));
    }
    void deallocate(T*, std::size_t) noexcept {}

    TextStore* store() const { return itsStore; }
    template <class U> bool operator==(const StoreAllocator<U>& theOther) const {
        return itsStore == theOther.store();
    }

private:
    TextStore* itsStore;
};

} // namespace RepositoryAccess
