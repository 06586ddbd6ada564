#include "core/commandsyntax.hpp"
#include "core/textcase.hpp"

namespace RepositoryAccess::commandsyntax {

namespace {

// A syntax written in one line: each usage token may carry its expansion map in braces, with
// "p" for "the matched word goes to p" and "p=value" for a literal value. The first token
// (ACTION) always sets `action` to the typed word.
// Example: "ACTION{what=package} package PACKAGE{package} PACKAGE...{package}".
CommandSyntax syntax(std::string_view theLine) {
    std::vector<std::string> aUsage;
    std::vector<std::vector<std::pair<std::string, std::string>>> aMaps;
    std::size_t aPos = 0;
    while (aPos < theLine.size()) {
        std::size_t anEnd = theLine.find(' ', aPos);
        if (anEnd == std::string_view::npos)
            anEnd = theLine.size();
        std::string_view aPiece = theLine.substr(aPos, anEnd - aPos);
        aPos = anEnd + 1;

        std::vector<std::pair<std::string, std::string>> aMap;
        if (aUsage.empty())
            aMap.emplace_back("action", "$");
        std::size_t aBrace = aPiece.find('{');
        if (aBrace != std::string_view::npos) {
            std::string_view aList = aPiece.substr(aBrace + 1, aPiece.size() - aBrace - 2);
            while (!aList.empty()) {
                std::size_t aComma = aList.find(',');
                std::string_view anItem = aList.substr(0, aComma);
                std::size_t anEq = anItem.find('=');
                if (anEq == std::string_view::npos)
                    aMap.emplace_back(std::string(anItem), "$");
                else
                    aMap.emplace_back(std::string(anItem.substr(0, anEq)),
                                      std::string(anItem.substr(anEq + 1)));
                aList = aComma == std::string_view::npos ? std::string_view{}
                                                         : aList.substr(aComma + 1);
            }
            aPiece = aPiece.substr(0, aBrace);
        }
        aUsage.emplace_back(aPiece);
        aMaps.push_back(std::move(aMap));
    }
    return CommandSyntax(std::move(aUsage), std::move(aMaps));
}

// Builds the syntaxes of one entry; lines that begin with "adv " exist only in advanced mode.
std::vector<CommandSyntax> syntaxes(bool theAdvanced,
                                    std::initializer_list<std::string_view> theLines) {
    std::vector<CommandSyntax> aList;
    for (std::string_view aLine : theLines) {
        if (aLine.starts_with("adv ")) {
            if (!theAdvanced)
                continue;
            aLine.remove_prefix(4);
        }
        aList.push_back(syntax(aLine));
    }
    return aList;
}

// The object-selection syntaxes shared by the workspace actions. Form A turns the optional
// keyword around in advanced mode; with a status-only syntax inserted before the last line.
std::vector<CommandSyntax> objectSelection(bool theAdvanced, bool theFormA,
                                           std::string_view theBeforeLast = {}) {
    const bool aTurned = theFormA && theAdvanced;
    std::vector<std::string_view> aLines;
    aLines.reserve(10);
    aLines.push_back(aTurned ? "ACTION{what=inactiveObjects} [inactiveObjects|ios]"
                             : "ACTION{what=inactiveObjects} inactiveObjects|ios");
    aLines.push_back(aTurned ? "ACTION{what=trackedPackages} trackedPackages"
                             : "ACTION{what=trackedPackages} [trackedPackages]");
    aLines.push_back("ACTION{what=object} object OBJECT{object} OBJECT...{object}");
    aLines.push_back("ACTION{what=package} package PACKAGE{package} PACKAGE...{package}");
    aLines.push_back("ACTION{what=packages} packages PACKAGE{package} PACKAGE...{package}");
    if (theAdvanced) {
        aLines.push_back("ACTION{what=object} object");
        aLines.push_back("ACTION{what=package} package");
        aLines.push_back("ACTION{what=packages} packages");
    }
    if (!theBeforeLast.empty())
        aLines.push_back(theBeforeLast);
    aLines.push_back(
        "ACTION{what=objects} [objects] OBJECT_OR_PACKAGE{object} OBJECT_OR_PACKAGE...{object}");

    std::vector<CommandSyntax> aList;
    for (std::string_view aLine : aLines)
        aList.push_back(syntax(aLine));
    return aList;
}

// The three syntaxes of the package administration entries (create, delete, update).
std::vector<CommandSyntax> packageAdministration(bool theAdvanced) {
    return syntaxes(theAdvanced,
                    {"ACTION{what=package} package PACKAGE{package} PACKAGE...{package}",
                     "ACTION{what=packages} packages PACKAGE{package} PACKAGE...{package}",
                     "adv ACTION{what=package} package", "adv ACTION{what=packages} packages"});
}

// "ACTION kw WORD WORD..." plus the advanced bare "ACTION kw", the most common shape.
std::vector<CommandSyntax> keywordList(bool theAdvanced, std::string_view theWhat,
                                       std::string_view theKeywords, std::string_view theWord,
                                       std::string_view theParameter) {
    std::string aWhat = "ACTION{what=" + std::string(theWhat) + "} " + std::string(theKeywords);
    std::string aWord = std::string(theWord) + "{" + std::string(theParameter) + "}";
    std::string aWords = std::string(theWord) + "...{" + std::string(theParameter) + "}";
    std::string aFull = aWhat + " " + aWord + " " + aWords;
    return syntaxes(theAdvanced, {aFull, "adv " + aWhat});
}

// The contributor entries: a change and its contributors, of whom validate needs none (it then
// validates the connected user's own contribution).
std::vector<CommandSyntax> contributorSyntaxes(bool theAdvanced, std::string_view theKeyword,
                                               bool theNamesOptional = false) {
    std::string aFull =
        "ACTION{what=contributor} " + std::string(theKeyword) + " CHANGEID{changeId}" +
        (theNamesOptional ? "" : " CONTRIBUTOR{contributor}") + " CONTRIBUTOR...{contributor}";
    return syntaxes(theAdvanced, {aFull, "adv ACTION{what=contributor} contributor|cont"});
}

} // namespace

std::vector<CommandSyntaxEntry> buildTable(bool theAdvanced, std::string_view theOnlyAction) {
    const bool adv = theAdvanced;
    std::vector<CommandSyntaxEntry> aTable;
    // Only the entries of the wanted action are built: a run needs just those.
    auto add = [&](std::string theName, std::string theWhat, auto theSyntaxes) {
        if (!theOnlyAction.empty() && !textcase::equalsIgnoringCase(theName, theOnlyAction))
            return;
        aTable.push_back({std::move(theName), std::move(theWhat), theSyntaxes()});
    };

    add("activate", "", [&] { return objectSelection(adv, true); });
    add("annotate", "", [&] { return syntaxes(adv, {"ACTION{what=object} OBJECT{object}"}); });
    add("assign", "", [&] {
        return syntaxes(adv,
                        {"ACTION{what=package} [package] PACKAGE{package} PACKAGE...{package} "
                         "DELIVERYUNIT{deliveryUnit}",
                         "adv ACTION{what=packages} packages PACKAGE{package} PACKAGE...{package} "
                         "DELIVERYUNIT{deliveryUnit}",
                         "adv ACTION{what=package} package", "adv ACTION{what=packages} packages"});
    });
    add("checkOut", "", [&] { return objectSelection(adv, false); });
    add("commit", "", [&] { return objectSelection(adv, false); });
    add("create", "workSpace", [&] {
        return syntaxes(adv,
                        {"ACTION{what=workSpace} workSpace|ws WORKSPACEPATH{workSpace} [KEY]{key}",
                         "adv ACTION{what=workSpace} workSpace|ws"});
    });
    add("create", "change",
        [&] { return keywordList(adv, "change", "change|ch", "DESCRIPTION", "description"); });
    add("create", "contributor", [&] { return contributorSyntaxes(adv, "contributor|cont"); });
    add("create", "deliveryUnit", [&] {
        return keywordList(adv, "deliveryUnit", "deliveryUnit|du", "DELIVERYUNIT", "deliveryUnit");
    });
    add("create", "package", [&] { return packageAdministration(adv); });
    add("delete", "change",
        [&] { return keywordList(adv, "change", "change|ch", "CHANGEID", "changeId"); });
    add("delete", "contributor", [&] { return contributorSyntaxes(adv, "contributor|cont"); });
    add("delete", "deliveryUnit", [&] {
        return keywordList(adv, "deliveryUnit", "deliveryUnit|du", "DELIVERYUNIT", "deliveryUnit");
    });
    add("delete", "allInactiveWorkSpaces", [&] {
        return syntaxes(adv,
                        {"ACTION{what=allInactiveWorkSpaces} allInactiveWorkSpaces|allIWS "
                         "INACTIVEWORKSPACEUSER...{inactiveWorkSpaceUser}",
                         "adv ACTION{what=allInactiveWorkSpaces} allInactiveWorkSpaces|allIWS"});
    });
    add("delete", "inactiveWorkSpace", [&] {
        return keywordList(adv, "inactiveWorkSpace", "inactiveWorkSpace|iws", "INACTIVEWORKSPACE",
                           "inactiveWorkSpace");
    });
    add("delete", "package", [&] { return packageAdministration(adv); });
    add("diff", "", [&] { return objectSelection(adv, false); });
    add("discard", "", [&] { return objectSelection(adv, false); });
    add("export", "languages", [&] {
        return syntaxes(adv, {"ACTION{what=languages} languages|la DELIVERYUNIT{deliveryUnit} "
                              "VENDOR{vendor} FILENAME{fileName} LANGUAGE...{language}",
                              "adv ACTION{what=languages} languages|la"});
    });
    add("export", "deliveryUnit", [&] {
        return syntaxes(adv,
                        {"ACTION{what=deliveryUnit} [deliveryUnit|du] DELIVERYUNIT{deliveryUnit} "
                         "[VENDOR]{vendor} FILENAME{fileName}",
                         "adv ACTION{what=deliveryUnit} deliveryUnit|du"});
    });
    add("help", "", [&] {
        return syntaxes(adv, {"ACTION", "ACTION ACTION{what} [WHAT]{helpWhat}"});
    });
    add("import", "languages",
        [&] { return keywordList(adv, "languages", "languages|la", "FILENAME", "fileName"); });
    add("import", "deliveryUnit", [&] {
        return syntaxes(adv, {"ACTION{what=deliveryUnit} [deliveryUnit|du|file] FILENAME{fileName} "
                              "FILENAME...{fileName}",
                              "adv ACTION{what=deliveryUnit} deliveryUnit|du|file"});
    });
    add("list", "activeObjects", [&] {
        return syntaxes(adv, {"ACTION{what=activeObjects} activeObjects|aos [PACKAGE]{package}"});
    });
    add("list", "change", [&] {
        return syntaxes(adv,
                        {"ACTION{what=change} change|ch CHANGEID{changeId} CHANGEID...{changeId}"});
    });
    add("list", "changes", [&] { return syntaxes(adv, {"ACTION{what=changes} changes|chs"}); });
    add("list", "trackedPackages",
        [&] { return syntaxes(adv, {"ACTION{what=trackedPackages} trackedPackages"}); });
    add("list", "deliveryUnit", [&] {
        return keywordList(adv, "deliveryUnit", "deliveryUnit|du", "DELIVERYUNIT", "deliveryUnit");
    });
    add("list", "deliveryUnits",
        [&] { return syntaxes(adv, {"ACTION{what=deliveryUnits} deliveryUnits|dus"}); });
    add("list", "history",
        [&] { return keywordList(adv, "history", "history", "OBJECT", "object"); });
    add("list", "inactiveObjects", [&] {
        return syntaxes(adv,
                        {"ACTION{what=inactiveObjects} inactiveObjects|ios [PACKAGE]{package}"});
    });
    add("list", "inactiveWorkSpaces", [&] {
        return syntaxes(adv, {"ACTION{what=inactiveWorkSpaces} inactiveWorkSpaces|iWS "
                              "[INACTIVEWORKSPACEUSER]{inactiveWorkSpaceUser}"});
    });
    add("list", "rootPackages",
        [&] { return syntaxes(adv, {"ACTION{what=rootPackages} rootPackages"}); });
    add("list", "packages",
        [&] { return syntaxes(adv, {"ACTION{what=packages} packages [PACKAGE]{package}"}); });
    add("log", "",
        [&] { return syntaxes(adv, {"ACTION{what=object} OBJECT{object} OBJECT...{object}"}); });
    add("merge", "changes", [&] {
        return syntaxes(adv, {"ACTION{what=changes} changes|chs SOURCECHANGEID{sourceChangeId} "
                              "TARGETCHANGEID{targetChangeId}",
                              "adv ACTION{what=changes} changes|chs"});
    });
    add("mergeTool", "", [&] { return objectSelection(adv, false); });
    add("move", "", [&] {
        return syntaxes(adv, {"ACTION{what=inactiveObjects} inactiveObjects|ios "
                              "SOURCECHANGEID{sourceChangeId} TARGETCHANGEID{targetChangeId}",
                              "ACTION{what=trackedPackages} [trackedPackages] "
                              "SOURCECHANGEID{sourceChangeId} TARGETCHANGEID{targetChangeId}",
                              "ACTION{what=object} object SOURCECHANGEID{sourceChangeId} "
                              "TARGETCHANGEID{targetChangeId} OBJECT{object} OBJECT...{object}",
                              "ACTION{what=package} package SOURCECHANGEID{sourceChangeId} "
                              "TARGETCHANGEID{targetChangeId} PACKAGE{package} PACKAGE...{package}",
                              "ACTION{what=packages} packages SOURCECHANGEID{sourceChangeId} "
                              "TARGETCHANGEID{targetChangeId} PACKAGE{package} PACKAGE...{package}",
                              "adv ACTION{what=object} object", "adv ACTION{what=package} package",
                              "adv ACTION{what=packages} packages",
                              "ACTION{what=objects} [objects] SOURCECHANGEID{sourceChangeId} "
                              "TARGETCHANGEID{targetChangeId} OBJECT_OR_PACKAGE{object} "
                              "OBJECT_OR_PACKAGE...{object}"});
    });
    add("push", "", [&] { return objectSelection(adv, false); });
    add("reBase", "", [&] { return objectSelection(adv, false); });
    add("release", "change", [&] {
        return syntaxes(adv,
                        {"ACTION{what=change} [change|ch] CHANGEID{changeId} CHANGEID...{changeId}",
                         "adv ACTION{what=change} change|ch"});
    });
    add("resolve", "", [&] { return objectSelection(adv, false); });
    add("revert", "", [&] { return objectSelection(adv, true); });
    add("set", "changeTrackingStatus", [&] {
        return syntaxes(adv, {"ACTION{what=changeTrackingStatus} changeTrackingStatus|cts "
                              "enabled|disabled{changeTrackingStatus}"});
    });
    add("show", "change",
        [&] { return keywordList(adv, "change", "change|ch", "CHANGEID", "changeId"); });
    add("show", "changeTrackingStatus", [&] {
        return syntaxes(adv, {"ACTION{what=changeTrackingStatus} changeTrackingStatus|cts"});
    });
    add("show", "deliveryUnit", [&] {
        return keywordList(adv, "deliveryUnit", "deliveryUnit|du", "DELIVERYUNIT", "deliveryUnit");
    });
    add("show", "deliveryUnitStatus", [&] {
        return syntaxes(adv, {"ACTION{what=deliveryUnitStatus} deliveryUnitStatus|duStatus "
                              "DELIVERYUNIT{deliveryUnit} DELIVERYUNIT...{deliveryUnit}"});
    });
    add("show", "exportVersions",
        [&] { return syntaxes(adv, {"ACTION{what=exportVersions} exportVersions|evs"}); });
    add("show", "package", [&] {
        return syntaxes(adv, {"ACTION{what=package} package PACKAGE{package} PACKAGE...{package}",
                              "adv ACTION{what=package} package"});
    });
    add("show", "vendor", [&] { return syntaxes(adv, {"ACTION{what=vendor} vendor"}); });
    add("show", "object", [&] {
        return syntaxes(adv, {"ACTION{what=object} [object] OBJECT{object} VERSION{version}",
                              "adv ACTION{what=object} object"});
    });
    add("status", "",
        [&] { return objectSelection(adv, false, "ACTION{what=workSpace} workSpace|ws"); });
    add("takeOver", "", [&] { return objectSelection(adv, true); });
    add("track", "allPackages",
        [&] { return syntaxes(adv, {"ACTION{what=allPackages} allPackages|rootPackages"}); });
    add("track", "package", [&] {
        return syntaxes(adv, {"ACTION{what=package} [package|packages] PACKAGE{package} "
                              "PACKAGE...{package}",
                              "adv ACTION{what=package} package|packages"});
    });
    add("transport", "languages", [&] {
        return keywordList(adv, "languages", "languages|la", "DELIVERYUNIT", "deliveryUnit");
    });
    add("transport", "deliveryUnit", [&] {
        return syntaxes(adv,
                        {"ACTION{what=deliveryUnit} [deliveryUnit|du] DELIVERYUNIT{deliveryUnit} "
                         "DELIVERYUNIT...{deliveryUnit}",
                         "adv ACTION{what=deliveryUnit} deliveryUnit|du"});
    });
    add("unAssign", "", [&] {
        return syntaxes(adv,
                        {"ACTION{what=package} [package] PACKAGE{package} PACKAGE...{package}",
                         "adv ACTION{what=packages} packages PACKAGE{package} PACKAGE...{package}",
                         "adv ACTION{what=package} package", "adv ACTION{what=packages} packages"});
    });
    add("unDeploy", "", [&] {
        return syntaxes(adv,
                        {"ACTION{what=deliveryUnit} [deliveryUnit|du] DELIVERYUNIT{deliveryUnit} "
                         "DELIVERYUNIT...{deliveryUnit}",
                         "adv ACTION{what=deliveryUnit} deliveryUnit|du"});
    });
    add("unTrack", "allPackages",
        [&] { return syntaxes(adv, {"ACTION{what=allPackages} allPackages|rootPackages"}); });
    add("unTrack", "package", [&] {
        return syntaxes(adv, {"ACTION{what=package} [package|packages] PACKAGE{package} "
                              "PACKAGE...{package}",
                              "adv ACTION{what=package} package|packages"});
    });
    add("update", "change",
        [&] { return keywordList(adv, "change", "change|ch", "CHANGEID", "changeId"); });
    add("update", "contributor", [&] { return contributorSyntaxes(adv, "contributor|cont"); });
    add("update", "deliveryUnit", [&] {
        return keywordList(adv, "deliveryUnit", "deliveryUnit|du", "DELIVERYUNIT", "deliveryUnit");
    });
    add("update", "package", [&] { return packageAdministration(adv); });
    add("validate", "contributor",
        [&] { return contributorSyntaxes(adv, "[contributor|cont]", true); });
    add("version", "", [&] { return syntaxes(adv, {"ACTION"}); });
    return aTable;
}

} // namespace RepositoryAccess::commandsyntax
