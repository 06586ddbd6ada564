#include "actions/helpentries.hpp"

// Help texts of the read-only views: list and show, and the histories of log and annotate.

namespace RepositoryAccess::helptexts {

namespace {

constexpr CommandHelpText theTexts[] = {
    {"list", "activeObjects", "list active objects",
     "Lists the active objects of the repository, of the package PACKAGE and its sub packages "
     "when given.",
     "<ul>\n  <li>--suffix=SUFFIX: only objects with this suffix.</li>\n"
     "  <li>--noRecursive: not those of the sub packages.</li>\n</ul>",
     "<pre>kivo list aos p1.p2 --suffix=txt</pre>", "list_inactiveObjects show_object"},
    {"list", "change", "list the entries of changes",
     "Lists the objects recorded in the changes CHANGEID.", "  None.",
     "<pre>kivo list change ZEV//4711</pre>", "show_change list_changes"},
    {"list", "changes", "list changes",
     "Lists the changes of the repository, filtered by the options.",
     "<ul>\n"
     "  <li>--open (-o), --released (-r), --abandoned (-a): changes in this state.</li>\n"
     "  <li>--createdBy=USER, --changeNumber=NUMBER, --srcSystem=SYSTEM, "
     "--contributorStatus=STATUS: further filters.</li>\n</ul>",
     "<pre>kivo list changes --open</pre>", "list_change show_change"},
    {"list", "trackedPackages", "list the tracked packages",
     "Prints the packages the workspace tracks. No connection is needed.", "  None.",
     "<pre>kivo list trackedPackages</pre>", "track_package"},
    {"list", "deliveryUnit", "list the packages of delivery units",
     "Lists the packages assigned to each delivery unit.",
     "<ul>\n  <li>--vendor=VENDOR: the vendor of the delivery units.</li>\n</ul>",
     "<pre>kivo list du DU1</pre>", "list_deliveryUnits assign"},
    {"list", "deliveryUnits", "list delivery units", "Lists the delivery units of the repository.",
     "<ul>\n  <li>--vendor=VENDOR: only those of this vendor.</li>\n</ul>",
     "<pre>kivo list dus</pre>", "list_deliveryUnit show_deliveryUnit"},
    {"list", "history", "list the versions of objects",
     "Lists the numbered versions of each object OBJECT, oldest first, with their activation "
     "dates and users; a deleting version is marked as a deletion.",
     "  None.", "<pre>kivo list history p1/p2/test.txt</pre>", "show_object checkOut"},
    {"list", "inactiveObjects", "list inactive objects",
     "Lists the inactive objects of your repository workspace, of the package PACKAGE when "
     "given.",
     "<ul>\n"
     "  <li>--suffix=SUFFIX: only objects with this suffix.</li>\n"
     "  <li>--inactiveWorkSpace=NAME, --inactiveWorkSpaceUser=USER: another repository "
     "workspace.</li>\n</ul>",
     "<pre>kivo list ios\nkivo list ios p1 --inactiveWorkSpaceUser=ANNA</pre>",
     "activate takeOver"},
    {"list", "inactiveWorkSpaces", "list inactive repository workspaces",
     "Lists the repository workspaces that hold inactive objects, of the user "
     "INACTIVEWORKSPACEUSER when given (* for all users).",
     "  None.", "<pre>kivo list iWS \"*\"</pre>", "delete_inactiveWorkSpace"},
    {"list", "rootPackages", "list the root packages",
     "Lists the packages at the top of the package tree.", "  None.",
     "<pre>kivo list rootPackages</pre>", "list_packages track_allPackages"},
    {"list", "packages", "list packages",
     "Lists the packages whose names match PACKAGE (* matches any text), or all packages.",
     "<ul>\n"
     "  <li>--description, --responsible, --origLang, --structural, --vendor, --transportable, "
     "--content, --srcSystem: filters.</li>\n</ul>",
     "<pre>kivo list packages \"p1.*\"</pre>", "show_package list_rootPackages"},
    {"show", "change", "show changes",
     "Shows the attributes and the contributors of the changes CHANGEID.", "  None.",
     "<pre>kivo show change ZEV//4711</pre>", "list_change update_change"},
    {"show", "changeTrackingStatus", "show whether change tracking is on",
     "Shows whether change tracking is enabled in the repository.", "  None.",
     "<pre>kivo show cts</pre>", "set_changeTrackingStatus"},
    {"show", "deliveryUnit", "show delivery units", "Shows the attributes of the delivery units.",
     "<ul>\n  <li>--vendor=VENDOR: the vendor of the delivery units.</li>\n</ul>",
     "<pre>kivo show du DU1</pre>", "update_deliveryUnit show_deliveryUnitStatus"},
    {"show", "deliveryUnitStatus", "check the objects of delivery units",
     "Checks whether objects of the delivery units are broken.",
     "<ul>\n  <li>--vendor=VENDOR: the vendor of the delivery units.</li>\n</ul>",
     "<pre>kivo show duStatus DU1</pre>", "show_deliveryUnit"},
    {"show", "exportVersions", "show the supported export versions",
     "Shows the archive formats the repository can export, for --exportVersion.", "  None.",
     "<pre>kivo show evs</pre>", "export_deliveryUnit"},
    {"show", "package", "show packages", "Shows the attributes of the packages.", "  None.",
     "<pre>kivo show package p1.p2</pre>", "update_package list_packages"},
    {"show", "vendor", "show the content vendor",
     "Shows the vendor that the repository uses for new content.", "  None.",
     "<pre>kivo show vendor</pre>", "show_deliveryUnit"},
    {"show", "object", "show the metadata of an object version",
     "Shows the metadata of the version VERSION of the object OBJECT: its type, activation "
     "data, status and change.",
     "  None.", "<pre>kivo show p1/p2/test.txt 3</pre>", "list_history"},
    {"log", "", "show the versions of objects and packages",
     "Shows the activated versions of each object OBJECT, newest first: a line with the object's "
     "path, then per version its number, activation time and user, its change with "
     "\"(open)\" or \"(released TIME)\", and \"deletion\" for a deletion. An argument that "
     "ends with \"/\" is a package: every active object in it. Works inside and outside a "
     "workspace.",
     "<ul>\n"
     "  <li>--patch (-p): print each version's difference to the version before it, as kivo "
     "diff prints it.</li>\n"
     "  <li>--since=TIME, --until=TIME: only versions activated from or until TIME (a date "
     "such as 2026-12-08 or a full timestamp).</li>\n"
     "  <li>--createdBy=USER: only versions activated by USER.</li>\n"
     "  <li>--changeNumber=NUMBER: only versions of that change.</li>\n"
     "</ul>",
     "<pre>kivo log p1/p2/test.txt\nkivo log p1/ -p --since=2026-12-01</pre>",
     "annotate list_history diff"},
    {"annotate", "", "show who last changed each line",
     "Shows each line of the object OBJECT with the number and user of the version that last "
     "changed it, found by comparing the object's versions from the first on. Binary objects "
     "are refused. Works inside and outside a workspace.",
     "<ul>\n"
     "  <li>--version=N: annotate the historical version N instead of the newest one.</li>\n"
     "</ul>",
     "<pre>kivo annotate p1/p2/test.txt\nkivo annotate p1/p2/test.txt --version=3</pre>",
     "log show_object"},
};

} // namespace

std::span<const CommandHelpText> listActions() {
    return theTexts;
}

} // namespace RepositoryAccess::helptexts
