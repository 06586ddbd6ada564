#include "core/perftrace.hpp"

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <locale>
#include <map>
#include <memory>
#include <sstream>
#include <string_view>
#include <utility>
#include <vector>

namespace RepositoryAccess::perftrace {

namespace {

constexpr std::uint32_t theNoEvent = UINT32_MAX;

// One timed call. Children form a list linked backwards from the last one, so that appending
// costs nothing beyond the event itself; the writer restores begin order.
struct Event {
    const char* itsDescription;
    double itsStart;
    double itsEnd;
    std::uint32_t itsParent;
    std::uint32_t itsLastChild;
    std::uint32_t itsPreviousSibling;
    // Later siblings with the same description and no duration, folded into this one.
    std::uint32_t itsRepeats;
    bool itsEnded;
};

// All events of the process, in fixed-size chunks that never move, addressed by index; event 0
// is the root. An event that ends without a measurable duration is never written, only counted
// in its parent's summary: its descendants are dropped and it is folded into a recent sibling of
// its description, so that a run over 100,000 files keeps a few events per kind, not millions.
class EventTree {
public:
    static constexpr std::uint32_t theChunkBits = 12;
    static constexpr std::uint32_t theChunkSize = 1u << theChunkBits;

    Event& at(std::uint32_t theIndex) {
        return itsChunks[theIndex >> theChunkBits][theIndex & (theChunkSize - 1)];
    }

    // Appends an event as the last child of theParent (theNoEvent for the root) and returns it.
    std::uint32_t add(const char* theDescription, double theStart, std::uint32_t theParent) {
        if ((itsSize >> theChunkBits) == itsChunks.size())
            itsChunks.push_back(std::make_unique_for_overwrite<Event[]>(theChunkSize));
        std::uint32_t anIndex = itsSize++;
        Event& anEvent = at(anIndex);
        anEvent = Event{theDescription, theStart, 0.0, theParent, theNoEvent, theNoEvent, 0, false};
        if (theParent != theNoEvent) {
            Event& aParent = at(theParent);
            anEvent.itsPreviousSibling = aParent.itsLastChild;
            aParent.itsLastChild = anIndex;
        }
        return anIndex;
    }

    // Ends the current event at theEnd and makes its parent current.
    void endCurrent(double theEnd) {
        const std::uint32_t anIndex = itsCurrent;
        Event& anEvent = at(anIndex);
        anEvent.itsEnd = theEnd;
        anEvent.itsEnded = true;
        if (anEvent.itsParent == theNoEvent)
            return;
        itsCurrent = anEvent.itsParent;
        if (anEvent.itsEnd == anEvent.itsStart)
            fold(anIndex);
    }

    std::uint32_t itsCurrent = 0;

private:
    static constexpr int theFoldDistance = 8;

    // An event without duration: every event after it is its descendant, without duration too.
    // They go, and so does the event when one of its last siblings can count it.
    void fold(std::uint32_t theIndex) {
        Event& anEvent = at(theIndex);
        itsSize = theIndex + 1;
        anEvent.itsLastChild = theNoEvent;
        std::uint32_t aSibling = anEvent.itsPreviousSibling;
        for (int i = 0; i < theFoldDistance && aSibling != theNoEvent; ++i) {
            Event& anOther = at(aSibling);
            if (anOther.itsEnded && anOther.itsEnd == anOther.itsStart &&
                anOther.itsDescription == anEvent.itsDescription) {
                anOther.itsRepeats += 1 + anEvent.itsRepeats;
                at(anEvent.itsParent).itsLastChild = anEvent.itsPreviousSibling;
                itsSize = theIndex;
                return;
            }
            aSibling = anOther.itsPreviousSibling;
        }
    }

    std::vector<std::unique_ptr<Event[]>> itsChunks;
    std::uint32_t itsSize = 0;
};

// Whole milliseconds of the monotonic clock: short calls show a duration of 0.
double systemMilliseconds() {
    timespec aNow{};
    clock_gettime(CLOCK_MONOTONIC, &aNow);
    return static_cast<double>(static_cast<std::int64_t>(aNow.tv_sec) * 1000 +
                               aNow.tv_nsec / 1000000);
}

double (*theClock)() = systemMilliseconds;

// The process-wide tree, created with its root on first use and deliberately never destroyed, so
// that scopes in code that runs during process shutdown still find it.
EventTree* theTree = nullptr;
// A helper thread of a parallel loop records nothing: the tree belongs to the main thread.
thread_local bool theIsMuted = false;

EventTree& tree() {
    if (theTree == nullptr) {
        theTree = new EventTree();
        theTree->add("Root", theClock(), theNoEvent);
    }
    return *theTree;
}

double durationSeconds(const Event& theEvent, double theNow) {
    return ((theEvent.itsEnded ? theEvent.itsEnd : theNow) - theEvent.itsStart) / 1000;
}

std::string_view descriptionOf(const Event& theEvent) {
    return theEvent.itsDescription ? std::string_view(theEvent.itsDescription) : std::string_view();
}

void writeEvent(std::ostream& theStream, EventTree& theTree, std::uint32_t theIndex,
                double theNow) {
    const Event& anEvent = theTree.at(theIndex);
    double aDuration = durationSeconds(anEvent, theNow);
    if (aDuration == 0.0)
        return;

    std::vector<std::uint32_t> aChildren;
    for (std::uint32_t aChild = anEvent.itsLastChild; aChild != theNoEvent;
         aChild = theTree.at(aChild).itsPreviousSibling)
        aChildren.push_back(aChild);
    std::reverse(aChildren.begin(), aChildren.end());

    std::map<std::string_view, std::pair<std::size_t, double>> aGroups;
    for (std::uint32_t aChild : aChildren) {
        auto& aGroup = aGroups[descriptionOf(theTree.at(aChild))];
        aGroup.first += 1 + theTree.at(aChild).itsRepeats;
        aGroup.second += durationSeconds(theTree.at(aChild), theNow);
    }

    theStream << "<event duration=\"" << aDuration << "\"";
    for (const auto& [aName, aGroup] : aGroups)
        theStream << ' ' << aName << "=\"(" << aGroup.first << " / " << aGroup.second << ")\"";
    theStream << ">\n" << descriptionOf(anEvent) << "\n";
    for (std::uint32_t aChild : aChildren)
        writeEvent(theStream, theTree, aChild, theNow);
    theStream << "</event>\n";
}

} // namespace

Scope::Scope(const char* theDescription) {
    begin(theDescription);
}

Scope::~Scope() {
    end();
}

void begin(const char* theDescription) {
    if (theIsMuted)
        return;
    EventTree& aTree = tree();
    aTree.itsCurrent = aTree.add(theDescription, theClock(), aTree.itsCurrent);
}

void end() noexcept {
    if (theTree == nullptr || theIsMuted)
        return;
    theTree->endCurrent(theClock());
}

std::string toXml() {
    EventTree& aTree = tree();
    double aNow = theClock();
    std::ostringstream aStream;
    aStream.imbue(std::locale::classic());
    aStream << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    writeEvent(aStream, aTree, aTree.itsCurrent, aNow);
    return aStream.str();
}

void muteThisThread() {
    theIsMuted = true;
}

void setClockForTests(double (*theTestClock)()) {
    theClock = theTestClock ? theTestClock : systemMilliseconds;
}

void resetForTests() {
    delete theTree;
    theTree = nullptr;
}

} // namespace RepositoryAccess::perftrace
