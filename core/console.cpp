#include "core/console.hpp"

#include <iostream>
#include <sstream>

#include "core/parameters.hpp"

namespace RepositoryAccess {

namespace console {

namespace {

std::ostringstream& commandLogBuffer() {
    static std::ostringstream theBuffer;
    return theBuffer;
}

std::ostringstream& traceBuffer() {
    static std::ostringstream theBuffer;
    return theBuffer;
}

} // namespace

std::ostream& out() {
    return std::cout;
}
std::ostream& err() {
    return std::cerr;
}
std::ostream& commandLog() {
    return commandLogBuffer();
}
std::ostream& trace() {
    return traceBuffer();
}
std::string commandLogText() {
    return commandLogBuffer().str();
}
std::string traceText() {
    return traceBuffer().str();
}

void say(std::string_view theText) {
    out() << theText;
    traceOnly(theText);
}

void sayLine(std::string_view theText) {
    say(theText);
    say("\n");
}

void traceOnly(std::string_view theText) {
    if (isSet(params::trace))
        trace() << theText;
}

void progress(std::string_view theLine) {
    if (isSet(params::verbose))
        out() << theLine << '\n';
    traceOnly(theLine);
    traceOnly("\n");
}

} // namespace console

namespace exitstatus {

namespace {
int theStatus = 0;
}

int get() {
    return theStatus;
}
void fail() {
    theStatus = 1;
}
void reset() {
    theStatus = 0;
}

} // namespace exitstatus

} // namespace RepositoryAccess
