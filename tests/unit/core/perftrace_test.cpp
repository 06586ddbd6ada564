#include "core/perftrace.hpp"

#include <gtest/gtest.h>

namespace perftrace = RepositoryAccess::perftrace;

namespace {

double theNow = 0;
double fakeClock() {
    return theNow;
}

// Each test starts a fresh tree on a clock that it moves by hand.
class PerfTrace : public ::testing::Test {
protected:
    void SetUp() override {
        perftrace::resetForTests();
        perftrace::setClockForTests(fakeClock);
        theNow = 1000;
    }
    void TearDown() override {
        perftrace::resetForTests();
        perftrace::setClockForTests(nullptr);
    }
};

// Runs one traced call lasting theMilliseconds, with theBody run inside it.
template <typename Body> void traced(const char* theName, double theMilliseconds, Body theBody) {
    KIVO_PERF_SCOPE(theName);
    theNow += theMilliseconds;
    theBody();
}

void traced(const char* theName, double theMilliseconds) {
    traced(theName, theMilliseconds, [] {});
}

const std::string theDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";

} // namespace

TEST_F(PerfTrace, GroupsChildrenByDescriptionInByteOrderAndKeepsBeginOrder) {
    traced("statusObjects()", 0, [] {
        traced("sys::readFile()", 1500);
        traced("hash::calc()", 0);
        traced("sys::readFile()", 250, [] { traced("json::jsonParse()", 2); });
        traced("Ignore::collect()", 0);
        traced("a b", 1);
    });
    theNow += 250; // the root is still open: counted up to now
    EXPECT_EQ(perftrace::toXml(),
              theDeclaration +
                  "<event duration=\"2.003\" statusObjects()=\"(1 / 1.753)\">\n"
                  "Root\n"
                  "<event duration=\"1.753\" Ignore::collect()=\"(1 / 0)\" a b=\"(1 / 0.001)\" "
                  "hash::calc()=\"(1 / 0)\" sys::readFile()=\"(2 / 1.752)\">\n"
                  "statusObjects()\n"
                  "<event duration=\"1.5\">\nsys::readFile()\n</event>\n"
                  "<event duration=\"0.252\" json::jsonParse()=\"(1 / 0.002)\">\n"
                  "sys::readFile()\n"
                  "<event duration=\"0.002\">\njson::jsonParse()\n</event>\n"
                  "</event>\n"
                  "<event duration=\"0.001\">\na b\n</event>\n"
                  "</event>\n"
                  "</event>\n");
}

TEST_F(PerfTrace, OpenEventsCountUpToNowAndTheWriterShowsTheCurrentEvent) {
    perftrace::begin("actionStatus::execute()");
    theNow += 1234567;
    perftrace::begin("statusShared()");
    theNow += 1;
    EXPECT_EQ(perftrace::toXml(),
              theDeclaration + "<event duration=\"0.001\">\nstatusShared()\n</event>\n");
    perftrace::end();
    EXPECT_EQ(perftrace::toXml(),
              theDeclaration + "<event duration=\"1234.57\" statusShared()=\"(1 / 0.001)\">\n"
                               "actionStatus::execute()\n"
                               "<event duration=\"0.001\">\nstatusShared()\n</event>\n"
                               "</event>\n");
    perftrace::end();
    perftrace::end(); // ending the root marks it ended but keeps it current
    std::string aFinished = perftrace::toXml();
    theNow += 5000;
    EXPECT_EQ(perftrace::toXml(), aFinished);
    EXPECT_TRUE(aFinished.starts_with(theDeclaration + "<event duration=\"1234.57\" "));
}

// Calls within one tick are folded as they end, so that a run over many files keeps few events;
// the file still counts every one of them, beside calls with a duration in their begin order.
TEST_F(PerfTrace, CallsWithinOneTickAreCountedAfterBeingFolded) {
    // A run within one tick gives only the declaration.
    traced("statusObjects()", 0, [] { traced("inner", 0); });
    EXPECT_EQ(perftrace::toXml(), theDeclaration);
    perftrace::resetForTests();
    traced("statusObjects()", 0, [] {
        for (int i = 0; i < 10000; ++i) {
            traced("sys::readFile()", 0, [] { traced("json::jsonParse()", 0); });
            traced("hash::calc()", 0);
            if (i == 5000)
                traced("sys::getts()", 3);
        }
        traced("sys::readFile()", 2, [] { traced("json::jsonParse()", 0); });
    });
    EXPECT_EQ(perftrace::toXml(),
              theDeclaration +
                  "<event duration=\"0.005\" statusObjects()=\"(1 / 0.005)\">\n"
                  "Root\n"
                  "<event duration=\"0.005\" hash::calc()=\"(10000 / 0)\" "
                  "sys::getts()=\"(1 / 0.003)\" sys::readFile()=\"(10001 / 0.002)\">\n"
                  "statusObjects()\n"
                  "<event duration=\"0.003\">\nsys::getts()\n</event>\n"
                  "<event duration=\"0.002\" json::jsonParse()=\"(1 / 0)\">\nsys::readFile()\n"
                  "</event>\n</event>\n</event>\n");
}
