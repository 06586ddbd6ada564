#include "core/version.hpp"

#include <gtest/gtest.h>

#include "core/error.hpp"
#include "tests/support/messages.hpp"

using RepositoryAccess::Version;
namespace version = RepositoryAccess::version;

TEST(Version, ParsesLeadingDigitsOfExactlyThreeParts) {
    EXPECT_EQ(version::parseVersion("0001.0010.0000"), (Version{1, 10, 0}));
    EXPECT_EQ(version::parseVersion(" 12x.3.-4"), (Version{12, 3, -4}));
    EXPECT_EQ(version::parseVersion("..+7"), (Version{0, 0, 7}));
    EXPECT_EQ(version::parseVersion("99999999999.-99999999999.1"),
              (Version{2147483647, -2147483647 - 1, 1}));
    EXPECT_EQ(version::formatVersion({1, 10, 0}), "1.10.0");
    for (const std::string aBad : {"1.2", "1.2.3.4", "", "1.2.3."})
        EXPECT_EQ(kivotest::messageOf([&] { version::parseVersion(aBad); }),
                  "Bad version: " + aBad +
                      ", expected version of the format: "
                      "[0-9][0-9][0-9][0-9].[0-9][0-9][0-9][0-9].[0-9][0-9][0-9][0-9]");
}
