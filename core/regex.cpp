#include "core/regex.hpp"

#include <string>
#include <utility>

namespace RepositoryAccess {

// The matcher: a Pike virtual machine over the steps that regexcompiler.cpp makes.

namespace {

using Op = Regex::Op;

bool isWordByte(std::string_view theText, std::size_t thePos) {
    if (thePos >= theText.size())
        return false;
    const unsigned char aByte = static_cast<unsigned char>(theText[thePos]);
    return aByte == '_' || (aByte >= '0' && aByte <= '9') ||
           ((aByte | 0x20) >= 'a' && (aByte | 0x20) <= 'z');
}

// The live states of one text position, in priority order, each once, with its capture slots.
class StateList {
public:
    StateList(std::size_t theSteps, std::size_t theSlots)
        : itsIndex(theSteps, 0), itsSlotCount(theSlots) {}
    bool contains(int theStep) const {
        const int anIndex = itsIndex[theStep];
        return anIndex < static_cast<int>(itsStates.size()) && itsStates[anIndex] == theStep;
    }
    void add(int theStep, const std::vector<int>& theSlots) {
        itsIndex[theStep] = static_cast<int>(itsStates.size());
        itsStates.push_back(theStep);
        itsSlots.insert(itsSlots.end(), theSlots.begin(), theSlots.end());
    }
    void clear() {
        itsStates.clear();
        itsSlots.clear();
    }
    std::size_t size() const { return itsStates.size(); }
    int state(std::size_t theIndex) const { return itsStates[theIndex]; }
    void slotsOf(std::size_t theIndex, std::vector<int>& theSlots) const {
        theSlots.assign(itsSlots.begin() + static_cast<long>(theIndex * itsSlotCount),
                        itsSlots.begin() + static_cast<long>((theIndex + 1) * itsSlotCount));
    }

private:
    std::vector<int> itsIndex;
    std::vector<int> itsStates;
    std::vector<int> itsSlots;
    std::size_t itsSlotCount;
};

} // namespace

bool Regex::matches(std::string_view theText) const {
    return run(theText, nullptr);
}

bool Regex::matches(std::string_view theText, std::vector<std::string>& theGroups) const {
    std::vector<int> aSlots;
    if (!run(theText, &aSlots))
        return false;
    theGroups.assign(static_cast<std::size_t>(itsGroupCount), std::string());
    for (int i = 0; i < itsGroupCount; ++i) {
        const int aBegin = aSlots[2 * i];
        const int anEnd = aSlots[2 * i + 1];
        if (aBegin >= 0 && anEnd >= aBegin)
            theGroups[i] = std::string(theText.substr(aBegin, anEnd - aBegin));
    }
    return true;
}

bool Regex::run(std::string_view theText, std::vector<int>* theSlots) const {
    if (!theText.starts_with(itsPrefix))
        return false;
    const std::size_t aSlotCount = theSlots ? 2 * static_cast<std::size_t>(itsGroupCount) : 0;
    StateList aCurrent(itsSteps.size(), aSlotCount);
    StateList aNext(itsSteps.size(), aSlotCount);
    std::vector<int> aSlots(aSlotCount, -1);
    // Each frame is a step to follow, or (theStep < 0) a capture slot to restore on the way back.
    struct Frame {
        int itsStep;
        int itsSlot;
        int itsValue;
    };
    std::vector<Frame> aStack;
    auto follow = [&](StateList& theList, int theStep, std::size_t thePos) {
        aStack.push_back({theStep, 0, 0});
        while (!aStack.empty()) {
            const Frame aFrame = aStack.back();
            aStack.pop_back();
            if (aFrame.itsStep < 0) {
                aSlots[aFrame.itsSlot] = aFrame.itsValue;
                continue;
            }
            if (theList.contains(aFrame.itsStep))
                continue;
            const Step& aStep = itsSteps[aFrame.itsStep];
            const int aNext = aFrame.itsStep + 1;
            switch (aStep.itsOp) {
            case Op::jump:
                aStack.push_back({aStep.itsX, 0, 0});
                break;
            case Op::split:
                aStack.push_back({aStep.itsY, 0, 0});
                aStack.push_back({aStep.itsX, 0, 0});
                break;
            case Op::save:
                if (static_cast<std::size_t>(aStep.itsX) < aSlotCount) {
                    aStack.push_back({-1, aStep.itsX, aSlots[aStep.itsX]});
                    aSlots[aStep.itsX] = static_cast<int>(thePos);
                }
                aStack.push_back({aNext, 0, 0});
                break;
            case Op::lineStart:
                if (thePos == 0)
                    aStack.push_back({aNext, 0, 0});
                break;
            case Op::lineEnd:
                if (thePos == theText.size())
                    aStack.push_back({aNext, 0, 0});
                break;
            case Op::wordBoundary:
            case Op::notWordBoundary: {
                const bool aBoundary =
                    (thePos > 0 && isWordByte(theText, thePos - 1)) != isWordByte(theText, thePos);
                if (aBoundary == (aStep.itsOp == Op::wordBoundary))
                    aStack.push_back({aNext, 0, 0});
                break;
            }
            default:
                theList.add(aFrame.itsStep, aSlots);
                continue;
            }
            // Epsilon steps are marked too, so that an empty loop is followed once.
            theList.add(aFrame.itsStep, aSlots);
        }
    };
    follow(aCurrent, 0, 0);
    for (std::size_t aPos = 0; aPos < theText.size() && aCurrent.size() > 0; ++aPos) {
        const auto aByte = static_cast<unsigned char>(theText[aPos]);
        aNext.clear();
        for (std::size_t i = 0; i < aCurrent.size(); ++i) {
            const Step& aStep = itsSteps[aCurrent.state(i)];
            const bool aTaken = (aStep.itsOp == Op::byte && aStep.itsX == aByte) ||
                                (aStep.itsOp == Op::any && aByte != '\n') ||
                                (aStep.itsOp == Op::set && itsSets[aStep.itsX].has(aByte));
            if (!aTaken)
                continue;
            aCurrent.slotsOf(i, aSlots);
            follow(aNext, aCurrent.state(i) + 1, aPos + 1);
        }
        std::swap(aCurrent, aNext);
    }
    for (std::size_t i = 0; i < aCurrent.size(); ++i) {
        if (itsSteps[aCurrent.state(i)].itsOp != Op::match)
            continue;
        if (theSlots)
            aCurrent.slotsOf(i, *theSlots);
        return true;
    }
    return false;
}

} // namespace RepositoryAccess
