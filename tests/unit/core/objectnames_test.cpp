#include "core/objectnames.hpp"

#include <gtest/gtest.h>

namespace names = RepositoryAccess::objectnames;

namespace {

std::string problemOf(std::string_view thePackage) {
    return names::packageDirectory(thePackage).itsProblem;
}

bool objectRefused(std::string_view theName, std::string_view theSuffix) {
    return !names::objectProblem("p.x", theName, theSuffix).empty();
}

} // namespace

TEST(ObjectNames, PlainNamesStayInsideTheirDirectory) {
    EXPECT_TRUE(names::isPlainName("test.txt"));
    EXPECT_TRUE(names::isPlainName("..x"));
    for (std::string_view aBad : {"", ".", "..", "a/b", "a\\b", "C:", "/etc"})
        EXPECT_FALSE(names::isPlainName(aBad)) << aBad;
    EXPECT_FALSE(names::isPlainName(std::string_view("a\0b", 3)));
    EXPECT_EQ(names::stripQuotes("\"a.b\""), "a.b");
    EXPECT_EQ(names::stripQuotes("\"\""), "\"\"");
    EXPECT_EQ(names::stripQuotes("\"a"), "\"a");
}

TEST(ObjectNames, PackagesBecomeDirectoriesOrSayWhyNot) {
    EXPECT_EQ(names::packageDirectory("a.\"b.c\".d").itsDirectory, "a/b.c/d");
    EXPECT_EQ(names::packageDirectory("").itsDirectory, "");
    EXPECT_EQ(problemOf("\"._SYS_KIVO_settings\".x"),
              "Invalid package name \"\"._SYS_KIVO_settings\".x\": the part "
              "\"._SYS_KIVO_settings\" is the settings folder of the workspace.");
    EXPECT_TRUE(problemOf("x._SYS_KIVO_settings").empty()) << "only as the first part";
    EXPECT_EQ(problemOf("a."), "Invalid package name \"a.\": the part \"\" is not a valid "
                               "directory name (empty, \".\", \"..\", a drive, or holding \"/\", "
                               "\"\\\" or a NUL byte).");
    EXPECT_EQ(problemOf("a.\"b"), "Invalid package name \"a.\"b\": Unclosed quote: \"b");
    EXPECT_TRUE(problemOf("a.b\\c").starts_with("Invalid package name")) << problemOf("a.b\\c");

    const std::string aLongest(names::kLongestName, 'p');
    EXPECT_TRUE(problemOf("a." + aLongest).empty());
    EXPECT_EQ(problemOf("a." + aLongest + "p"), "Invalid package name \"a." + aLongest +
                                                    "p\": the part \"" + aLongest +
                                                    "p\" is longer than 200 bytes.");
    std::string aDeep = aLongest;
    while (aDeep.size() <= names::kLongestPackage)
        aDeep += "." + aLongest;
    EXPECT_EQ(problemOf(aDeep),
              "Invalid package name \"" + aDeep + "\": it is longer than 1000 bytes.");
    EXPECT_EQ(names::packageDirectory(aDeep).itsDirectory, "");
}

TEST(ObjectNames, ObjectsMustFormAPlainFileName) {
    EXPECT_FALSE(objectRefused("Order", "txt"));
    EXPECT_FALSE(objectRefused("", "kivoignore"));
    EXPECT_FALSE(objectRefused("..x", "t"));
    EXPECT_FALSE(objectRefused("x$(touch y)", "txt"));
    for (const auto& [aName, aSuffix] :
         std::vector<std::pair<std::string, std::string>>{{"", ""},
                                                          {".", ""},
                                                          {"..", "txt"},
                                                          {"back\\slash", "txt"},
                                                          {"x", "t/../../z"},
                                                          {std::string("x\0", 2), "t"},
                                                          {"a:b", "txt"},
                                                          {"a", "t|x"},
                                                          {"a<b", ""}})
        EXPECT_TRUE(objectRefused(aName, aSuffix)) << aName << "." << aSuffix;
    const std::string aName(names::kLongestName - 4, 'n');
    EXPECT_FALSE(objectRefused(aName, "txt"));
    EXPECT_TRUE(objectRefused(aName + "n", "txt"));
    EXPECT_EQ(names::objectProblem("p.a\\b.txt", "a\\b", "txt"),
              "Invalid repository object \"p.a\\b.txt\": its name and suffix must form a plain "
              "file name of at most 200 bytes (not \".\" or \"..\", without \"/\", \"\\\", a NUL "
              "byte or any of \",^:?<>|\").");
}
