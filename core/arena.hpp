#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <type_traits>

namespace RepositoryAccess {

// Memory handed out from large blocks that never move and are freed only together: the nodes of
// a parsed document, or the hundred thousand names, hashes and times of a status file, cost one
// allocation per block instead of one each. Blocks start small (most documents are small) and
// double up to 4 MiB; something larger than half a block gets a block of its own. Not copyable;
// moving keeps every block where it is. Used by one thread at a time.
class Arena {
public:
    // With theHugePages, blocks of 2 MiB and more are taken from the system with the advice to
    // back them with huge pages, so that one page fault serves 2 MiB instead of 4 KiB: for
    // arenas that fill their blocks (a status file, a large scan). A short-lived arena that
    // seldom fills a large block (a parsed answer) is faster without.
    explicit Arena(bool theHugePages = false) : itsHugePages(theHugePages) {}
    ~Arena();
    Arena(const Arena&) = delete;
    Arena& operator=(const Arena&) = delete;
    Arena(Arena&& theOther) noexcept;
    Arena& operator=(Arena&& theOther) noexcept;

    // Raw storage, freed with the arena. theAlign must be a power of two.
    void* allocate(std::size_t theSize, std::size_t theAlign) {
        const auto aPos = reinterpret_cast<std::uintptr_t>(itsCurrent);
        const std::uintptr_t aStart = (aPos + (theAlign - 1)) & ~std::uintptr_t(theAlign - 1);
        if (itsCurrent != nullptr && aStart + theSize <= reinterpret_cast<std::uintptr_t>(itsEnd)) {
            itsCurrent = reinterpret_cast<char*>(aStart + theSize);
            return reinterpret_cast<void*>(aStart);
        }
        return allocateInNewBlock(theSize, theAlign);
    }

    // A copy of the text that lives as long as the arena.
    std::string_view keep(std::string_view theText);

    // Gives back the tail of the most recent allocation (it shrinks from theOldSize to
    // theNewSize).
    void shrinkLast(void* theBlock, std::size_t theOldSize, std::size_t theNewSize) {
        if (static_cast<char*>(theBlock) + theOldSize == itsCurrent)
            itsCurrent = static_cast<char*>(theBlock) + theNewSize;
    }

    // Bytes reserved from the system so far, for diagnostics and tests.
    std::size_t bytesReserved() const { return itsBytesReserved; }

private:
    void* allocateInNewBlock(std::size_t theSize, std::size_t theAlign);
    void release() noexcept;

    struct Block;
    Block* itsBlocks = nullptr;
    char* itsCurrent = nullptr;
    char* itsEnd = nullptr;
    std::size_t itsNextBlockSize = 0;
    std::size_t itsBytesReserved = 0;
    bool itsHugePages = false;
};

// Gives a container its memory from an arena and never back: a map that is built once and
// changed a little then costs no allocation per node.
template <class T> class ArenaAllocator {
public:
    using value_type = T;
    using propagate_on_container_copy_assignment = std::true_type;
    using propagate_on_container_move_assignment = std::true_type;
    using propagate_on_container_swap = std::true_type;

    explicit ArenaAllocator(Arena& theArena) : itsArena(&theArena) {}
    template <class U>
    ArenaAllocator(const ArenaAllocator<U>& theOther) : itsArena(theOther.arena()) {}

    T* allocate(std::size_t theCount) {
        return static_cast<T*>(itsArena->allocate(theCount * sizeof(T), alignof(T)));
    }
    void deallocate(T*, std::size_t) noexcept {}

    Arena* arena() const { return itsArena; }
    template <class U> bool operator==(const ArenaAllocator<U>& theOther) const {
        return itsArena == theOther.arena();
    }

private:
    Arena* itsArena;
};

} // namespace RepositoryAccess
