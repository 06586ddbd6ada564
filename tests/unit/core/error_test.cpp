#include "core/error.hpp"

#include <gtest/gtest.h>

using RepositoryAccess::Error;

TEST(Error, OuterMessagesComeFirstAndPlacesStayOutOfTheMessages) {
    Error anError("inner");
    anError.addOuter("outer");
    EXPECT_EQ(anError.messages(), (std::vector<std::string>{"outer", "inner"}));
    EXPECT_STREQ(anError.what(), "outer");
    EXPECT_NE(anError.description().find("error_test.cpp"), std::string::npos);
}

TEST(Error, FailedCheckShowsOnlyItsMessage) {
    try {
        KIVO_CHECK(1 + 1 == 3, "Internal error. 1, 2");
        FAIL();
    } catch (const Error& anError) {
        EXPECT_EQ(anError.messages(), std::vector<std::string>{"Internal error. 1, 2"});
        EXPECT_NE(anError.description().find("1 + 1 == 3"), std::string::npos);
    }
}
