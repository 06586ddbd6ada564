#include "core/error.hpp"
#include "core/repomessage.hpp"
#include "tests/support/messages.hpp"

#include <gtest/gtest.h>

using namespace RepositoryAccess;

namespace {

SharedString shared(const std::string& theText) {
    return std::make_shared<const std::string>(theText);
}

std::string failureOf(const std::string& theFrame, std::int32_t theSize = -1) {
    return kivotest::messageOf([&] {
        RepositoryMessage::parse(
            theFrame.data(), theSize < 0 ? static_cast<std::int32_t>(theFrame.size()) : theSize);
    });
}

} // namespace

TEST(RepositoryMessage, RequestFramesAreByteExact) {
    EXPECT_EQ(RepositoryMessage(shared("{}")).serialize(),
              std::string("repoV2\x01\0\0\0\x02\0\0\0{}", 16));
    std::string aFrame =
        RepositoryMessage(shared("{}"), {shared("abc")}, {shared(std::string("\0\xff", 2))})
            .serialize();
    EXPECT_EQ(aFrame.substr(6, 4), std::string("\x05\0\0\0", 4));
    EXPECT_EQ(aFrame.substr(16), std::string("\x03\0\0\0abc\0\0\0\0\0\0\0\0\x02\0\0\0\0\xff", 21));
    EXPECT_EQ(kivotest::messageOf([] { RepositoryMessage().serialize(); }),
              "Invalid Repository message");
}

TEST(RepositoryMessage, ParsedSlotsKeepCDataAndBDataSideBySide) {
    std::string aFrame("repoV2\x03\0\0\0\x02\0\0\0{}\x05\0\0\0hello\0\0\0\0", 29);
    auto aMessage =
        RepositoryMessage::parse(aFrame.data(), static_cast<std::int32_t>(aFrame.size()));
    EXPECT_EQ(*aMessage.getJson(), "{}");
    ASSERT_EQ(aMessage.getCDataVec().size(), 1u);
    ASSERT_EQ(aMessage.getBDataVec().size(), 1u);
    EXPECT_EQ(*aMessage.getCDataVec()[0], "hello");
    EXPECT_EQ(*aMessage.getBDataVec()[0], "");
    std::string aSlots = RepositoryMessage::serializeSlots("{}", {{"c", "bb"}});
    auto aBack = RepositoryMessage::parse(aSlots.data(), static_cast<std::int32_t>(aSlots.size()));
    EXPECT_EQ(*aBack.getCDataVec()[0], "c");
    EXPECT_EQ(*aBack.getBDataVec()[0], "bb");
}

TEST(RepositoryMessage, MalformedFramesFailWithTheirMessages) {
    EXPECT_EQ(kivotest::messageOf([] { RepositoryMessage::parse(nullptr, 20); }),
              "Invalid pointer");
    EXPECT_EQ(failureOf(std::string("repoV2\x01\0\0\0\x00\0\0\0", 14)), "Invalid size: 14");
    EXPECT_EQ(failureOf(std::string("repoV3\x01\0\0\0\x02\0\0\0{}", 16)), "Invalid message");
    EXPECT_EQ(failureOf(std::string("repoV2\0\0\0\0\x02\0\0\0{}", 16)), "No attachment");
    EXPECT_EQ(failureOf(std::string("repoV2\xff\xff\xff\xff\x02\0\0\0{}", 16)), "No attachment");
    // Lengths that point past the received bytes are refused, never followed.
    EXPECT_NE(failureOf(std::string("repoV2\x01\0\0\0\xff\0\0\0{}", 16)).find("runs past"),
              std::string::npos);
    EXPECT_NE(
        failureOf(std::string("repoV2\x03\0\0\0\x02\0\0\0{}\x05\0", 18)).find("Invalid message"),
        std::string::npos);
    std::string aLong("repoV2\x01\0\0\0\x02\0\0\0{}", 16);
    EXPECT_EQ(failureOf(aLong, 10), "Invalid size: 10");
}
