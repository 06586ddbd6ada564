#include "actions/helpentries.hpp"

// Help texts of the actions that administer packages, changes and contributors in the
// repository, and of help and version.

#define KIVO_PACKAGE_ATTRIBUTES                                                                    \
    "  <li>--description=TEXT (--desc), --responsible=USER (--resp), --origLang=LANGUAGE, "        \
    "--structural, --vendor=VENDOR: attributes of the package.</li>\n"                             \
    "  <li>--textCollection, --textStatus, --textTerminologyDomain, --hintsForTranslation: "       \
    "translation attributes.</li>\n"

#define KIVO_DU_ATTRIBUTES                                                                         \
    "  <li>--vendor=VENDOR: the vendor of the delivery unit.</li>\n"                               \
    "  <li>--version=NUMBER, --versionSP, --versionPatch, --responsible=USER, "                    \
    "--caption=TEXT (or --description=TEXT): attributes of the delivery unit.</li>\n"              \
    "  <li>--qrtsID, --spQRTSID, --ach, and --lastUpdate for an update: further attributes of "    \
    "the delivery unit.</li>\n"

namespace RepositoryAccess::helptexts {

namespace {

constexpr CommandHelpText theTexts[] = {
    {"assign", "", "assign packages to a delivery unit",
     "Assigns the packages to the delivery unit DELIVERYUNIT, the last argument. The packages "
     "then travel with that delivery unit when it is exported.",
     "<ul>\n  <li>--vendor=VENDOR: the vendor of the delivery unit.</li>\n</ul>",
     "<pre>kivo assign p1.p2 p1.p3 DU1 --vendor=acme.com</pre>",
     "unAssign update_package list_deliveryUnit"},
    {"create", "change", "create a change",
     "Creates a change for every DESCRIPTION and prints its ID. Changes exist when change "
     "tracking is enabled; activations are recorded in them.",
     "  None.", "<pre>kivo create change \"Fix the order view\"</pre>",
     "create_contributor release_change show_change"},
    {"create", "contributor", "add contributors to a change",
     "Adds the users CONTRIBUTOR to the change CHANGEID. Contributors validate the change "
     "before it is released.",
     "  None.", "<pre>kivo create contributor ZEV//4711 ANNA BERT</pre>",
     "validate_contributor delete_contributor"},
    {"create", "deliveryUnit", "create a delivery unit",
     "Creates delivery units with the given names.", "<ul>\n" KIVO_DU_ATTRIBUTES "</ul>",
     "<pre>kivo create du DU1 --vendor=acme.com --version=1</pre>",
     "assign export_deliveryUnit delete_deliveryUnit"},
    {"create", "package", "create packages",
     "Creates the packages in the repository. A new package inherits the attributes of its "
     "parent unless --noInherit is given. Inside a workspace their directories are created "
     "too.",
     "<ul>\n" KIVO_PACKAGE_ATTRIBUTES
     "  <li>--noInherit: do not take the attributes of the parent package.</li>\n</ul>",
     "<pre>kivo create package p1.p2 --description=Orders</pre>",
     "delete_package update_package track_package"},
    {"delete", "change", "delete changes", "Deletes the changes CHANGEID from the repository.",
     "  None.", "<pre>kivo delete change ZEV//4711</pre>", "create_change"},
    {"delete", "contributor", "remove contributors from a change",
     "Removes the users CONTRIBUTOR from the change CHANGEID.", "  None.",
     "<pre>kivo delete contributor ZEV//4711 BERT</pre>", "create_contributor"},
    {"delete", "deliveryUnit", "delete delivery units",
     "Deletes the delivery units; their packages stay. kivo undeploy also deletes the "
     "packages and objects.",
     "<ul>\n  <li>--vendor=VENDOR: the vendor of the delivery units.</li>\n</ul>",
     "<pre>kivo delete du DU1 --vendor=acme.com</pre>", "create_deliveryUnit unDeploy"},
    {"delete", "allInactiveWorkSpaces", "delete all inactive repository workspaces of users",
     "Deletes all repository workspaces, with their inactive objects, of the users "
     "INACTIVEWORKSPACEUSER.",
     "<ul>\n  <li>--inactiveWorkSpaceUser=USER (--iUser): the user (case sensitive).</li>\n"
     "</ul>",
     "<pre>kivo delete allIWS ANNA</pre>", "delete_inactiveWorkSpace list_inactiveWorkSpaces"},
    {"delete", "inactiveWorkSpace", "delete inactive repository workspaces",
     "Deletes the named repository workspaces with their inactive objects.",
     "<ul>\n  <li>--inactiveWorkSpaceUser=USER (--iUser): the owner of the workspaces (case "
     "sensitive).</li>\n</ul>",
     "<pre>kivo delete iws ws1 --inactiveWorkSpaceUser=ANNA</pre>",
     "delete_allInactiveWorkSpaces list_inactiveWorkSpaces"},
    {"delete", "package", "delete packages",
     "Deletes packages from the repository. Without --force only empty packages are deleted; "
     "with --force the packages are deleted with all sub packages and all their active and "
     "inactive objects, and inside a workspace their files are discarded as well.",
     "<ul>\n"
     "  <li>--force (-f): delete recursively, with all objects.</li>\n"
     "  <li>--noRecursive: only the named packages.</li>\n"
     "  <li>--noDeletePackageRecursively: delete the objects through the workspace instead of "
     "by the repository.</li>\n"
     "  <li>--noUnTrack: keep the packages tracked.</li>\n</ul>",
     "<pre>kivo delete package p1.p2\nkivo delete package p1 --force</pre>",
     "create_package discard"},
    {"help", "", "show help texts",
     "Shows the overview, the entry of an action, a topic, or the texts that contain all "
     "search terms. Texts are shown as plain text, as an HTML page, or in the web browser.",
     "<ul>\n"
     "  <li>--txt: plain text (the default); all matching texts.</li>\n"
     "  <li>--html: an HTML page on standard output.</li>\n"
     "  <li>--browse: the whole help in the web browser (BROWSER, else xdg-open).</li>\n"
     "  <li>--search (-s): search for up to two terms.</li>\n</ul>",
     "<pre>kivo help create ws\nkivo help lockFile --browse\nkivo help resolve conflict "
     "-s</pre>",
     "version"},
    {"merge", "changes", "merge two changes",
     "Moves all entries of the change SOURCECHANGEID into the change TARGETCHANGEID.", "  None.",
     "<pre>kivo merge changes ZEV//4711 ZEV//4712</pre>", "move show_change"},
    {"move", "", "move objects between changes",
     "Moves the entries of the selected objects from the change SOURCECHANGEID to the change "
     "TARGETCHANGEID. Without a scope the objects of the tracked packages are moved.",
     "<ul>\n  <li>--noRecursive: packages do not include their sub packages.</li>\n</ul>",
     "<pre>kivo move ZEV//4711 ZEV//4712 p1/p2/test.txt</pre>", "merge_changes"},
    {"release", "change", "release changes",
     "Releases the changes for transport. All contributors must have validated them. A change "
     "is administered (released, described, merged, deleted, its entries moved out and its "
     "contributors added or removed) by its creator or an administrator of the repository.",
     "  None.", "<pre>kivo release ZEV//4711</pre>", "validate_contributor show_change"},
    {"set", "changeTrackingStatus", "switch change tracking on or off",
     "Enables or disables change tracking in the repository. Only an administrator of the "
     "repository may.",
     "<ul>\n  <li>--force (-f): switch off even when open changes exist.</li>\n</ul>",
     "<pre>kivo set cts enabled</pre>", "show_changeTrackingStatus"},
    {"unAssign", "", "remove packages from their delivery unit",
     "Removes the packages from the delivery unit they are assigned to.", "  None.",
     "<pre>kivo unassign p1.p2</pre>", "assign"},
    {"update", "change", "change the description of changes",
     "Gives the changes CHANGEID the description of --description.",
     "<ul>\n  <li>--description=TEXT (--desc): the new description.</li>\n</ul>",
     "<pre>kivo update change ZEV//4711 --description=\"Order view\"</pre>", "show_change"},
    {"update", "contributor", "change the comment of contributors",
     "Gives the contribution of CONTRIBUTOR to the change CHANGEID the comment of "
     "--description; each contributor describes only their own.",
     "<ul>\n  <li>--description=TEXT (--desc): the new comment.</li>\n</ul>",
     "<pre>kivo update contributor ZEV//4711 ANNA --description=reviewed</pre>",
     "validate_contributor"},
    {"update", "deliveryUnit", "change the attributes of delivery units",
     "Sets the attributes given as options on the delivery units.",
     "<ul>\n" KIVO_DU_ATTRIBUTES "</ul>", "<pre>kivo update du DU1 --version=2</pre>",
     "show_deliveryUnit"},
    {"update", "package", "change the attributes of packages",
     "Sets the attributes given as options on the packages and their sub packages, among them "
     "the delivery unit they belong to.",
     "<ul>\n" KIVO_PACKAGE_ATTRIBUTES
     "  <li>--deliveryUnit=DELIVERYUNIT (--dU): assign to a delivery unit.</li>\n"
     "  <li>--noRecursive: not the sub packages.</li>\n</ul>",
     "<pre>kivo update package p1.p2 --responsible=ANNA</pre>", "show_package assign"},
    {"validate", "contributor", "validate a change as contributor",
     "Records that you have validated your contribution to the change CHANGEID. Each "
     "contributor validates only their own; without CONTRIBUTOR it is yours.",
     "<ul>\n  <li>--description=TEXT (--desc): a comment.</li>\n</ul>",
     "<pre>kivo validate ZEV//4711</pre>", "release_change"},
    {"version", "", "show the program version",
     "Prints the version of kivo and the client format version of its workspaces.", "  None.",
     "<pre>kivo version</pre>", "help"},
};

} // namespace

std::span<const CommandHelpText> administrationActions() {
    return theTexts;
}

} // namespace RepositoryAccess::helptexts
