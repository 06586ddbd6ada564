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

// The forms themselves are checked on the real program; here only the trace copy.
TEST(ActionVersion, CopiesItsOutputToTheTraceOnlyWithTrace) {
    std::string aBefore = console::traceText();
    runVersion({params::major});
    EXPECT_EQ(console::traceText(), aBefore);
    runVersion({params::trace});
    runVersion({params::trace, params::clientFormat, params::minor});
    EXPECT_EQ(console::traceText(), aBefore + "1.1.3 Opt\n1\n");
}
