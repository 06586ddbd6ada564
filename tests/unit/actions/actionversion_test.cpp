#include "actions/actionversion.hpp"

#include <gtest/gtest.h>

#include <initializer_list>
#include <iostream>
#include <sstream>

#include "core/console.hpp"
#include "core/parameters.hpp"

using namespace RepositoryAccess;

namespace {

// Runs the action with the given flags set and returns what it printed on standard output.
std::string runVersion(std::initializer_list<Parameter> theFlags) {
    ParameterValues aValues;
    for (const Parameter& aFlag : theFlags)
        aValues.setValue(aFlag, "X");
    installParameters(aValues);
    std::ostringstream aCaptured;
    std::streambuf* anOldOut = std::cout.rdbuf(aCaptured.rdbuf());
    actionVersion().execute();
    std::cout.rdbuf(anOldOut);
    installParameters({});
    return aCaptured.str();
}

} // namespace

TEST(ActionVersion, PrintsEachRequestedForm) {
    EXPECT_EQ(runVersion({}), "1.1.3 Opt\n");
    EXPECT_EQ(runVersion({params::plain}), "1.1.3\n");
    EXPECT_EQ(runVersion({params::clientFormat}), "1.1.0\n");
    EXPECT_EQ(runVersion({params::clientFormat, params::plain}), "1.1.0\n");
    EXPECT_EQ(runVersion({params::major, params::micro}), "1\n3\n");
    EXPECT_EQ(runVersion({params::micro, params::minor, params::major, params::plain}),
              "1.1.3\n1\n1\n3\n");
    EXPECT_EQ(runVersion({params::clientFormat, params::micro, params::minor}), "1\n0\n");
}

TEST(ActionVersion, CopiesItsOutputToTheTraceOnlyWithTrace) {
    std::string aBefore = console::traceText();
    runVersion({params::major});
    EXPECT_EQ(console::traceText(), aBefore);
    runVersion({params::trace});
    runVersion({params::trace, params::clientFormat, params::minor});
    EXPECT_EQ(console::traceText(), aBefore + "1.1.3 Opt\n1\n");
}
