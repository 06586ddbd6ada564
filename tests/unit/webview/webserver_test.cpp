#include "webview/webserver.hpp"

#include "core/error.hpp"

#include <gtest/gtest.h>

using namespace RepositoryAccess;
using namespace RepositoryAccess::webview;

TEST(WebServer, ListenAddresses) {
    const ListenAddress anAddress = parseListenAddress("[::1]:0");
    EXPECT_EQ(anAddress.itsHost, "::1");
    EXPECT_EQ(anAddress.itsPort, 0);
    EXPECT_EQ(parseListenAddress(":9000").itsHost, kDefaultHost);
    EXPECT_EQ(parseListenAddress("0.0.0.0:80").itsPort, 80);
    for (const char* aText : {"localhost", "h:70000", "h:", "h:8x", "h:-1"})
        EXPECT_THROW(parseListenAddress(aText), Error) << aText;
}
