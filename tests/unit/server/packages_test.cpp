#include "tests/unit/server/enginetestsupport.hpp"

#include <gtest/gtest.h>

using namespace enginetest;

namespace {

class EnginePackages : public ::testing::Test, public EngineFixture {
protected:
    std::unique_ptr<Reply> remove(const std::string& thePackage, const std::string& theRecursive,
                                  const std::string& theIgnoreInactive = "0") {
        return request("ALICE", "delete", "package",
                       R"("package":")" + thePackage + R"(","ignoreInactiveObjects":")" +
                           theIgnoreInactive + R"(","recursively":")" + theRecursive + "\"");
    }
    std::string exists(const std::string& thePackage) {
        return request("ALICE", "exists", "package", R"("package":")" + thePackage + "\"")
            ->get("exists");
    }
};

} // namespace

TEST_F(EnginePackages, CreatingAPackageCreatesItsAncestorsAndInheritsOnRequest) {
    auto aCreate = call(
        "ALICE",
        R"({"action":"create","what":"package","package":"a","responsible":"ALICE","delivery_unit":"DU","du_vendor":"acme","structural":"1","inherit":"0"})");
    ASSERT_EQ(aCreate->code(), "0");
    createPackage(R"(a.b.\"c.d\")");
    EXPECT_EQ(exists("a.b"), "true");
    auto aRead = readPackage("a.b");
    EXPECT_EQ(aRead->get("structural"), "0");
    EXPECT_EQ(aRead->get("src_system"), "ZEV");
    EXPECT_EQ(aRead->get("responsible"), "");

    call("ALICE", R"({"action":"create","what":"package","package":"a.x","inherit":"1"})");
    auto anInherited = readPackage("a.x");
    EXPECT_EQ(anInherited->get("responsible"), "ALICE");
    EXPECT_EQ(anInherited->get("du_vendor"), "acme");
    EXPECT_EQ(anInherited->get("structural"), "0");

    auto aGlob =
        call("ALICE", R"({"action":"list","what":"packages","package":"a.*","du_vendor":"acme"})");
    ASSERT_EQ(aGlob->list("packages").size(), 1u);
    EXPECT_EQ(getString(asObject(aGlob->list("packages")[0]), "package"), "a.x");
}

TEST_F(EnginePackages, DeletionIsRefusedForNonEmptyPackagesUnlessRecursive) {
    createPackage("a.b.c");
    EXPECT_EQ(remove("a", "0")->code(), "40114");
    write("ALICE", object("a.b.c", "x", "txt"), "x");
    EXPECT_EQ(remove("a.b.c", "0")->code(), "40114") << "inactive objects count";
    EXPECT_EQ(remove("a.b.c", "0", "1")->code(), "0");
    EXPECT_EQ(exists("a.b.c"), "false");

    createPackage("a.b.c");
    write("ALICE", object("a.b.c", "y", "txt"), "y");
    activate("ALICE", {object("a.b.c", "y", "txt")});
    EXPECT_EQ(remove("a.b.c", "0", "1")->code(), "40114") << "active objects always count";
    EXPECT_EQ(remove("a", "1")->code(), "0");
    EXPECT_EQ(exists("a.b"), "false");
    EXPECT_EQ(activeMetadata(object("a.b.c", "y", "txt"))->code(), "40132");
    EXPECT_EQ(call("ALICE", R"({"action":"list","what":"packages","package":""})")
                  ->list("packages")
                  .size(),
              0u);
}

// Every name that a client would refuse to check out is refused when written, so that no user
// can stop the checkouts of a package for everybody.
TEST_F(EnginePackages, NamesNoWorkspaceCanHoldAreRefusedOnWrite) {
    const std::string aLong(300, 'n');
    for (const std::string& aPackage :
         {std::string(R"(\"._SYS_KIVO_settings\")"), std::string(R"(\"._SYS_KIVO_settings\".x)"),
          std::string(R"(a.back\\slash)"), "a." + aLong, std::string("a.")}) {
        auto aReply =
            call("ALICE", R"({"action":"create","what":"package","package":")" + aPackage + "\"}");
        EXPECT_EQ(aReply->code(), "40130") << aPackage;
        EXPECT_TRUE(aReply->get("error-msg").starts_with("Invalid package name"))
            << aReply->get("error-msg");
    }
    createPackage("a");
    for (const auto& [aName, aSuffix] : std::vector<std::pair<std::string, std::string>>{
             {R"(back\\slash)", "txt"}, {aLong, "txt"}, {"x", "t:y"}, {"..", "txt"}}) {
        auto aReply = write("ALICE", object("a", aName, aSuffix), "content");
        EXPECT_EQ(aReply->code(), "40130") << aName;
        EXPECT_TRUE(aReply->get("error-msg").starts_with("Invalid repository object"))
            << aReply->get("error-msg");
    }
    EXPECT_EQ(write("ALICE", object("a", std::string(196, 'n'), "txt"), "ok")->code(), "0");
}
