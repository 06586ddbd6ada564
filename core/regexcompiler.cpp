#include "core/regex.hpp"

#include <memory>
#include <string>

#include "core/error.hpp"

namespace RepositoryAccess {

// The compilation of a pattern: its parse into a tree, then the steps of the machine that
// regex.cpp runs.

namespace {

constexpr std::size_t kMaxPatternSize = 65536;
constexpr int kMaxNesting = 200;
constexpr int kMaxRepeat = 1000;
constexpr std::size_t kMaxSteps = 50000;
constexpr std::size_t kMaxVisits = 20 * kMaxSteps;

using Op = Regex::Op;
using ByteSet = Regex::ByteSet;

// The parsed pattern: a tree whose depth is bounded by the nesting limit.
struct Node {
    enum class Kind { sequence, alternation, repeat, group, step };
    Kind itsKind = Kind::sequence;
    Regex::Step itsStep{Op::match}; // for Kind::step: one byte, set or assertion
    int itsGroup = 0;               // 1-based, 0 for a non-capturing group
    int itsMin = 0;
    int itsMax = 0; // -1: no upper bound
    bool itsGreedy = true;
    std::vector<std::unique_ptr<Node>> itsChildren;
};

std::unique_ptr<Node> stepNode(Op theOp, int theX = 0) {
    auto apNode = std::make_unique<Node>();
    apNode->itsKind = Node::Kind::step;
    apNode->itsStep = {theOp, theX, 0};
    return apNode;
}

ByteSet namedSet(char theName) {
    ByteSet aSet;
    const char aLower = static_cast<char>(theName | 0x20);
    for (int aByte = 0; aByte < 256; ++aByte) {
        const bool aDigit = aByte >= '0' && aByte <= '9';
        const bool aWord = aDigit || (aByte >= 'a' && aByte <= 'z') ||
                           (aByte >= 'A' && aByte <= 'Z') || aByte == '_';
        const bool aSpace = aByte == ' ' || (aByte >= '\t' && aByte <= '\r');
        const bool anIn = aLower == 'd' ? aDigit : aLower == 'w' ? aWord : aSpace;
        if (anIn != (theName != aLower))
            aSet.add(static_cast<unsigned char>(aByte));
    }
    return aSet;
}

bool isNamedSet(char theChar) {
    return theChar == 'd' || theChar == 'D' || theChar == 'w' || theChar == 'W' || theChar == 's' ||
           theChar == 'S';
}

int hexValue(char theChar) {
    if (theChar >= '0' && theChar <= '9')
        return theChar - '0';
    if ((theChar | 0x20) >= 'a' && (theChar | 0x20) <= 'f')
        return (theChar | 0x20) - 'a' + 10;
    return -1;
}

// Reads a pattern into a tree, refusing what the matcher does not take.
class Parser {
public:
    Parser(std::string_view thePattern, std::vector<ByteSet>& theSets)
        : itsText(thePattern), itsSets(theSets) {}

    std::unique_ptr<Node> parse() {
        auto apRoot = alternation(0);
        if (itsPos < itsText.size())
            fail("unmatched \")\"");
        return apRoot;
    }
    int groupCount() const { return itsGroups; }

private:
    [[noreturn]] void fail(const std::string& theReason) const {
        throw Error(theReason + " at offset " + std::to_string(itsPos));
    }
    bool atEnd() const { return itsPos >= itsText.size(); }
    char peek() const { return itsText[itsPos]; }

    std::unique_ptr<Node> alternation(int theDepth) {
        auto apFirst = sequence(theDepth);
        if (atEnd() || peek() != '|')
            return apFirst;
        auto apAlternation = std::make_unique<Node>();
        apAlternation->itsKind = Node::Kind::alternation;
        apAlternation->itsChildren.push_back(std::move(apFirst));
        while (!atEnd() && peek() == '|') {
            ++itsPos;
            apAlternation->itsChildren.push_back(sequence(theDepth));
        }
        return apAlternation;
    }

    std::unique_ptr<Node> sequence(int theDepth) {
        auto apSequence = std::make_unique<Node>();
        while (!atEnd() && peek() != '|' && peek() != ')')
            apSequence->itsChildren.push_back(repeated(theDepth));
        return apSequence;
    }

    std::unique_ptr<Node> repeated(int theDepth) {
        auto apAtom = atom(theDepth);
        int aMin = 0;
        int aMax = 0;
        if (!quantifier(aMin, aMax))
            return apAtom;
        if (apAtom->itsKind == Node::Kind::step && apAtom->itsStep.itsOp >= Op::lineStart)
            fail("nothing to repeat");
        auto apRepeat = std::make_unique<Node>();
        apRepeat->itsKind = Node::Kind::repeat;
        apRepeat->itsMin = aMin;
        apRepeat->itsMax = aMax;
        if (!atEnd() && peek() == '?') {
            apRepeat->itsGreedy = false;
            ++itsPos;
        }
        apRepeat->itsChildren.push_back(std::move(apAtom));
        int anIgnoredMin = 0;
        int anIgnoredMax = 0;
        if (quantifier(anIgnoredMin, anIgnoredMax))
            fail("nothing to repeat");
        return apRepeat;
    }

    // Reads `*`, `+`, `?` or a well-formed `{n}`, `{n,}`, `{n,m}`; false (nothing read) otherwise.
    bool quantifier(int& theMin, int& theMax) {
        if (atEnd())
            return false;
        switch (peek()) {
        case '*':
            ++itsPos;
            theMin = 0, theMax = -1;
            return true;
        case '+':
            ++itsPos;
            theMin = 1, theMax = -1;
            return true;
        case '?':
            ++itsPos;
            theMin = 0, theMax = 1;
            return true;
        case '{':
            return braces(theMin, theMax);
        default:
            return false;
        }
    }

    bool braces(int& theMin, int& theMax) {
        std::size_t aPos = itsPos + 1;
        long aMin = number(aPos);
        if (aMin < 0)
            return false;
        long aMax = aMin;
        if (aPos < itsText.size() && itsText[aPos] == ',') {
            ++aPos;
            aMax = aPos < itsText.size() && itsText[aPos] == '}' ? -1 : number(aPos);
            if (aMax == -2)
                return false;
        }
        if (aPos >= itsText.size() || itsText[aPos] != '}')
            return false;
        itsPos = aPos + 1;
        if (aMin > kMaxRepeat || aMax > kMaxRepeat)
            fail("repeat count above " + std::to_string(kMaxRepeat));
        if (aMax != -1 && aMax < aMin)
            fail("repeat range out of order");
        theMin = static_cast<int>(aMin);
        theMax = static_cast<int>(aMax);
        return true;
    }

    // The decimal number at thePos (capped above the repeat limit), or -2 without a digit.
    long number(std::size_t& thePos) const {
        long aValue = -2;
        while (thePos < itsText.size() && itsText[thePos] >= '0' && itsText[thePos] <= '9') {
            aValue = std::min<long>((aValue < 0 ? 0 : aValue) * 10 + (itsText[thePos] - '0'),
                                    kMaxRepeat + 1);
            ++thePos;
        }
        return aValue;
    }

    std::unique_ptr<Node> atom(int theDepth) {
        const char aChar = peek();
        switch (aChar) {
        case '(':
            return group(theDepth);
        case '[':
            return set();
        case '.':
            ++itsPos;
            return stepNode(Op::any);
        case '^':
            ++itsPos;
            return stepNode(Op::lineStart);
        case '$':
            ++itsPos;
            return stepNode(Op::lineEnd);
        case '\\':
            return escape();
        case '*':
        case '+':
        case '?':
            fail("nothing to repeat");
        case '{': {
            int aMin = 0;
            int aMax = 0;
            if (braces(aMin, aMax))
                fail("nothing to repeat");
            break;
        }
        default:
            break;
        }
        ++itsPos;
        return stepNode(Op::byte, static_cast<unsigned char>(aChar));
    }

    std::unique_ptr<Node> group(int theDepth) {
        if (theDepth >= kMaxNesting)
            fail("groups nested deeper than " + std::to_string(kMaxNesting) + " levels");
        ++itsPos;
        auto apGroup = std::make_unique<Node>();
        apGroup->itsKind = Node::Kind::group;
        if (itsText.substr(itsPos).starts_with("?:"))
            itsPos += 2;
        else if (!atEnd() && peek() == '?')
            fail("look-around assertions are not supported");
        else
            apGroup->itsGroup = ++itsGroups;
        apGroup->itsChildren.push_back(alternation(theDepth + 1));
        if (atEnd())
            fail("missing \")\"");
        ++itsPos;
        return apGroup;
    }

    std::unique_ptr<Node> addSet(const ByteSet& theSet) {
        itsSets.push_back(theSet);
        return stepNode(Op::set, static_cast<int>(itsSets.size() - 1));
    }

    std::unique_ptr<Node> escape() {
        ++itsPos;
        if (atEnd())
            fail("trailing backslash");
        const char aChar = peek();
        if (isNamedSet(aChar)) {
            ++itsPos;
            return addSet(namedSet(aChar));
        }
        if (aChar == 'b' || aChar == 'B') {
            ++itsPos;
            return stepNode(aChar == 'b' ? Op::wordBoundary : Op::notWordBoundary);
        }
        if (aChar >= '1' && aChar <= '9')
            fail("back-references are not supported");
        return stepNode(Op::byte, escapedByte());
    }

    // The byte of the escape at itsPos (after the backslash), which is consumed.
    int escapedByte() {
        const char aChar = itsText[itsPos++];
        switch (aChar) {
        case 't':
            return '\t';
        case 'n':
            return '\n';
        case 'r':
            return '\r';
        case 'f':
            return '\f';
        case 'v':
            return '\v';
        case '0':
            return 0;
        case 'x':
            return hexEscape(2);
        case 'u':
            return hexEscape(4);
        case 'c':
            if (!atEnd() && ((peek() | 0x20) >= 'a' && (peek() | 0x20) <= 'z'))
                return itsText[itsPos++] % 32;
            fail("invalid control escape");
        default:
            return static_cast<unsigned char>(aChar);
        }
    }

    int hexEscape(std::size_t theDigits) {
        int aValue = 0;
        for (std::size_t i = 0; i < theDigits; ++i) {
            const int aDigit = atEnd() ? -1 : hexValue(peek());
            if (aDigit < 0)
                fail("invalid hexadecimal escape");
            aValue = aValue * 16 + aDigit;
            ++itsPos;
        }
        if (aValue > 0xff)
            fail("character beyond one byte");
        return aValue;
    }

    std::unique_ptr<Node> set() {
        ++itsPos;
        ByteSet aSet;
        const bool aNegated = !atEnd() && peek() == '^';
        if (aNegated)
            ++itsPos;
        while (true) {
            if (atEnd())
                fail("missing \"]\"");
            if (peek() == ']')
                break;
            int aLow = setMember(aSet);
            if (aLow < 0 || itsText.substr(itsPos).size() < 2 || peek() != '-' ||
                itsText[itsPos + 1] == ']')
                continue;
            ++itsPos;
            const int aHigh = setMember(aSet);
            if (aHigh < 0 || aHigh < aLow)
                fail("invalid range in a class");
            for (int aByte = aLow; aByte <= aHigh; ++aByte)
                aSet.add(static_cast<unsigned char>(aByte));
        }
        ++itsPos;
        if (aNegated)
            for (auto& aWord : aSet.itsBits)
                aWord = ~aWord;
        return addSet(aSet);
    }

    // Adds one member of a class; returns its byte, or -1 for a named set like `\d`.
    int setMember(ByteSet& theSet) {
        if (peek() != '\\') {
            const auto aByte = static_cast<unsigned char>(itsText[itsPos++]);
            theSet.add(aByte);
            return aByte;
        }
        ++itsPos;
        if (atEnd())
            fail("trailing backslash");
        if (isNamedSet(peek())) {
            const ByteSet aNamed = namedSet(itsText[itsPos++]);
            for (int i = 0; i < 4; ++i)
                theSet.itsBits[i] |= aNamed.itsBits[i];
            return -1;
        }
        const int aByte = peek() == 'b' ? (++itsPos, '\b') : escapedByte();
        theSet.add(static_cast<unsigned char>(aByte));
        return aByte;
    }

    std::string_view itsText;
    std::vector<ByteSet>& itsSets;
    std::size_t itsPos = 0;
    int itsGroups = 0;
};

// Turns the tree into the steps of the machine, refusing a program beyond the step limit.
class Compiler {
public:
    explicit Compiler(std::vector<Regex::Step>& theSteps) : itsSteps(theSteps) {}

    void emitNode(const Node& theNode) {
        // Empty bodies repeated inside repeats emit no step, yet cost time: count the visits too.
        if (++itsVisits > kMaxVisits)
            throw Error("pattern too large (more than " + std::to_string(kMaxSteps) + " steps)");
        switch (theNode.itsKind) {
        case Node::Kind::step:
            emit(theNode.itsStep);
            return;
        case Node::Kind::sequence:
            for (const auto& apChild : theNode.itsChildren)
                emitNode(*apChild);
            return;
        case Node::Kind::group:
            if (theNode.itsGroup)
                emit({Op::save, 2 * theNode.itsGroup - 2, 0});
            emitNode(*theNode.itsChildren.front());
            if (theNode.itsGroup)
                emit({Op::save, 2 * theNode.itsGroup - 1, 0});
            return;
        case Node::Kind::alternation:
            return emitAlternation(theNode);
        case Node::Kind::repeat:
            return emitRepeat(theNode);
        }
    }

    int emit(Regex::Step theStep) {
        if (itsSteps.size() >= kMaxSteps)
            throw Error("pattern too large (more than " + std::to_string(kMaxSteps) + " steps)");
        itsSteps.push_back(theStep);
        return static_cast<int>(itsSteps.size() - 1);
    }

private:
    int next() const { return static_cast<int>(itsSteps.size()); }

    void emitAlternation(const Node& theNode) {
        std::vector<int> anExits;
        for (std::size_t i = 0; i < theNode.itsChildren.size(); ++i) {
            const bool aLast = i + 1 == theNode.itsChildren.size();
            const int aSplit = aLast ? -1 : emit({Op::split, 0, 0});
            if (!aLast)
                itsSteps[aSplit].itsX = next();
            emitNode(*theNode.itsChildren[i]);
            if (aLast)
                break;
            anExits.push_back(emit({Op::jump, 0, 0}));
            itsSteps[aSplit].itsY = next();
        }
        for (int anExit : anExits)
            itsSteps[anExit].itsX = next();
    }

    // A split whose preferred branch is the body when greedy, the way out when lazy.
    int emitChoice(bool theGreedy) { return emit({Op::split, theGreedy ? 1 : 0, 0}); }
    void aimChoice(int theSplit, int theBody, int theOut) {
        Regex::Step& aStep = itsSteps[theSplit];
        const bool aGreedy = aStep.itsX == 1;
        aStep.itsX = aGreedy ? theBody : theOut;
        aStep.itsY = aGreedy ? theOut : theBody;
    }

    void emitRepeat(const Node& theNode) {
        const Node& aBody = *theNode.itsChildren.front();
        for (int i = 0; i < theNode.itsMin; ++i)
            emitNode(aBody);
        if (theNode.itsMax == -1) {
            const int aLoop = emitChoice(theNode.itsGreedy);
            emitNode(aBody);
            emit({Op::jump, aLoop, 0});
            aimChoice(aLoop, aLoop + 1, next());
            return;
        }
        std::vector<int> aChoices;
        for (int i = theNode.itsMin; i < theNode.itsMax; ++i) {
            aChoices.push_back(emitChoice(theNode.itsGreedy));
            emitNode(aBody);
        }
        for (int aChoice : aChoices)
            aimChoice(aChoice, aChoice + 1, next());
    }

    std::vector<Regex::Step>& itsSteps;
    std::size_t itsVisits = 0;
};

} // namespace

Regex::Regex(std::string_view thePattern) {
    if (thePattern.size() > kMaxPatternSize)
        throw Error("pattern longer than " + std::to_string(kMaxPatternSize) + " bytes");
    Parser aParser(thePattern, itsSets);
    const std::unique_ptr<Node> apRoot = aParser.parse();
    itsGroupCount = aParser.groupCount();
    Compiler aCompiler(itsSteps);
    aCompiler.emitNode(*apRoot);
    aCompiler.emit({Op::match, 0, 0});
    for (const Step& aStep : itsSteps) {
        if (aStep.itsOp == Op::byte)
            itsPrefix += static_cast<char>(aStep.itsX);
        else if (aStep.itsOp != Op::save)
            break;
    }
}

} // namespace RepositoryAccess
