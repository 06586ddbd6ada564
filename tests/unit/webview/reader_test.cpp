#include "webview/reader.hpp"

#include "repoadmin/repositorytarget.hpp"
#include "server/engine.hpp"
#include "tests/unit/server/enginetestsupport.hpp"

#include <gtest/gtest.h>

using namespace RepositoryAccess;
using webview::MissingPage;
using webview::RepositoryReader;

namespace {

class ReaderTest : public ::testing::Test {
protected:
    ReaderTest() {
        itsFixture.addUsers({"DEV"});
        itsFixture.createPackage("acme");
        itsFixture.write("DEV", enginetest::object("acme", "a", "txt"), "v1\n");
        itsFixture.activate("DEV", {enginetest::object("acme", "a", "txt")});
    }
    RepositoryReader reader() {
        return RepositoryReader(server::makeTarget(itsFixture.path())->openReadOnly());
    }
    enginetest::EngineFixture itsFixture;
};

} // namespace

// Reads answer; what the repository lacks is a missing page; a request that would write is
// never sent, and the engine's connection refuses writes even if one were.
TEST_F(ReaderTest, ReadsOnlyAndNeverWrites) {
    RepositoryReader aReader = reader();
    auto anAnswer = aReader.read("DEV", "read", "object",
                                 R"("session":{"sessionType":"1"},"object":)" +
                                     enginetest::object("acme", "a", "txt"));
    EXPECT_EQ(anAnswer->slot(0), "v1\n");
    EXPECT_THROW(aReader.read("DEV", "get", "history",
                              R"("object":)" + enginetest::object("acme", "nope", "txt")),
                 MissingPage);
    EXPECT_THROW(aReader.read("DEV", "create", "package", R"("package":"x","description":"")"),
                 Error);
    auto apEngine = server::makeTarget(itsFixture.path())->openReadOnly();
    const std::string aCreate =
        R"({"action":"create","what":"package","package":"x","description":"","inherit":"0"})";
    EXPECT_THROW(apEngine->call("DEV", enginetest::requestFrame(aCreate)), Error);
    EXPECT_EQ(itsFixture.call("DEV", R"({"action":"exists","what":"package","package":"x"})")
                  ->get("exists"),
              "false");
}

// The activity is every activation of every object, a page at a time.
TEST_F(ReaderTest, ActivityComesInPages) {
    itsFixture.write("DEV", enginetest::object("acme", "b", "txt"), "b\n");
    itsFixture.activate("DEV", {enginetest::object("acme", "b", "txt")});
    RepositoryReader aReader = reader();
    EXPECT_EQ(aReader.recentActivity(0, 10).size(), 2u);
    EXPECT_EQ(aReader.recentActivity(1, 10).size(), 1u);
    EXPECT_EQ(aReader.recentActivity(2, 10).size(), 0u);
}
