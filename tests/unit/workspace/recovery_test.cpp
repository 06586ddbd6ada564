#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/messages.hpp"
#include "tests/support/process.hpp"
#include "workspace/journal.hpp"
#include "workspace/sys.hpp"

using kivotest::messageOf;

namespace sys = RepositoryAccess::sys;
namespace journal = RepositoryAccess::journal;
using RepositoryAccess::JournalEntry;
namespace fs = std::filesystem;

namespace {

std::string str(const fs::path& thePath) {
    return thePath.string();
}

} // namespace

TEST(Recovery, TemporaryFileNamesTellTheirProcess) {
    EXPECT_EQ(sys::temporaryFileOwner("a.txt.kivoMeta.tmp123_4"), 123);
    EXPECT_EQ(sys::temporaryFileOwner(".kivoStatus.tmp9_0"), 9);
    // Not the program's own pattern: never taken for a temporary file.
    for (const char* aName : {".kivoStatus", "notes.tmp_x", "a.tmp12_", "a.tmp_3", "a.tmpx1_2",
                              "a.tmp1_2b", "a.tmp12345678901_1"})
        EXPECT_EQ(sys::temporaryFileOwner(aName), 0) << aName;
}

TEST(Recovery, JournalKeepsHostileNamesAndRejectsDamage) {
    kivotest::TempDir aTemp;
    const std::string aFile = journal::fileName(str(aTemp.path()));
    const std::vector<JournalEntry> anEntries{
        {"p.\"q.r\"", "na\"me\\with\ttab\nline", "txt", JournalEntry::Repair::repository},
        {"p", "b/c", "", JournalEntry::Repair::checkout}};
    journal::write(aFile, anEntries);
    const auto aRead = journal::read(aFile);
    ASSERT_EQ(aRead.size(), 2u);
    for (std::size_t i = 0; i < aRead.size(); ++i) {
        EXPECT_EQ(aRead[i].itsPackage, anEntries[i].itsPackage);
        EXPECT_EQ(aRead[i].itsName, anEntries[i].itsName);
        EXPECT_EQ(aRead[i].itsSuffix, anEntries[i].itsSuffix);
        EXPECT_EQ(aRead[i].itsRepair, anEntries[i].itsRepair);
    }
    // The durable write leaves nothing beside the journal.
    EXPECT_EQ(std::distance(fs::directory_iterator(aTemp.path()), fs::directory_iterator()), 1);

    for (const char* aDamaged :
         {"", "{\"objects\":[", "{\"objects\":{}}", "{\"objects\":[{\"package\":\"p\"}]}",
          "{\"objects\":[{\"package\":\"p\",\"name\":\"n\",\"suffix\":\"s\",\"repair\":\"x\"}]}",
          "{\"objects\":[7]}"}) {
        kivotest::writeText(aFile, aDamaged);
        EXPECT_EQ(messageOf([&] { journal::read(aFile); }),
                  "Failed to parse journal file: " + aFile)
            << aDamaged;
    }
}

TEST(Recovery, OneOpenGivesContentAndItsTime) {
    kivotest::TempDir aTemp;
    const std::string aFile = str(aTemp.path() / "d1" / "d2" / "f.txt");
    EXPECT_EQ(sys::createDirectories(aFile), 2);
    EXPECT_EQ(sys::createDirectories(aFile), 0);
    const std::string aStamp = sys::writeFileStamped(aFile, "content");
    EXPECT_EQ(aStamp, sys::getts(aFile));
    const sys::StampedContent aRead = sys::readFileStamped(aFile);
    EXPECT_EQ(*aRead.itsBytes, "content");
    EXPECT_EQ(aRead.itsTimestamp, aStamp);
    EXPECT_EQ(sys::readFileIfExists(aFile + ".missing"), nullptr);
    EXPECT_EQ(*sys::readFileIfExists(aFile), "content");
    // A directory removed behind the program's back is created again once it is forgotten.
    fs::remove_all(aTemp.path() / "d1");
    sys::forgetKnownDirectories();
    EXPECT_EQ(sys::createDirectories(aFile), 2);
    // A file where a directory should be is an error, not a silent success.
    const std::string aBlocked = str(aTemp.path() / "plain");
    kivotest::writeText(aBlocked, "x");
    EXPECT_NE(messageOf([&] {
                  sys::createDirectories(aBlocked + "/sub/f");
              }).find("Failed to create directory: \"" + aBlocked),
              std::string::npos);
}
