#pragma once

#include "server/transaction.hpp"
#include "tests/unit/server/enginetestsupport.hpp"

#include <string>
#include <vector>

namespace enginetest {

// A repository with the requests of delivery units at hand: administration, export and import.
class UnitFixture : public EngineFixture {
public:
    std::unique_ptr<Reply> createUnit(const std::string& theName,
                                      const std::string& theVendor = "acme") {
        return call(
            "ALICE",
            R"({"action":"create","what":"deliveryUnit","name":")" + theName + R"(","vendor":")" +
                theVendor +
                R"(","caption":"Orders","responsible":"ALICE","version":"1","version_sp":"2","version_patch":"3","qrtsID":"","sp_QRTS_ID":"","ach":"CA"})");
    }

    std::unique_ptr<Reply> assign(const std::string& thePackage, const std::string& theUnit,
                                  const std::string& theVendor = "acme") {
        return call("ALICE", R"({"action":"update","what":"package","package":")" + thePackage +
                                 R"(","delivery_unit":")" + theUnit + R"(","du_vendor":")" +
                                 theVendor + "\"}");
    }

    // Writes binary content (BDATA) into ALICE's default workspace.
    std::unique_ptr<Reply> writeBinary(const std::string& theObject, const std::string& theBytes) {
        return call(
            "ALICE",
            R"({"action":"write","what":"object","session":)" + session("ALICE") + R"(,"object":)" +
                theObject +
                R"(,"determineReferences":"1","xrefList":[],"texts":[],"content_texts":[]})",
            {}, {theBytes});
    }

    // Exports the unit; theExtra holds further members, each with a leading comma.
    std::unique_ptr<Reply> exportUnit(const std::string& theUnit, const std::string& theExtra = "",
                                      const std::string& theWhat = "delivery_unit") {
        return call(
            "ALICE",
            R"({"action":"export","what":")" + theWhat + R"(","delivery_unit":")" + theUnit +
                R"(","du_vendor":"acme","alias":"","file":"","provide_content":"1","export_summary":"1")" +
                theExtra + "}");
    }

    // Imports archives into ALICE's default workspace; one archive is a file import, several a
    // file-list import. theOptions: forceRemove, autoActivate, activationMode, onlyTestImport.
    std::unique_ptr<Reply> import(const std::vector<std::string>& theArchives,
                                  const std::vector<std::string>& theOptions = {"1", "1", "0",
                                                                                "0"}) {
        std::string aJson = R"({"action":"import","what":")";
        if (theArchives.size() == 1) {
            aJson += R"(file","session":)" + session("ALICE") + R"(,"filename":"du.tgz")";
        } else {
            aJson += R"(fileList","session":)" + session("ALICE") + R"(,"fileList":[)";
            for (std::size_t i = 0; i < theArchives.size(); ++i)
                aJson += (i ? ",\n\"" : "\"") + std::to_string(i) + ".tgz\"";
            aJson += "]";
        }
        aJson += R"(,"forceRemove":")" + theOptions[0] + R"(","autoActivate":")" + theOptions[1] +
                 R"(","activationMode":")" + theOptions[2] + R"(","onlyTestImport":")" +
                 theOptions[3] + R"(","determineXrefs":"0","contentProvided":"1"})";
        return call("ALICE", aJson, {}, theArchives);
    }

    // The content of the active version: its CDATA, else its BDATA; "<none>" when it has none.
    std::string activeContent(const std::string& theObject) {
        auto aRead = call(
            "ALICE", R"({"action":"read","what":"object","session":{"sessionType":"1"},"object":)" +
                         theObject + R"(,"version":{"versionType":"1"},"winformat":"0"})");
        if (aRead->code() != "0")
            return "<none>";
        const auto& aCData = aRead->itsMessage.getCDataVec();
        const auto& aBData = aRead->itsMessage.getBDataVec();
        if (!aCData.empty() && aCData[0] && !aCData[0]->empty())
            return *aCData[0];
        return aBData.empty() || !aBData[0] ? std::string() : *aBData[0];
    }

    // Everything a refused request must leave as it was: the row counts and the packages.
    std::string snapshot() {
        auto& aStore = engine().store();
        RepositoryAccess::server::Transaction aTransaction(aStore.database(), false);
        std::string aText;
        for (const char* aTable :
             {"objects", "history", "inactive_versions", "packages", "delivery_units"})
            aText += std::string(aTable) + "=" + std::to_string(aStore.countRows(aTable)) + " ";
        for (const auto& aPackage : aStore.listPackages())
            aText += aPackage.itsName + ":" + aPackage.itsDeliveryUnit + " ";
        aTransaction.commit();
        return aText;
    }
};

// The archive an export answered with (BDATA of slot 0).
inline std::string archiveOf(const Reply& theReply) {
    const auto& aBData = theReply.itsMessage.getBDataVec();
    return aBData.empty() || !aBData[0] ? std::string() : *aBData[0];
}

} // namespace enginetest
