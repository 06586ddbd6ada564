#include "core/error.hpp"

#include <gtest/gtest.h>

using RepositoryAccess::Error;

// Outer messages come first; the place and the failed condition stay in the description only.
TEST(Error, OuterMessagesComeFirstAndPlacesStayOutOfTheMessages) {
    Error anError("inner");
    anError.addOuter("outer");
    EXPECT_EQ(anError.messages(), (std::vector<std::string>{"outer", "inner"}));
    EXPECT_STREQ(anError.what(), "outer");
    EXPECT_NE(anError.description().find("error_test.cpp"), std::string::npos);
    try {
        KIVO_CHECK(1 + 1 == 3, "Internal error. 1, 2");
        FAIL();
    } catch (const Error& aCheck) {
        EXPECT_EQ(aCheck.messages(), std::vector<std::string>{"Internal error. 1, 2"});
        EXPECT_NE(aCheck.description().find("1 + 1 == 3"), std::string::npos);
    }
}
