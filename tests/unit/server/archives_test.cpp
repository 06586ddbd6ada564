#include "server/archive.hpp"
#include "server/dumanifest.hpp"
#include "tests/unit/server/enginetestsupport.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace enginetest;
using ::testing::AnyOf;
using ::testing::HasSubstr;

namespace {

const std::string kText = object("p", "greeting", "txt");
const std::string kImage = object("p", "logo", "png");
const std::string kJson = object("p", "conf", "json");
const std::string kSub = object("p.sub", "note", "md");
const std::string kTextBytes = "Gr\xc3\xbc\xc3\x9f"
                               "e \xff\xfe\nline two\n";
const std::string kImageBytes = std::string("\x89PNG\r\n\x1a\n\0\0\r\n\0end", 17);

// A source repository with the unit DU (packages p and p.sub) holding a text with non-ASCII
// bytes, a binary with NUL and CR LF bytes, a JSON document and an object of the sub package.
class EngineArchives : public ::testing::Test, public EngineFixture {
protected:
    void SetUp() override {
        createPackage("p");
        createPackage("p.sub");
        ASSERT_EQ(createUnit("DU")->code(), "0");
        ASSERT_EQ(assign("p", "DU")->code(), "0");
        ASSERT_EQ(assign("p.sub", "DU")->code(), "0");
        write("ALICE", kText, kTextBytes);
        ASSERT_EQ(write("ALICE", kImage, kImageBytes, "", true)->code(), "0");
        write("ALICE", kJson, R"({"a":[1,2]})");
        write("ALICE", kSub, "# note\r\n");
        ASSERT_EQ(activate("ALICE", {kText, kImage, kJson, kSub})->code(), "0");
    }

    std::string exported(const std::string& theExtra = "") {
        return archiveOf(*succeeded(exportUnit("DU", theExtra)));
    }

    EngineFixture itsTarget;
};

std::vector<std::string> names(const Reply& theReply, const std::string& theList) {
    std::vector<std::string> aNames;
    // Exported and deleted objects come as list elements with their metadata.
    for (const auto& aValue :
         json::getList(getObject(theReply.itsJson, "exportSummary"), theList)) {
        const json::JsonObject& anElement = asObject(aValue);
        const bool aWrapped = json::hasMember(anElement, "object");
        aNames.push_back(getString(aWrapped ? getObject(anElement, "object") : anElement, "name"));
    }
    return aNames;
}

const json::JsonObject& summary(const Reply& theReply) {
    return getObject(theReply.itsJson, "importSummary");
}
// A count of the import's summary.
std::string count(const Reply& theReply, const char* theName) {
    return getString(summary(theReply), theName);
}

// One member of an archive: its name and content.
struct Member {
    std::string itsName, itsData;
};

std::vector<Member> membersOf(const std::string& theArchive) {
    server::InflationBudget aBudget(1u << 30);
    server::ArchiveReader aReader(theArchive, aBudget);
    std::vector<Member> aMembers;
    while (const auto aName = aReader.next())
        aMembers.push_back({*aName, aReader.content()});
    return aMembers;
}

std::string packed(const std::vector<Member>& theMembers) {
    server::ArchiveWriter aWriter;
    for (const Member& aMember : theMembers)
        aWriter.add(aMember.itsName, aMember.itsData);
    return aWriter.finish();
}

} // namespace

TEST_F(EngineArchives, ARoundTripCarriesEveryByteAndASecondImportChangesNothing) {
    auto anExport = succeeded(exportUnit("DU"));
    EXPECT_EQ(names(*anExport, "objects"),
              (std::vector<std::string>{"conf", "greeting", "logo", "note"}));
    std::string anArchive = archiveOf(*anExport);
    auto aMembers = membersOf(anArchive);
    ASSERT_EQ(aMembers.size(), 6u);
    EXPECT_EQ(aMembers[0].itsName, "manifest.json");
    EXPECT_EQ(aMembers[2].itsName, "objects/000001");
    EXPECT_EQ(aMembers[2].itsData, R"({"a":[1,2]})") << "conf is the first object by name";

    // A test import answers as if done and changes nothing.
    std::string aBefore = itsTarget.snapshot();
    auto aTest = succeeded(itsTarget.import({anArchive}, {"1", "1", "0", "1"}));
    EXPECT_EQ(itsTarget.snapshot(), aBefore);
    auto anImport = succeeded(itsTarget.import({anArchive}));
    for (const char* aCount : {"importCount", "activateCount", "deleteCount", "revertCount"})
        EXPECT_EQ(count(*aTest, aCount), count(*anImport, aCount));
    EXPECT_EQ(count(*anImport, "importCount"), "4");
    EXPECT_EQ(count(*anImport, "activateCount"), "4");
    EXPECT_EQ(getString(getObject(summary(*anImport), "header"), "exportType"), "1");
    // Every byte of a tree through export, import and checkout: DeliveryUnits.ExportImport...
    EXPECT_EQ(itsTarget.activeContent(kText), kTextBytes) << "bytes that are no UTF-8";
    EXPECT_EQ(itsTarget.activeContent(kImage), kImageBytes);
    auto aPackage = itsTarget.readPackage("p.sub");
    EXPECT_EQ(aPackage->get("delivery_unit"), "DU");
    EXPECT_EQ(aPackage->get("src_system"), "ZEV");

    aBefore = itsTarget.snapshot();
    auto aSecond = succeeded(itsTarget.import({anArchive}));
    EXPECT_EQ(count(*aSecond, "importCount"), "0");
    EXPECT_EQ(itsTarget.snapshot(), aBefore);
}

TEST_F(EngineArchives, APatchCarriesTheVersionsAndDeletionsOfItsWindow) {
    ASSERT_EQ(itsTarget.import({exported()})->code(), "0");
    server::SqliteDatabase(path(), false)
        .execute("UPDATE history SET activated_at = '2020-01-01 00:00:00.000'");
    write("ALICE", kText, "changed", basedOn("1"));
    ASSERT_EQ(activate("ALICE", {kText})->code(), "0");
    ASSERT_EQ(deleteObject("ALICE", kImage)->code(), "0");
    ASSERT_EQ(activate("ALICE", {kImage})->code(), "0");

    auto aPatch = succeeded(exportUnit("DU", R"(,"tst_FROM":"2021-01-01")", "delivery_unit_patch"));
    EXPECT_EQ(names(*aPatch, "objects"), std::vector<std::string>{"greeting"});
    EXPECT_EQ(names(*aPatch, "deletedObjects"), std::vector<std::string>{"logo"});
    // A window that ends before the changes holds nothing.
    auto anEarly = exportUnit("DU", R"(,"tst_FROM":"2019-01-01","tst_TO":"2020-06-01")",
                              "delivery_unit_patch");
    EXPECT_EQ(names(*anEarly, "objects").size(), 4u);
    EXPECT_TRUE(names(*anEarly, "deletedObjects").empty());

    auto anImport = succeeded(itsTarget.import({archiveOf(*aPatch)}));
    EXPECT_EQ(count(*anImport, "deleteCount"), "1");
    EXPECT_EQ(getString(getObject(summary(*anImport), "header"), "exportType"), "3");
    EXPECT_EQ(itsTarget.activeContent(kText), "changed");
    EXPECT_EQ(itsTarget.activeContent(kImage), "<none>");
    EXPECT_EQ(itsTarget.activeContent(kJson), R"({"a":[1,2]})") << "a patch deletes no others";
}

// A failed activation undoes the whole import; a whole unit deletes what it no longer holds.
TEST_F(EngineArchives, AWholeUnitActivatesAllOrNothingAndDeletesWhatItNoLongerHolds) {
    ASSERT_EQ(itsTarget.import({exported()})->code(), "0");
    write("ALICE", kJson, "{not json", basedOn("1"));
    ASSERT_EQ(activate("ALICE", {kJson}, "4")->code(), "40137");
    const std::string aBefore = itsTarget.snapshot();
    auto aFailed = itsTarget.import({exported()});
    EXPECT_EQ(aFailed->code(), "40136");
    EXPECT_EQ(itsTarget.snapshot(), aBefore);

    ASSERT_EQ(deleteObject("ALICE", kJson)->code(), "0");
    ASSERT_EQ(activate("ALICE", {kJson})->code(), "0");
    auto anImport = succeeded(itsTarget.import({exported()}));
    EXPECT_EQ(count(*anImport, "deleteCount"), "1");
    EXPECT_EQ(itsTarget.activeContent(kJson), "<none>");
    EXPECT_EQ(itsTarget.activeContent(kSub), "# note\r\n");
}

TEST_F(EngineArchives, ReleasedOnlyAliasAndExportVersionShapeTheArchive) {
    {
        server::SqliteDatabase aDatabase(path(), false);
        aDatabase.execute("UPDATE history SET change_number = 'ZEV//7' WHERE object_id IN "
                          "(SELECT id FROM objects WHERE name = 'greeting');"
                          "UPDATE history SET change_number = 'ZEV//8', released_at = "
                          "'2024-01-01 00:00:00.000' WHERE object_id IN "
                          "(SELECT id FROM objects WHERE name = 'conf')");
    }
    auto aReleased = exportUnit("DU", R"(,"released_only":"1")");
    EXPECT_EQ(names(*aReleased, "objects"), (std::vector<std::string>{"conf", "logo", "note"}));
    const auto& aChanges = json::getList(getObject(aReleased->itsJson, "exportSummary"), "changes");
    ASSERT_EQ(aChanges.size(), 1u);
    EXPECT_EQ(json::asString(aChanges[0]), "ZEV//8");

    auto anAliased = succeeded(exportUnit("DU", R"(,"alias":"ANON","version4Export":"2")"));
    const auto& aSummary = getObject(anAliased->itsJson, "exportSummary");
    EXPECT_EQ(getString(aSummary, "sourceSystem"), "ANON");
    EXPECT_EQ(getString(aSummary, "export_version"), "2");
    EXPECT_EQ(getString(asObject(json::getList(aSummary, "packages")[0]), "src_system"), "ANON");
    auto anImport = itsTarget.import({archiveOf(*anAliased)});
    ASSERT_EQ(anImport->code(), "0");
    const auto& aHeader = getObject(summary(*anImport), "header");
    EXPECT_EQ(getString(aHeader, "sourceSystem"), "ANON");
    EXPECT_EQ(getString(aHeader, "exportVersion"), "2");

    itsTarget.setting("export_version_min", "3");
    auto anOld = itsTarget.import({archiveOf(*anAliased)});
    EXPECT_EQ(anOld->code(), "40150");
    EXPECT_EQ(anOld->get("error-msg"),
              "Damaged archive: the archive has the export version \"2\"; this repository reads "
              "3 to 3");

    EXPECT_EQ(exportUnit("DU", R"(,"version4Export":"9")")->code(), "40130");
    EXPECT_EQ(exportUnit("DU", R"(,"tst_FROM":"yesterday")", "delivery_unit_patch")->code(),
              "40130");
}

// Several archives import in one transaction, and the import's limit bounds them together: one
// archive fits, two do not.
TEST_F(EngineArchives, SeveralArchivesAreImportedInOneTransactionWithinOneLimit) {
    createPackage("r");
    ASSERT_EQ(createUnit("RU")->code(), "0");
    ASSERT_EQ(assign("r", "RU")->code(), "0");
    const std::string aLarge(600u << 10, 'x');
    write("ALICE", object("r", "x", "txt"), aLarge);
    ASSERT_EQ(activate("ALICE", {object("r", "x", "txt")})->code(), "0");
    const std::string aFirst = exported(), aSecond = archiveOf(*exportUnit("RU"));
    itsTarget.setting("import_max_bytes", std::to_string(1u << 20));

    const std::string aBefore = itsTarget.snapshot();
    const std::vector<std::string> aFailures[] = {{aFirst, aSecond.substr(0, aSecond.size() / 2)},
                                                  {aSecond, aSecond}};
    for (const auto& anArchives : aFailures) {
        auto aFailed = itsTarget.import(anArchives);
        EXPECT_EQ(aFailed->code(), "40150");
        EXPECT_EQ(aFailed->get("error-arg"), "1.tgz");
        EXPECT_EQ(itsTarget.snapshot(), aBefore);
    }
    EXPECT_EQ(itsTarget.import({aSecond, aSecond})->get("error-msg"),
              "Damaged archive: the archives inflate past the import's limit of 1048576 bytes");

    auto anImport = succeeded(itsTarget.import({aFirst, aSecond}));
    EXPECT_EQ(count(*anImport, "importCount"), "5");
    EXPECT_EQ(itsTarget.activeContent(object("r", "x", "txt")), aLarge);
}

TEST_F(EngineArchives, LanguageArchivesCarryTheirHeader) {
    auto anExport = succeeded(exportUnit("DU", R"(,"languages":["de","fr"])", "languages"));
    auto anImport = succeeded(itsTarget.call("ALICE",
                                             R"({"action":"import","what":"languages","session":)" +
                                                 session("ALICE") + R"(,"filename":"texts.tgz"})",
                                             {}, {archiveOf(*anExport)}));
    const auto& aHeader =
        getObject(getObject(anImport->itsJson, "importLanguageSummary"), "header");
    EXPECT_EQ(getString(aHeader, "exportType"), "4");
    EXPECT_EQ(getString(aHeader, "languages"), "de,fr");
    EXPECT_EQ(itsTarget.import({archiveOf(*anExport)})->code(), "40150")
        << "a language archive is no delivery unit";
}

TEST_F(EngineArchives, DamagedArchivesAreRefusedAndChangeNothing) {
    std::string anArchive = exported();
    const auto aMembers = membersOf(anArchive);
    std::string aCorrupted = anArchive;
    for (std::size_t i = aCorrupted.size() / 3; i < aCorrupted.size() / 3 + 8; ++i)
        aCorrupted[i] = static_cast<char>(aCorrupted[i] ^ 0x5a);
    // The archive with its members changed by theChange.
    auto aChanged = [&](auto theChange) {
        auto aCopy = aMembers;
        theChange(aCopy);
        return packed(aCopy);
    };
    auto aWith = [&](const std::string& theName, const std::string& theData) {
        return aChanged([&](std::vector<Member>& theMembers) {
            theMembers.push_back({theName, theData});
        });
    };
    // The manifest with theFrom replaced by theTo, and its checksum to match.
    auto anEdited = [&](const std::string& theFrom, const std::string& theTo) {
        return aChanged([&](std::vector<Member>& theMembers) {
            std::string& aText = theMembers[0].itsData;
            aText.replace(aText.find(theFrom), theFrom.size(), theTo);
            theMembers[1].itsData = server::sha256Hex(aText);
        });
    };
    const std::string aForged = "{\"header\":{}}";
    const std::string aBomb = aWith("padding", std::string(4u << 20, '\0'));
    // Long names in extended headers count as much as contents.
    const std::string aLongName = aWith(std::string(1u << 19, 'n'), "");

    itsTarget.createPackage("keep");
    itsTarget.setting("import_max_bytes", std::to_string(1u << 18));
    const struct {
        std::string itsBytes, itsWords, itsArgument = "du.tgz";
    } aCases[] = {
        {anArchive.substr(0, anArchive.size() - 40), "truncated"},
        {anArchive.substr(0, 100), "truncated"},
        {aCorrupted, "corrupted"},
        {"", "not a gzip-compressed tar"},
        {"plain text, not an archive", "not a gzip-compressed tar"},
        {aWith("objects/../../evil", "x"), "climbs out"},
        {aWith("/etc/evil", "x"), "climbs out"},
        {aChanged([](std::vector<Member>& theMembers) { theMembers.pop_back(); }),
         "missing member \"objects/000004\""},
        {aChanged([](std::vector<Member>& theMembers) { theMembers.back().itsData += "!"; }),
         "checksum"},
        {anEdited(R"(objects\/000002)", R"(objects\/000001)"),
         "names the member \"objects/000001\" twice"},
        {packed({{"other.txt", "x"}}), "no member \"manifest.json\""},
        {packed({{"manifest.json", aForged}}), "\"manifest.json\" does not match"},
        {packed({{"manifest.json", aForged}, {"manifest.sha256", server::sha256Hex(aForged)}}),
         "manifest cannot be read"},
        {aBomb, "limit of 262144 bytes"},
        {aLongName, "limit of 262144 bytes"},
        {aWith("objects/000009", "x"), "\"objects/000009\" is not named by the manifest"},
        {aChanged([](std::vector<Member>& theMembers) { std::swap(theMembers[0], theMembers[2]); }),
         "no member \"manifest.json\" at its start"},
        // As an older repository could export it: refused whole.
        {anEdited(R"("name":"note")", R"("name":"back\\slash")"),
         "Damaged archive: the manifest names the invalid object \"p.sub/back\\slash.md\": "
         "Invalid repository object \"p.sub/back\\slash.md\": its name and suffix must form a "
         "plain file name of at most 200 bytes (not \".\" or \"..\", without \"/\", \"\\\", a NUL "
         "byte or any of \",^:?<>|\")."},
        // Each package is looked up once per import: p's objects come before this one.
        {anEdited(R"("package":"p.sub")", R"("package":"p.gone")"),
         "Damaged archive: the object p.sub/note.md belongs to a package that the archive does "
         "not carry",
         "p.sub"},
    };
    ASSERT_LT(aBomb.size() + aLongName.size(), 64u << 10) << "small archives that inflate a lot";
    std::string aBefore = itsTarget.snapshot();
    for (const auto& aCase : aCases) {
        auto aReply = itsTarget.import({aCase.itsBytes});
        EXPECT_EQ(aReply->code(), "40150") << aCase.itsWords << ": " << aReply->text();
        // Bytes flipped inside the compressed stream are caught by the decompressor, or, where
        // the stream still inflates, by the checksum of the member they landed in.
        const std::string anOr =
            aCase.itsWords == "corrupted" ? "does not match its checksum" : aCase.itsWords;
        EXPECT_THAT(aReply->get("error-msg"), AnyOf(HasSubstr(aCase.itsWords), HasSubstr(anOr)));
        EXPECT_EQ(aReply->get("error-arg"), aCase.itsArgument);
        EXPECT_EQ(itsTarget.snapshot(), aBefore) << aCase.itsWords;
    }
}

TEST_F(EngineArchives, NoSingleFlippedByteOfAnArchiveGoesUnnoticed) {
    std::string anArchive = exported();
    ASSERT_EQ(itsTarget.import({anArchive})->code(), "0");
    std::string aBefore = itsTarget.snapshot();
    // A flip either makes the archive unreadable or leaves what it holds as it was (the gzip
    // header's time and system fields, the padding after the last member).
    for (std::size_t i = 0; i < anArchive.size(); ++i) {
        std::string aFlipped = anArchive;
        aFlipped[i] = static_cast<char>(aFlipped[i] ^ 0x10);
        auto aReply = itsTarget.import({aFlipped});
        if (aReply->code() == "40150")
            continue;
        ASSERT_EQ(aReply->code(), "0") << i;
        ASSERT_EQ(count(*aReply, "importCount"), "0") << i;
    }
    EXPECT_EQ(itsTarget.snapshot(), aBefore);
}

TEST_F(EngineArchives, TheLaterOfSeveralArchivesDecidesAboutAnObject) {
    std::string anOld = exported();
    write("ALICE", kText, "newer", basedOn("1"));
    ASSERT_EQ(activate("ALICE", {kText})->code(), "0");
    std::string aNew = exported();

    ASSERT_EQ(itsTarget.import({anOld, aNew})->code(), "0");
    EXPECT_EQ(itsTarget.activeContent(kText), "newer");
    // The older archive again, after the newer one: its content is the active one of before.
    succeeded(itsTarget.import({aNew, anOld}));
    EXPECT_EQ(itsTarget.activeContent(kText), kTextBytes);
    // The newer one's version is dropped again when the later archive holds the active content.
    auto aDropped = succeeded(itsTarget.import({aNew, anOld}));
    EXPECT_EQ(count(*aDropped, "activateCount"), "0");
}

// New objects get their row and first version together, existing ones the general write; either
// way the count of inactive versions must match, or a later drop of the package misses them.
TEST_F(EngineArchives, ForceRemoveReplacesTheWorkspacesOwnVersionsAndCountsThem) {
    std::string anArchive = exported();
    itsTarget.createPackage("p");
    itsTarget.write("ALICE", kText, "my own work");
    std::string aBefore = itsTarget.snapshot();
    EXPECT_EQ(itsTarget.import({anArchive}, {"0", "1", "0", "0"})->code(), "40131");
    EXPECT_EQ(itsTarget.snapshot(), aBefore);

    auto anImport = succeeded(itsTarget.import({anArchive}, {"1", "0", "0", "0"}));
    EXPECT_EQ(count(*anImport, "importCount"), "4");
    EXPECT_EQ(count(*anImport, "revertCount"), "1");
    EXPECT_EQ(anImport->get("activationID"), "") << "nothing activated";
    EXPECT_EQ(itsTarget.miscounted(), 0);

    // Again, over the versions the first import left: each is replaced, none counted twice.
    auto aSecond = succeeded(itsTarget.import({anArchive}, {"1", "0", "0", "0"}));
    EXPECT_EQ(count(*aSecond, "revertCount"), "4");
    EXPECT_EQ(itsTarget.miscounted(), 0);
    ASSERT_EQ(itsTarget.activate("ALICE", {kText, kImage, kJson, kSub})->code(), "0");
    EXPECT_EQ(itsTarget.miscounted(), 0);
    EXPECT_EQ(itsTarget.activeContent(kText), kTextBytes);
}

// A new object of the archive that another writer inserted after the import looked for it: the
// import's insert finds it and the whole import fails, rather than put a second object.
TEST_F(EngineArchives, AnImportRefusesANewObjectThatExistsMeanwhile) {
    const std::string anArchive = exported();
    server::SqliteDatabase(itsTarget.path(), false)
        .execute("CREATE TRIGGER meanwhile BEFORE INSERT ON objects WHEN NEW.name = 'greeting' "
                 "BEGIN INSERT OR IGNORE INTO objects (package, name, suffix) "
                 "VALUES (NEW.package, NEW.name, NEW.suffix); END");
    const std::string aBefore = itsTarget.snapshot();
    try {
        itsTarget.import({anArchive});
        ADD_FAILURE() << "imported";
    } catch (const server::StorageError& anError) {
        EXPECT_STREQ(anError.what(),
                     "Repository storage failed: object p/greeting.txt exists already");
    }
    EXPECT_EQ(itsTarget.snapshot(), aBefore);
}
