#include "core/arena.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace RepositoryAccess {
namespace {

std::string textNumber(int theNumber) {
    return "text " + std::to_string(theNumber) +
           std::string(static_cast<std::size_t>(theNumber % 50), '.');
}

// Texts kept across many blocks (past the size where blocks come in huge pages), a text larger
// than a block, and an arena that is moved: every view still reads its own bytes.
TEST(Arena, ViewsStayValidAcrossBlocksAndMoves) {
    Arena anArena(true);
    std::vector<std::string_view> aViews;
    for (int i = 0; i < 200000; ++i)
        aViews.push_back(anArena.keep(textNumber(i)));
    const std::string aLarge(3 * 1024 * 1024, 'L');
    const std::string_view aLargeView = anArena.keep(aLarge);
    EXPECT_TRUE(anArena.keep("").empty());
    Arena aMoved(std::move(anArena));
    Arena anAssigned;
    anAssigned.keep("replaced by the assignment");
    anAssigned = std::move(aMoved);
    for (int i = 0; i < 200000; i += 997)
        ASSERT_EQ(aViews[static_cast<std::size_t>(i)], textNumber(i));
    EXPECT_EQ(aLargeView, aLarge);
    EXPECT_EQ(aViews.back(), textNumber(199999));
}

// A map whose nodes come from the arena: aligned nodes, erasing and inserting again, and the
// arena's texts as keys.
TEST(Arena, MapNodesComeFromTheArena) {
    Arena anArena;
    using Map = std::map<std::string_view, std::int64_t, std::less<>,
                         ArenaAllocator<std::pair<const std::string_view, std::int64_t>>>;
    Map aMap{Map::allocator_type(anArena)};
    for (int i = 0; i < 50000; ++i) {
        anArena.keep("x"); // texts between the nodes leave them unaligned unless the arena aligns
        const auto anEntry = aMap.emplace(anArena.keep(textNumber(i)), i).first;
        ASSERT_EQ(reinterpret_cast<std::uintptr_t>(&anEntry->second) % alignof(std::int64_t), 0u);
    }
    for (int i = 0; i < 50000; i += 2)
        aMap.erase(textNumber(i));
    aMap.emplace(anArena.keep(textNumber(4)), -4);
    EXPECT_EQ(aMap.size(), 25001u);
    EXPECT_EQ(aMap.find(textNumber(4))->second, -4);
    EXPECT_EQ(aMap.find(textNumber(49999))->second, 49999);
    EXPECT_EQ(aMap.count(textNumber(6)), 0u);
}

} // namespace
} // namespace RepositoryAccess
