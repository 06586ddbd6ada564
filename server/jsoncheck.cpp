#include "server/jsoncheck.hpp"

namespace RepositoryAccess::server {

namespace {

constexpr int kMaxDepth = 512;

// A strict recursive-descent checker that remembers the position of the first error.
class JsonChecker {
public:
    explicit JsonChecker(std::string_view theText) : itsText(theText) {}

    std::optional<std::string> run() {
        skipBlanks();
        if (!value(0))
            return itsProblem;
        skipBlanks();
        if (itsPosition != itsText.size())
            return problem("end of text expected");
        return std::nullopt;
    }

private:
    bool value(int theDepth) {
        if (theDepth > kMaxDepth)
            return fail("nesting too deep");
        if (itsPosition >= itsText.size())
            return fail("value expected, found end of text");
        switch (itsText[itsPosition]) {
        case '{':
            return object(theDepth);
        case '[':
            return list(theDepth);
        case '"':
            return string();
        case 't':
            return word("true");
        case 'f':
            return word("false");
        case 'n':
            return word("null");
        default:
            return number();
        }
    }

    bool object(int theDepth) {
        ++itsPosition;
        skipBlanks();
        if (peek('}'))
            return true;
        while (true) {
            skipBlanks();
            if (itsPosition >= itsText.size() || itsText[itsPosition] != '"')
                return fail("member name expected");
            if (!string())
                return false;
            skipBlanks();
            if (!peek(':'))
                return fail("':' expected");
            skipBlanks();
            if (!value(theDepth + 1))
                return false;
            skipBlanks();
            if (peek('}'))
                return true;
            if (!peek(','))
                return fail("',' or '}' expected");
        }
    }

    bool list(int theDepth) {
        ++itsPosition;
        skipBlanks();
        if (peek(']'))
            return true;
        while (true) {
            skipBlanks();
            if (!value(theDepth + 1))
                return false;
            skipBlanks();
            if (peek(']'))
                return true;
            if (!peek(','))
                return fail("',' or ']' expected");
        }
    }

    bool string() {
        ++itsPosition;
        while (itsPosition < itsText.size()) {
            auto aChar = static_cast<unsigned char>(itsText[itsPosition]);
            if (aChar == '"') {
                ++itsPosition;
                return true;
            }
            if (aChar < 0x20)
                return fail("control character in string");
            if (aChar == '\\') {
                ++itsPosition;
                if (itsPosition >= itsText.size())
                    break;
                char anEscape = itsText[itsPosition];
                if (anEscape == 'u') {
                    for (int i = 1; i <= 4; ++i)
                        if (itsPosition + i >= itsText.size() || !isHex(itsText[itsPosition + i]))
                            return fail("four hexadecimal digits expected after \\u");
                    itsPosition += 4;
                } else if (std::string_view("\"\\/bfnrt").find(anEscape) ==
                           std::string_view::npos) {
                    return fail("invalid escape sequence");
                }
            }
            ++itsPosition;
        }
        return fail("unterminated string");
    }

    bool number() {
        std::size_t aStart = itsPosition;
        peek('-');
        if (peek('0')) {
        } else if (digits() == 0) {
            itsPosition = aStart;
            return fail("value expected");
        }
        if (peek('.') && digits() == 0)
            return fail("digit expected after '.'");
        if (peek('e') || peek('E')) {
            if (!peek('+'))
                peek('-');
            if (digits() == 0)
                return fail("digit expected in exponent");
        }
        return true;
    }

    bool word(std::string_view theWord) {
        if (itsText.substr(itsPosition, theWord.size()) != theWord)
            return fail("value expected");
        itsPosition += theWord.size();
        return true;
    }

    std::size_t digits() {
        std::size_t aCount = 0;
        while (itsPosition < itsText.size() && itsText[itsPosition] >= '0' &&
               itsText[itsPosition] <= '9') {
            ++itsPosition;
            ++aCount;
        }
        return aCount;
    }

    static bool isHex(char theChar) {
        return (theChar >= '0' && theChar <= '9') || (theChar >= 'a' && theChar <= 'f') ||
               (theChar >= 'A' && theChar <= 'F');
    }

    bool peek(char theChar) {
        if (itsPosition < itsText.size() && itsText[itsPosition] == theChar) {
            ++itsPosition;
            return true;
        }
        return false;
    }

    void skipBlanks() {
        while (itsPosition < itsText.size() &&
               std::string_view(" \t\r\n").find(itsText[itsPosition]) != std::string_view::npos)
            ++itsPosition;
    }

    bool fail(const std::string& theWhat) {
        itsProblem = problem(theWhat);
        return false;
    }

    std::string problem(const std::string& theWhat) const {
        std::size_t aLine = 1, aColumn = 1;
        for (std::size_t i = 0; i < itsPosition && i < itsText.size(); ++i) {
            if (itsText[i] == '\n') {
                ++aLine;
                aColumn = 1;
            } else {
                ++aColumn;
            }
        }
        return "Invalid JSON (line " + std::to_string(aLine) + ", column " +
               std::to_string(aColumn) + "): " + theWhat;
    }

    std::string_view itsText;
    std::size_t itsPosition = 0;
    std::optional<std::string> itsProblem;
};

} // namespace

std::optional<std::string> checkJsonText(std::string_view theText) {
    return JsonChecker(theText).run();
}

} // namespace RepositoryAccess::server
