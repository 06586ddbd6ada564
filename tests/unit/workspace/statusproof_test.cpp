// What status compares a file by: its content hash, and the stat data an entry keeps as proof,
// trusted by the default status only where hashing every file gives the same answer.
#include <chrono>
#include <cstdio>
#include <random>
#include <thread>

#include "tests/unit/workspace/workspacefixture.hpp"
#include "workspace/filestat.hpp"
#include "workspace/hash.hpp"
#include "workspace/status.hpp"
#include "workspace/sys.hpp"
#include "workspace/workspacefile.hpp"

using namespace RepositoryAccess;
using filestat::FileStat;
using kivotest::readText;
using kivotest::writeText;
using wstest::messageOf;
namespace fs = std::filesystem;

namespace {

class StatusProof : public wstest::WorkSpaceTest {
protected:
    void SetUp() override {
        wstest::WorkSpaceTest::SetUp();
        itsWs = openWorkSpace(true);
        fs::create_directories(itsWs / "p");
    }

    WorkSpaceStatusFile& status() { return workspace::get()->status(); }
    std::string file(int theIndex) const {
        return (itsWs / "p" / ("f" + std::to_string(theIndex) + ".txt")).string();
    }
    // Records the file as a commit does: hash and proof from one open.
    void record(const std::string& theFile) {
        const sys::StampedContent aRead = sys::readFileStamped(theFile);
        status().setFileStatus(theFile, hash::calc(*aRead.itsBytes), aRead.itsTimestamp, 1,
                               aRead.itsFileStat);
    }
    // What the default mode says, and what hashing every known file says.
    PathSet defaultModified() { return Status({"p"}, true, false, false).modified(); }
    PathSet hashedModified() {
        PathSet aModified;
        for (const auto& [aFile, anEntry] : status().files())
            if (sys::fileExists(aFile) && hash::calcFile(aFile) != anEntry.sha1value)
                aModified.emplace_back(aFile);
        return aModified;
    }
    // Writes the status file (with the proofs the calculations noted) and reads it again.
    void storeAndReopen() {
        status().setModified();
        workspace::finish(false);
        workspace::reset();
        ASSERT_TRUE(workspace::open(true));
    }

    fs::path itsWs;
};

// FIPS 180-1 test vectors with their words in the text form.
const std::string theAbc = "2845392438.1191608682.3124634993.2018558572.2630932637";
const std::string theTwoBlock = "2224569924.473682542.3131984545.4182845925.3846598897";
const std::string theMillionA = "883595068.3569670820.4129221419.3685558065.1697907055";
const std::string theEmpty = "3661210606.1584089869.844480495.2506102928.2950170377";

} // namespace

TEST_F(StatusProof, AProvenFileIsNotHashedAndAnUnprovenOneIs) {
    const std::string aFile = file(0);
    writeText(aFile, "abc");
    const std::string aStat = filestat::toText(*filestat::ofPath(aFile));
    // An entry whose hash is wrong but whose proof matches: trusted without hashing.
    status().setFileStatus(aFile, hash::calc("xyz"), "t", 1, aStat);
    EXPECT_EQ(defaultModified(), PathSet{});
    // A damaged or foreign proof, or other modes: the content decides.
    for (const std::string& aDamaged : {std::string("1.2.3"), "x" + aStat}) {
        status().setFileStatus(aFile, hash::calc("xyz"), "t", 1, aDamaged);
        EXPECT_EQ(defaultModified(), PathSet{aFile}) << aDamaged;
    }
    // A dummy change stays a change, whatever proof another program left with it.
    status().setFileStatus(aFile, workspacefile::dummyChangeHash(), "", 1, aStat);
    EXPECT_EQ(defaultModified(), PathSet{aFile});
    status().setFileStatus(aFile, hash::calc("xyz"), "t", 1, aStat);
    setParameter(params::fast);
    EXPECT_EQ(defaultModified(), PathSet{aFile});
}

// Random edits that keep size and time, between recordings as commit and status make them: the
// default mode answers what hashing every file answers.
TEST_F(StatusProof, DefaultModeAgreesWithHashingEveryFile) {
    constexpr int theFiles = 12;
    std::mt19937 aRandom(20261208);
    auto aText = [&](int theSize) {
        std::string aBytes(static_cast<std::size_t>(theSize), 'a');
        for (char& aByte : aBytes)
            aByte = static_cast<char>('a' + aRandom() % 3);
        return aBytes;
    };
    for (int i = 0; i < theFiles; ++i) {
        writeText(file(i), aText(8));
        record(file(i));
    }
    int aProven = 0;
    for (int aRound = 0; aRound < 60; ++aRound) {
        const std::string aFile = file(static_cast<int>(aRandom() % theFiles));
        const auto aBefore = filestat::ofPath(aFile);
        ASSERT_TRUE(aBefore);
        switch (aRandom() % 6) {
        case 0: // same size, same second (and mostly the same tick)
            writeText(aFile, aText(8));
            break;
        case 1: // same size, last-write time set back
            writeText(aFile, aText(8));
            wstest::setModifiedTime(aFile, aBefore->itsModifiedSeconds,
                                    aBefore->itsModifiedNanoseconds);
            break;
        case 2: { // replaced by rename with the same size and last-write time
            const std::string aNew = aFile + ".new";
            writeText(aNew, aText(8));
            wstest::setModifiedTime(aNew, aBefore->itsModifiedSeconds,
                                    aBefore->itsModifiedNanoseconds);
            ASSERT_EQ(std::rename(aNew.c_str(), aFile.c_str()), 0);
            break;
        }
        case 3: // recorded, then edited at once
            record(aFile);
            writeText(aFile, aText(8));
            break;
        case 4: // the same bytes written again
            writeText(aFile, readText(aFile));
            break;
        default: // time passes, and a recording run takes the files as they are
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            record(file(static_cast<int>(aRandom() % theFiles)));
            break;
        }
        EXPECT_EQ(defaultModified(), hashedModified()) << "round " << aRound;
        if (aRound % 10 == 9) { // a writing run keeps the proofs the status calculation found
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            defaultModified();
            storeAndReopen();
            EXPECT_EQ(defaultModified(), hashedModified()) << "round " << aRound;
        }
        for (const auto& [aKnown, anEntry] : status().files())
            aProven += anEntry.filestat.empty() ? 0 : 1;
    }
    // The proofs took part: most entries had one most of the time.
    EXPECT_GT(aProven, 60 * theFiles / 3);
}

TEST(FileStat, TextFormRoundTripsAndRejectsDamage) {
    FileStat aStat{123, 1700000000, 999999999, 1700000001, 5, 42, 2049};
    EXPECT_EQ(filestat::toText(aStat), "123.1700000000.999999999.1700000001.5.42.2049");
    EXPECT_EQ(filestat::fromText(filestat::toText(aStat)), aStat);
    for (const char* aBad : {"", "1.2.3.4.5.6", "1.2.3.4.5.6.7.8", "1.2.3.4.5.6.7.", "1..3.4.5.6.7",
                             "a.2.3.4.5.6.7", "1.2.1000000000.4.5.6.7", "-1.2.3.4.5.6.7",
                             "1.2.3.4.5.6.7 ", "99999999999999999999.2.3.4.5.6.7"})
        EXPECT_FALSE(filestat::fromText(aBad).has_value()) << aBad;
}

// Racy when changed not before the record was written; a proof needs a later clock reading.
TEST(FileStat, RacyWhenChangedNotBeforeTheRecordWasWritten) {
    FileStat aStat{1, 100, 500, 100, 500, 1, 1};
    EXPECT_FALSE(filestat::isRacy(aStat, 101, 0));
    EXPECT_FALSE(filestat::isRacy(aStat, 100, 501));
    EXPECT_TRUE(filestat::isRacy(aStat, 100, 500));
    EXPECT_TRUE(filestat::isRacy(aStat, 99, 999999999));
    FileStat aLateChange = aStat;
    aLateChange.itsChangedSeconds = 200;
    EXPECT_TRUE(filestat::isRacy(aLateChange, 150, 0));
    EXPECT_FALSE(filestat::provesUnchanged(aStat, aStat, 100, 500));
    EXPECT_TRUE(filestat::provesUnchanged(aStat, aStat, 101, 0));

    // A proof needs times strictly before the clock reading; a time of a whole second may come
    // from a file system that keeps whole (or two) seconds, and must be two seconds older.
    aStat.itsChangedNanoseconds = 600;
    EXPECT_EQ(filestat::proofText(aStat, {100, 601}), filestat::toText(aStat));
    EXPECT_EQ(filestat::proofText(aStat, {100, 600}), "");
    FileStat aWholeSecond{1, 100, 0, 100, 600, 1, 1};
    EXPECT_EQ(filestat::proofText(aWholeSecond, {101, 999999999}), "");
    EXPECT_EQ(filestat::proofText(aWholeSecond, {102, 0}), filestat::toText(aWholeSecond));
    EXPECT_FALSE(filestat::ofPath("/no/such/file").has_value());
}

// In the default way; the other one is compared with it below.
TEST(Hash, StandardVectors) {
    EXPECT_EQ(hash::calc("abc"), theAbc);
    EXPECT_EQ(hash::calc(""), theEmpty);
    EXPECT_EQ(hash::calc("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"), theTwoBlock);
    EXPECT_EQ(hash::calc(std::string(1000000, 'a')), theMillionA);
    // The same million bytes fed in uneven pieces across block borders.
    const std::size_t aSizes[] = {1, 63, 64, 65, 127, 997};
    hash::Sha1 aHash;
    for (std::size_t aFed = 0, i = 0; aFed < 1000000; aFed += aSizes[i++ % 6])
        aHash.feed(std::string(std::min(aSizes[i % 6], 1000000 - aFed), 'a'));
    EXPECT_EQ(hash::toText(aHash.result()), theMillionA);
}

TEST(Hash, PortableAndAcceleratedAgree) {
    if (!hash::accelerationAvailable())
        GTEST_SKIP() << "no SHA instructions";
    std::mt19937 aRandom(42);
    std::string aBytes(3 * 1024 * 1024 + 17, '\0');
    for (char& aChar : aBytes)
        aChar = static_cast<char>(aRandom());
    // Every length up to 300, at uneven starts, then all the bytes.
    for (std::size_t anIndex = 0; anIndex <= 301; ++anIndex) {
        const std::size_t aLength = anIndex == 301 ? aBytes.size() : anIndex;
        std::string_view aPart(aBytes.data() + aLength % 7, aLength - (aLength > 7 ? 7 : 0));
        hash::useAcceleration(false);
        std::string aPortable = hash::calc(aPart);
        hash::useAcceleration(true);
        ASSERT_EQ(hash::calc(aPart), aPortable) << "length " << aPart.size();
    }
}

TEST(Hash, CorruptedStateIsReported) {
    // A finished hash keeps its result and refuses more input.
    hash::Sha1 aFinished;
    aFinished.feed("abc");
    EXPECT_EQ(hash::toText(aFinished.result()), theAbc);
    EXPECT_EQ(messageOf([&] { aFinished.feed("x"); }), "Invalid state");
    EXPECT_EQ(messageOf([&] { aFinished.result(); }), "The stream is corrupted");

    // A length beyond 2^64 - 1 bits is refused before any byte is read.
    hash::Sha1 aTooLong;
    aTooLong.feed("abc");
    static const char aByte = 0;
    EXPECT_EQ(messageOf([&] { aTooLong.feed(&aByte, std::size_t{1} << 61); }),
              "Invalid state: msg too long");
    EXPECT_EQ(messageOf([&] { aTooLong.result(); }), "The stream is corrupted");
}
