#include "workspace/workspacefile.hpp"

#include <gtest/gtest.h>

#include "tests/unit/workspace/workspacefixture.hpp"

using kivotest::readText;
using kivotest::writeText;
using RepositoryAccess::WorkSpaceConfigFile;
using RepositoryAccess::WorkSpaceStatusFile;
using wstest::messageOf;
namespace fs = std::filesystem;

namespace {

class SettingsFiles : public wstest::WorkSpaceTest {};

const std::string theAbc = "2845392438.1191608682.3124634993.2018558572.2630932637";
const std::string theEmpty = "3661210606.1584089869.844480495.2506102928.2950170377";

const std::string theConfigExample =
    "{\n\"name\":\"orders\",\n\"hostname\":\"\",\n\"user\":\"\",\n"
    "\"database\":\"\",\n\"key\":\"ORDERSKEY\",\n"
    "\"sslEncrypt\":\"TRUE\",\n\"sslTrustStore\":\"\\/etc\\/ca.pem\",\n"
    "\"client_format_version\":\"0001.0001.0000\",\n"
    "\"trackedPackages\":[\"acme.orders\",\n\"acme.shared\"]\n}\n";

const std::string theStatusExample =
    "{\n\"name\":\"orders\",\n"
    "\"filenames\":[{\"filename\":\"acme/orders/Customer.table\",\"sha1value\":\"" +
    theEmpty +
    "\",\"timest\":\"2024-03-07 09:05:01.050 UTC\",\"baseversion\":\"0\"},\n"
    "{\"filename\":\"acme/orders/Order.table\",\"sha1value\":\"" +
    theAbc +
    "\",\"timest\":\"2024-03-07 09:05:01.042 UTC\",\"baseversion\":\"3\","
    "\"filestat\":\"3.100.5.100.6.7.8\"}],\n"
    "\"conflicts\":[\"acme/orders/Order.table\"]\n}\n";

std::string configWithVersion(const std::string& theVersion) {
    return "{\"name\":\"ws\",\"client_format_version\":\"" + theVersion + "\"}";
}

} // namespace

TEST_F(SettingsFiles, ConfigLayoutAndTracking) {
    const std::string aPath = (dir() / ".kivoConfig").string();
    WorkSpaceConfigFile aConfig(aPath, "orders", "ORDERSKEY", "", "", "", "0001.0001.0000");
    EXPECT_FALSE(aConfig.isModified());
    EXPECT_EQ(aConfig.trackPackage("acme.orders"), std::vector<std::string>{});
    aConfig.trackPackage("acme.shared");
    EXPECT_TRUE(aConfig.isModified());
    // TLS settings are kept only when given.
    aConfig.setTlsSetting("sslTrustStore", "/etc/ca.pem");
    aConfig.setTlsSetting("sslEncrypt", "TRUE");
    aConfig.setTlsSetting("sslKeyStore", "");
    aConfig.write();
    EXPECT_FALSE(aConfig.isModified());
    EXPECT_EQ(readText(aPath), theConfigExample);

    // The super package replaces its tracked sub packages; tracking a tracked one changes nothing
    // (the messages for a sub package and an untracked one: Track, end to end).
    auto aRead = WorkSpaceConfigFile::load(aPath);
    EXPECT_EQ(aRead->key(), "ORDERSKEY");
    EXPECT_EQ(aRead->tlsSetting("sslTrustStore"), "/etc/ca.pem");
    EXPECT_EQ(aRead->tlsSetting("sslKeyStore"), "");
    EXPECT_TRUE(aRead->otherMembers().empty()) << "kept settings are no unknown members";
    EXPECT_EQ(aRead->trackPackage("acme"),
              (std::vector<std::string>{"acme.orders", "acme.shared"}));
    takeOutput();
    aRead->write();
    EXPECT_TRUE(aRead->trackPackage("acme").empty());
    EXPECT_EQ(takeOutput(), "Package \"acme\" is already tracked.\n");
    EXPECT_FALSE(aRead->isModified());
    aRead->unTrackPackage("acme");
    EXPECT_TRUE(aRead->isModified());
    EXPECT_TRUE(aRead->trackedPackages().empty());
}

TEST_F(SettingsFiles, UnknownMembersSurviveARewriteByteForByte) {
    const fs::path aConfigPath = dir() / ".kivoConfig";
    writeText(aConfigPath, "{ \"name\" : \"ws\", \"zExtra\" : {\"b\" : [1, \"x\\\"y\", null]},\n"
                           "  \"custom\":\"v\\/w\\u00e9\", \"trackedPackages\":[\"a\"] }");
    auto aConfig = WorkSpaceConfigFile::load(aConfigPath.string());
    aConfig->trackPackage("b");
    aConfig->write();
    EXPECT_EQ(readText(aConfigPath),
              "{\n\"name\":\"ws\",\n\"hostname\":\"\",\n\"user\":\"\",\n\"database\":\"\",\n"
              "\"key\":\"\",\n\"client_format_version\":\"0001.0001.0000\",\n"
              "\"trackedPackages\":[\"a\",\n\"b\"],\n\"custom\":\"v\\/w\\u00e9\",\n"
              "\"zExtra\":{\"b\" : [1, \"x\\\"y\", null]}\n}\n");

    const fs::path aStatusPath = dir() / ".kivoStatus";
    writeText(aStatusPath, "{\"name\":\"ws\",\"filenames\":[],\"conflicts\":[],\"later\":[{}]}");
    auto aStatus = WorkSpaceStatusFile::load(aStatusPath.string(), dir().string());
    aStatus->addConflict((dir() / "x").string());
    aStatus->write();
    EXPECT_EQ(readText(aStatusPath), "{\n\"name\":\"ws\",\n\"filenames\":[],\n"
                                     "\"conflicts\":[\"x\"],\n\"later\":[{}]\n}\n");
}

// A newer major version is refused, an older or same one accepted and rewritten with ours; the
// version's own syntax is checked where versions are parsed.
TEST_F(SettingsFiles, ClientFormatVersionAndMalformedFiles) {
    const fs::path aPath = dir() / ".kivoConfig";
    const std::string aName = aPath.string();
    writeText(aPath, configWithVersion("0002.0000.0000"));
    EXPECT_EQ(messageOf([&] { WorkSpaceConfigFile::load(aName); }),
              "Outdated Kivo version (Kivo client format version: 0001.0001.0000, workspace file "
              "client format version: 0002.0000.0000)");
    writeText(aPath, configWithVersion("0001.0099.0007"));
    EXPECT_EQ(messageOf([&] { WorkSpaceConfigFile::load(aName); }), "no error");
    writeText(aPath, configWithVersion("0000.0001.0000"));
    WorkSpaceConfigFile::load(aName)->write();
    EXPECT_TRUE(
        kivotest::contains(readText(aPath), "\"client_format_version\":\"0001.0001.0000\""));

    const std::pair<std::string, std::string> aDamaged[] = {
        {"{\"name\":\"ws\",", "Could not parse workspace file \"" + aName + "\""},
        {"{\"key\":\"k\"}", "Could not find \"name\" in object: \"{\"key\":\"k\"}\""},
        {"{\"name\":\"ws\",\"trackedPackages\":[\"a\",7]}", "The type is wrong"},
    };
    for (const auto& [aText, aMessage] : aDamaged) {
        writeText(aPath, aText);
        EXPECT_EQ(messageOf([&] { WorkSpaceConfigFile::load(aName); }), aMessage) << aText;
    }
}

TEST_F(SettingsFiles, StatusLayoutAndOperations) {
    const std::string aWs = dir().string();
    const std::string aPath = (dir() / ".kivoStatus").string();
    const std::string anOrder = aWs + "/acme/orders/Order.table";
    const std::string aCustomer = aWs + "/acme/orders/Customer.table";
    WorkSpaceStatusFile aStatus(aPath, "orders", aWs);
    aStatus.setFileStatus(anOrder, theAbc, "2024-03-07 09:05:01.042 UTC", 3, "3.100.5.100.6.7.8");
    aStatus.setFileStatus(aCustomer, theEmpty, "2024-03-07 09:05:01.050 UTC", 0);
    aStatus.addConflict(anOrder);
    aStatus.write();
    EXPECT_EQ(readText(aPath), theStatusExample);

    auto aRead = WorkSpaceStatusFile::load(aPath, aWs);
    const std::string aNew = aWs + "/acme/New.txt";
    EXPECT_EQ(messageOf([&] { aRead->getHash(aNew); }),
              "Could not find hash status information for file: \"" + aNew +
                  "\" in workspace file.");
    EXPECT_EQ(messageOf([&] { aRead->getTimestamp(aNew); }),
              "Could not find time stamp status information for file: \"" + aNew +
                  "\" in workspace file.");
    EXPECT_EQ(aRead->getBaseVersion(aNew), 0);
    EXPECT_FALSE(aRead->isModified());

    // A new base version of an unknown file is a dummy change; of a known one it keeps the hash.
    const std::string& aDummy = RepositoryAccess::workspacefile::dummyChangeHash();
    aRead->setBaseVersion(aNew, 5);
    EXPECT_TRUE(aRead->isModified());
    EXPECT_EQ(aRead->getHash(aNew), aDummy);
    EXPECT_EQ(aRead->getTimestamp(aNew), "");
    // It keeps the stat proof too; no change keeps a stale one.
    aRead->setBaseVersion(anOrder, 4);
    EXPECT_EQ(aRead->getHash(anOrder), theAbc);
    EXPECT_EQ(aRead->files().at(anOrder).filestat, "3.100.5.100.6.7.8");
    aRead->markAsDummyChange(anOrder);
    EXPECT_EQ(aRead->getHash(anOrder), aDummy);
    EXPECT_EQ(aRead->getBaseVersion(anOrder), 4);
    EXPECT_EQ(aRead->files().at(anOrder).filestat, "");
    aRead->setFileStatus(aCustomer, theEmpty, "t", 0, "3.100.5.100.6.7.8");
    aRead->setFileStatus(aCustomer, theAbc, "t", 0);
    EXPECT_EQ(aRead->files().at(aCustomer).filestat, "");
    // A noted proof counts only for the hash it was taken with.
    aRead->noteProof(aCustomer, theEmpty, "1.2.3.4.5.6.7");
    EXPECT_EQ(aRead->files().at(aCustomer).filestat, "");
    aRead->noteProof(aCustomer, theAbc, "1.2.3.4.5.6.7");
    EXPECT_EQ(aRead->files().at(aCustomer).filestat, "1.2.3.4.5.6.7");
    aRead->markAsDummyChange(anOrder, 9);
    EXPECT_EQ(aRead->getBaseVersion(anOrder), 9);
    aRead->removeFile(aNew);
    aRead->removeConflict(anOrder);
    EXPECT_EQ(aRead->fileNames(), (std::set<std::string>{aCustomer, anOrder}));
    EXPECT_TRUE(aRead->conflictedFiles().empty());

    // Stored names with backslashes or a leading slash, and an entry without base version.
    writeText(aPath, "{\"name\":\"o\",\"filenames\":[{\"filename\":\"a\\\\b.txt\",\"sha1value\":"
                     "\"h\",\"timest\":\"t\"},{\"filename\":\"/c.txt\",\"sha1value\":\"h\","
                     "\"timest\":\"t\",\"baseversion\":\"12x\"}],\"conflicts\":[]}");
    aRead = WorkSpaceStatusFile::load(aPath, aWs);
    EXPECT_EQ(aRead->getBaseVersion(aWs + "/a/b.txt"), 0);
    EXPECT_EQ(aRead->getBaseVersion(aWs + "/c.txt"), 12);
    writeText(aPath, "{\"name\":\"o\",\"filenames\":[]}");
    EXPECT_TRUE(messageOf([&] {
                    WorkSpaceStatusFile::load(aPath, aWs);
                }).starts_with("Could not find \"conflicts\" in object: "));
}

// The hashes and times handed out are views that outlive thousands of later changes (under the
// address sanitizer no view may point into freed memory), and a long text is kept whole.
TEST_F(SettingsFiles, StatusTextsOutliveLaterChanges) {
    const std::string aWs = dir().string();
    const std::string aPath = (dir() / ".kivoStatus").string();
    const std::string aFirst = aWs + "/p/first.txt";
    WorkSpaceStatusFile aStatus(aPath, "p", aWs);
    aStatus.setFileStatus(aFirst, theAbc, "2024-03-07 09:05:01.042 UTC", 1);
    aStatus.write();
    auto aRead = WorkSpaceStatusFile::load(aPath, aWs);
    const std::string_view aHash = aRead->getHash(aFirst);
    const std::string_view aTime = aRead->getTimestamp(aFirst);

    aRead->setFileStatus(aFirst, theEmpty, aRead->getTimestamp(aFirst), 2);
    const std::string aLong(100000, 'x');
    for (int i = 0; i < 5000; ++i)
        aRead->setFileStatus(aWs + "/p/f" + std::to_string(i), i == 7 ? aLong : theAbc, "t", i);
    aRead->removeFile(aFirst);
    EXPECT_EQ(aHash, theAbc);
    EXPECT_EQ(aTime, "2024-03-07 09:05:01.042 UTC");
    EXPECT_FALSE(aRead->hasFile(aFirst));

    // A name that the file lists twice keeps its last entry, in either reader.
    const std::string aTwice = "{\n\"name\":\"p\",\n\"filenames\":["
                               "{\"filename\":\"p/a\",\"sha1value\":\"h1\",\"timest\":\"t1\","
                               "\"baseversion\":\"1\"},\n"
                               "{\"filename\":\"p/a\",\"sha1value\":\"h2\",\"timest\":\"t2\","
                               "\"baseversion\":\"2\"}],\n\"conflicts\":[]\n}\n";
    for (const std::string& aText : {aTwice, " " + aTwice}) {
        writeText(aPath, aText);
        const auto aTwiceRead = WorkSpaceStatusFile::load(aPath, aWs);
        EXPECT_EQ(aTwiceRead->files().size(), 1u);
        EXPECT_EQ(aTwiceRead->getHash(aWs + "/p/a"), "h2");
        EXPECT_EQ(aTwiceRead->getBaseVersion(aWs + "/p/a"), 2);
    }

    // Written and read again, every entry is there with its own texts.
    aRead->write();
    const auto anAgain = WorkSpaceStatusFile::load(aPath, aWs);
    EXPECT_EQ(anAgain->files().size(), 5000u);
    EXPECT_EQ(anAgain->getHash(aWs + "/p/f7"), aLong);
    EXPECT_EQ(anAgain->getTimestamp(aWs + "/p/f12"), "t");
    EXPECT_EQ(anAgain->getBaseVersion(aWs + "/p/f4999"), 4999);
}

// The program's own status layout is read without the JSON parser; any other layout must give the
// same result, and a damaged one the parse message.
TEST_F(SettingsFiles, StatusReadTheSameInEveryLayout) {
    const std::string aFile = (dir() / "status").string();
    auto load = [&](const std::string& theText) {
        writeText(aFile, theText);
        return WorkSpaceStatusFile::load(aFile, (dir() / "ws").string());
    };
    auto aCanonical = load(theStatusExample);
    std::string aSpaced = theStatusExample;
    aSpaced.replace(aSpaced.find("\"filenames\":["), 13, "\"filenames\" : [ ");
    std::string anEscaped = theStatusExample;
    anEscaped.replace(anEscaped.find("acme/orders/Customer"), 5, "acme\\/");
    for (const std::string& anOther : {aSpaced, anEscaped}) {
        auto aGeneral = load(anOther);
        EXPECT_EQ(aGeneral->toText(), aCanonical->toText());
    }
    EXPECT_EQ(aCanonical->getBaseVersion((dir() / "ws/acme/orders/Order.table").string()), 3);
    EXPECT_EQ(aCanonical->toText(), theStatusExample);
    const std::string aCut = theStatusExample.substr(0, theStatusExample.size() - 4);
    EXPECT_EQ(messageOf([&] { load(aCut); }), "Could not parse workspace file \"" + aFile + "\"");
}
