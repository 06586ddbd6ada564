#include "core/console.hpp"

#include <iostream>
#include <sstream>
#include <streambuf>

#include <unistd.h>

#include "core/parameters.hpp"
#include "core/utils.hpp"

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

// Stands in front of a terminal: names from the repository reach the screen, and a name must not
// be able to move the cursor, retitle the window or answer back. Control bytes (below 0x20 but
// line feed and tab, a carriage return not followed by a line feed, 0x7f, and the UTF-8 forms of
// U+0080 to U+009F) are written as "\x1b" or "\u009b"; every other byte passes unchanged.
class TerminalGuard : public std::streambuf {
public:
    explicit TerminalGuard(std::streambuf* theTarget) : itsTarget(theTarget) {}

protected:
    int_type overflow(int_type theChar) override {
        if (!traits_type::eq_int_type(theChar, traits_type::eof()))
            put(static_cast<unsigned char>(traits_type::to_char_type(theChar)));
        return traits_type::not_eof(theChar);
    }
    std::streamsize xsputn(const char* theText, std::streamsize theCount) override {
        for (std::streamsize i = 0; i < theCount; ++i)
            put(static_cast<unsigned char>(theText[i]));
        return theCount;
    }
    int sync() override {
        flushPending();
        return itsTarget->pubsync();
    }

private:
    void hex(const char* thePrefix, unsigned char theByte) {
        std::string aText = thePrefix;
        utils::appendHex(aText, theByte);
        itsTarget->sputn(aText.data(), static_cast<std::streamsize>(aText.size()));
    }
    void flushPending() {
        if (itsPending == '\r')
            hex("\\x", '\r');
        else if (itsPending)
            itsTarget->sputc(static_cast<char>(itsPending));
        itsPending = 0;
    }
    void put(unsigned char theByte) {
        if (itsPending == 0xc2 && theByte >= 0x80 && theByte <= 0x9f) {
            itsPending = 0;
            return hex("\\u00", theByte);
        }
        if (itsPending == '\r' && theByte == '\n') {
            itsPending = 0;
            itsTarget->sputc('\r');
            itsTarget->sputc('\n');
            return;
        }
        flushPending();
        if (theByte == 0xc2 || theByte == '\r')
            itsPending = theByte;
        else if ((theByte < 0x20 && theByte != '\n' && theByte != '\t') || theByte == 0x7f)
            hex("\\x", theByte);
        else
            itsTarget->sputc(static_cast<char>(theByte));
    }

    std::streambuf* itsTarget;
    unsigned char itsPending = 0;
};

// Puts a guard in front of the stream when its descriptor is a terminal. The guard is never
// freed: the stream is flushed at exit, after every static object is gone.
bool guardTerminal(std::ostream& theStream, int theDescriptor) {
    if (::isatty(theDescriptor))
        theStream.rdbuf(new TerminalGuard(theStream.rdbuf()));
    return true;
}

} // namespace

std::ostream& out() {
    [[maybe_unused]] static const bool theGuarded = guardTerminal(std::cout, STDOUT_FILENO);
    return std::cout;
}
std::ostream& err() {
    [[maybe_unused]] static const bool theGuarded = guardTerminal(std::cerr, STDERR_FILENO);
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

void refuse(std::string_view theLine) {
    err() << theLine << '\n' << std::flush;
    traceOnly(theLine);
    traceOnly("\n");
    exitstatus::fail();
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
