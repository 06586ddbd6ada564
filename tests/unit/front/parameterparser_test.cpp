#include "front/parameterparser.hpp"

#include <gtest/gtest.h>

#include "core/error.hpp"
#include "tests/support/messages.hpp"
#include "tests/unit/workspace/workspacefixture.hpp"

using namespace RepositoryAccess;

namespace {

ParameterValues parse(std::vector<std::string> theArguments) {
    return parameterparser::parseCommandLine(theArguments);
}

std::string failureOf(std::vector<std::string> theArguments) {
    return kivotest::messageOf([&] { parse(std::move(theArguments)); });
}

using wstest::ScopedEnv;

} // namespace

// Sorted without duplicates (the lookup bisects it), and looked up without regard to case.
TEST(ParameterTable, HoldsEveryParameterAndAliasOnce) {
    const auto& aMap = parameterparser::parameterMap();
    for (std::size_t i = 1; i < aMap.size(); ++i)
        EXPECT_LT(aMap[i - 1].first, aMap[i].first) << "duplicate or unsorted key";
    EXPECT_EQ(parameterparser::lookupParameter("ActivationMode"), params::activationMode);
    EXPECT_EQ(parameterparser::lookupParameter("HO"), params::historicalObject);
    EXPECT_EQ(kivotest::messageOf([] { parameterparser::lookupParameter("nosuch"); }),
              "The parameter: nosuch is not supported");
}

TEST(CommandLine, AcceptsTheThreeOptionForms) {
    auto aValues = parse({"--activationmode=4", "--with=a=b", "--key=", "-v", "--noTips", "-t"});
    EXPECT_EQ(aValues.getValue(params::activationMode), "4");
    EXPECT_EQ(aValues.getValue(params::with), "a=b");
    EXPECT_TRUE(aValues.isSet(params::key));
    EXPECT_EQ(aValues.getValue(params::key), "");
    for (const auto& aFlag : {params::verbose, params::noTips, params::trace})
        EXPECT_EQ(aValues.getValue(aFlag), "X") << aFlag.name();
    EXPECT_EQ(parse({"--ActivationMode=4"}).getValue(params::activationMode), "4");
    // Only trailing blanks are trimmed.
    auto aTrimmed = parse({"--with= a \t\r\n", "status", "  obj \r"});
    EXPECT_EQ(aTrimmed.getValue(params::with), " a");
    EXPECT_EQ(aTrimmed.getValues(params::object), std::vector<std::string>{"  obj"});
    // Options come before positional values of the same name.
    EXPECT_EQ(parse({"checkout", "--package=p1", "package", "p2"}).getValues(params::package),
              (std::vector<std::string>{"p1", "p2"}));
}

TEST(CommandLine, RejectsMalformedOptionsWithTheTrimmedArgument) {
    for (std::string anArgument : {"-V", "-vv", "--v", "--no-tips", "-H", "--key2=x", "-", "--"})
        EXPECT_EQ(failureOf({anArgument}),
                  "kivo: Could not parse commandline argument: " + anArgument);
    EXPECT_EQ(failureOf({"-V \r\n"}), "kivo: Could not parse commandline argument: -V");
    EXPECT_EQ(failureOf({"--nosuch"}), "The parameter: nosuch is not supported");
}

TEST(CommandLine, HelpAndVersionSpellingsBecomeWords) {
    EXPECT_EQ(parse({"--help"}).getValue(params::action), "help");
    EXPECT_EQ(parse({"-version"}).getValue(params::action), "version");
    auto aValues = parse({"checkout", "-h"});
    EXPECT_EQ(aValues.getValue(params::what), "objects");
    EXPECT_EQ(aValues.getValue(params::object), "help");
}

TEST(Environment, FlagsNeedExactlyOneAndValuesFillOnlyEmptyParameters) {
    ScopedEnv anEnv{{"KIVO_VERBOSE", "1"}, {"KIVO_TRACE", "true"},   {"KIVO_DEBUG", "11"},
                    {"KIVO_FAST", ""},     {"KIVO_HOST", "envhost"}, {"KIVO_KEY", "envkey"},
                    {"KIVO_USER", ""}};
    auto aValues = parse({"--host=h:1", "--key="});
    parameterparser::applyEnvironment(aValues);
    EXPECT_TRUE(aValues.isSet(params::verbose));
    EXPECT_EQ(aValues.getValue(params::verbose), "");
    EXPECT_FALSE(aValues.isSet(params::trace));
    EXPECT_FALSE(aValues.isSet(params::debug));
    EXPECT_FALSE(aValues.isSet(params::fast));
    EXPECT_EQ(aValues.getValues(params::hostName), std::vector<std::string>{"h:1"});
    EXPECT_EQ(aValues.getValues(params::key), (std::vector<std::string>{"", "envkey"}));
    EXPECT_EQ(aValues.getValue(params::key), "");
    EXPECT_FALSE(aValues.isSet(params::userName));
    auto aFlagged = parse({"-v"});
    parameterparser::applyEnvironment(aFlagged);
    EXPECT_EQ(aFlagged.getValues(params::verbose), std::vector<std::string>{"X"});
}

TEST(AdvancedMode, RewritesActionsAndPackageScope) {
    {
        ScopedEnv anEnv{{"KIVO_ADVANCED", "yes"}};
        auto aRebase = parse({"reBase"});
        EXPECT_EQ(aRebase.getValue(params::action), "checkOut");
        EXPECT_TRUE(aRebase.isSet(params::noTrack));
        EXPECT_FALSE(aRebase.isSet(params::inactive));

        auto aCheckout = parse({"checkout", "package"});
        EXPECT_EQ(aCheckout.getValue(params::what), "package");
        for (const auto& aFlag :
             {params::inactive, params::skip, params::noTrack, params::noRecursive})
            EXPECT_TRUE(aCheckout.isSet(aFlag)) << aFlag.name();

        EXPECT_TRUE(parse({"activate"}).isSet(params::noCheckOut));
        EXPECT_FALSE(parse({"track", "package", "p"}).isSet(params::noRecursive));
    }
    {
        ScopedEnv anEnv{{"KIVO_ADVANCED", "Yes"}};
        auto aPlain = parse({"checkout", "package"});
        EXPECT_EQ(aPlain.getValue(params::what), "objects");
        EXPECT_EQ(aPlain.getValue(params::object), "package");
        EXPECT_FALSE(aPlain.isSet(params::noTrack));
        EXPECT_EQ(parse({"rebase"}).getValue(params::action), "rebase");
    }
}

// The dump's masking is the end-to-end test RunSequence.ArgumentEchoByTheEnvironment's.
TEST(Recording, CommandLineMasksPasswords) {
    EXPECT_EQ(parameterparser::recordedCommandLine(
                  {"kivo", "status", "--PassWord=secret", "--targetPassWd=x", "--user=u"}),
              "kivo status --PassWord=******** --targetPassWd=******** --user=u");
}
