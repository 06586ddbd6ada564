#include "actions/helpentries.hpp"

// Help texts of the actions that move objects between the workspace and the repository.

// The ways of naming objects that most workspace actions share.
#define KIVO_SCOPE_TEXT                                                                            \
    "Without arguments the action works on all tracked packages. Arguments ending with \"/\" "     \
    "are package directories, all others are files; the words package, packages and object say "   \
    "explicitly what the arguments are. Packages include their sub packages unless "               \
    "--noRecursive is given."

#define KIVO_RECURSIVE_OPTION                                                                      \
    "  <li>--noRecursive: packages do not include their sub packages.</li>\n"

#define KIVO_OUTPUT_OPTIONS                                                                        \
    "  <li>--verbose (-v): print a line for every file.</li>\n"                                    \
    "  <li>--trace (-t): write the details of the run into the trace file.</li>\n"

#define KIVO_RESOLVE_OPTIONS                                                                       \
    "  <li>--with=MODE: resolve with local, base, remote or mergeTool.</li>\n"                     \
    "  <li>--local, --base, --remote: keep the local file, the base version or the repository "    \
    "version.</li>\n"                                                                              \
    "  <li>--mergeTool (-m): merge the three versions with the merge tool.</li>\n"

namespace RepositoryAccess::helptexts {

namespace {

constexpr CommandHelpText theTexts[] = {
    {"activate", "", "activate inactive objects",
     "Activates the inactive versions that your repository workspace holds for the selected "
     "objects. The repository checks them and reports the result; activated files get the "
     "metadata of their new active version. When the repository reports activation conflicts, "
     "kivo checks the objects out again so that the conflicts become conflicted files, which "
     "you settle with kivo resolve. " KIVO_SCOPE_TEXT,
     "<ul>\n"
     "  <li>--activationMode=MODE: 0 one-phase cascade (default), 3 two-phase cascade, 4 import "
     "mode, 5 check only.</li>\n"
     "  <li>--changeId=CHANGEID (--ch): the change the activation belongs to.</li>\n"
     "  <li>--getAffectedChanges (--ga): list the changes the objects belong to.</li>\n"
     "  <li>--noCheckOut: no checkout after activation conflicts.</li>\n"
     "  <li>--log (-l): write the activation log into the logs folder.</li>\n" KIVO_RECURSIVE_OPTION
         KIVO_OUTPUT_OPTIONS "</ul>",
     "<pre>kivo activate\nkivo activate ios\nkivo activate p1/p2/ --activationMode=5</pre>",
     "commit push resolve"},
    {"checkOut", "", "bring repository objects into the workspace",
     "Writes the repository versions of the selected objects into the workspace, with their "
     "metadata and status. A file you changed locally is never overwritten: when the repository "
     "has a newer version of it, the file becomes conflicted and keeps your content. Package "
     "arguments are tracked before the checkout. " KIVO_SCOPE_TEXT,
     "<ul>\n"
     "  <li>--active, --inactive, --base: check out the active versions, your inactive "
     "versions, or the versions your files are based on.</li>\n"
     "  <li>--historical=TIMESTAMP (--hist): the versions valid at YYYY-MM-DD HH:MM:SS.NNN or "
     "YYYY-MM-DD, a time of the repository in UTC (kivo list history shows them).</li>\n"
     "  <li>--historicalVersion=NUMBER (--hV): a numbered version of one object.</li>\n"
     "  <li>--force (-f), --overwrite: overwrite local changes. A version you committed stays "
     "in the repository as your inactive version: a later activation conflicts with it until "
     "kivo revert removes it.</li>\n"
     "  <li>--skip: leave files alone that would become conflicted.</li>\n"
     "  <li>--noTrack: do not track the package arguments.</li>\n"
     "  <li>--noBulkRead: read the objects one by one.</li>\n"
     "  <li>--lineEnd=LOCAL|UNIX|WIN: line ends of the written files.</li>\n" KIVO_RECURSIVE_OPTION
         KIVO_OUTPUT_OPTIONS "</ul>",
     "<pre>kivo checkout\nkivo checkout p1/p2/\nkivo checkout p1/p2/test.txt "
     "--historicalVersion=3</pre>",
     "track_package status push"},
    {"commit", "", "write local changes as inactive versions",
     "Writes the new, modified and deleted files of the workspace into the repository as "
     "inactive versions of your repository workspace. New directories become packages. Commit "
     "does not activate; kivo push commits and activates. Conflicted files must be resolved "
     "first. " KIVO_SCOPE_TEXT,
     "<ul>\n"
     "  <li>--noInherit: new packages do not inherit the attributes of their parent.</li>\n"
     "  <li>--fast, --veryFast, --noCompare: how changed files are found (see the topic "
     "statusCalculation).</li>\n" KIVO_RECURSIVE_OPTION KIVO_OUTPUT_OPTIONS "</ul>",
     "<pre>kivo commit\nkivo commit p1/p2/test.txt</pre>", "activate push status"},
    {"create", "workSpace", "create a workspace",
     "Makes the directory WORKSPACEPATH a workspace, creating it when missing: it creates the "
     "settings folder and stores the connection. The last part of the path is also the name of "
     "your repository workspace; the name __empty__ selects the empty repository workspace. The "
     "optional KEY names an entry of the key store; otherwise give --hostName and --userName. "
     "Use . for the current directory.",
     "<ul>\n"
     "  <li>--hostName=HOST, --userName=USER, --passWord=PASSWORD: the connection without a "
     "key. HOST is file:PATH, or a server HOST:PORT[@DATABASE] (a list HOST1:PORT1,HOST2:PORT2 "
     "for failover; see the topic servers).</li>\n"
     "  <li>--database=DATABASE: the server's database of the repository.</li>\n"
     "  <li>--sslTrustStore=FILE and the other --ssl options: the TLS settings, kept with the "
     "workspace.</li>\n"
     "  <li>--force (-f): create it even when the repository already holds inactive objects "
     "for this workspace name.</li>\n"
     "</ul>",
     "<pre>kivo create workspace ws1 DEVKEY\nkivo create ws ws2 --hostName=file:repo.db "
     "--userName=DEV</pre>",
     "track_package checkOut status"},
    {"diff", "", "show what changed in files",
     "Shows the local changes of the changed, new and deleted files as a unified difference "
     "against the versions they are based on, which are read from the repository in one go: "
     "three lines of context around each change, headers with the workspace path, and "
     "\"Binary files ... differ\" for files that are not text. A conflicted file is compared "
     "with the repository version that its checkout stored in the settings folder, without a "
     "connection. " KIVO_SCOPE_TEXT,
     "<ul>\n"
     "  <li>--active: compare with the active versions instead, your committed files "
     "included.</li>\n"
     "  <li>--fast, --veryFast, --noCompare: how changed files are found.</li>\n"
     "  <li>--noBulkRead: read the versions one by one.</li>\n"
     "  <li>--version=N: compare the named objects' historical version N with the workspace "
     "files; --version=N..M: compare their versions N and M in the repository.</li>\n"
     "  <li>--changeId=ID (-ch): compare each activated version of the change with the version "
     "before it.</li>\n" KIVO_RECURSIVE_OPTION "</ul>",
     "<pre>kivo diff\nkivo diff p1/p2/test.txt\nkivo diff p1/ --active\n"
     "kivo diff p1/p2/test.txt --version=2..5\nkivo diff --changeId=12</pre>",
     "status commit log"},
    {"discard", "", "remove objects from the workspace only",
     "Removes checked-out objects from the workspace: their files, metadata, status entries "
     "and conflict data. The repository is not touched. Package arguments are untracked "
     "afterwards. " KIVO_SCOPE_TEXT,
     "<ul>\n"
     "  <li>--noContent: keep the files, forget only what kivo knows about them.</li>\n"
     "  <li>--noUnTrack: keep the packages tracked.</li>\n"
     "  <li>--force (-f): discard files with local changes too.</li>\n" KIVO_RECURSIVE_OPTION
         KIVO_OUTPUT_OPTIONS "</ul>",
     "<pre>kivo discard p1/p2/\nkivo discard p1/p2/test.txt --noContent</pre>",
     "revert unTrack_package"},
    {"mergeTool", "", "resolve conflicts with the merge tool",
     "Opens the merge tool for every conflicted file of the selection, with the base, the "
     "repository and the local version; the merged result becomes the resolved file. It is "
     "kivo resolve --mergeTool. " KIVO_SCOPE_TEXT,
     "<ul>\n"
     "  <li>--mergeToolConfig=COMMAND: the merge tool command (see the topic "
     "mergeToolConfig).</li>\n"
     "  <li>--noConfirm: do not ask before each file.</li>\n" KIVO_RECURSIVE_OPTION
         KIVO_OUTPUT_OPTIONS "</ul>",
     "<pre>kivo mergetool\nkivo mergetool p1/p2/test.txt</pre>", "resolve push"},
    {"push", "", "commit and activate",
     "Commits the local changes and activates them in one go. With a resolution mode, conflicts "
     "that the activation reports are resolved and the result is committed and activated once "
     "more. " KIVO_SCOPE_TEXT,
     "<ul>\n" KIVO_RESOLVE_OPTIONS
     "  <li>--force (-f): push the local files whatever the repository holds (local resolution "
     "without comparing).</li>\n"
     "  <li>--activationMode=MODE, --changeId=CHANGEID: as for activate.</li>\n"
     "  <li>--noCheckOut: no checkout after activation conflicts.</li>\n" KIVO_RECURSIVE_OPTION
         KIVO_OUTPUT_OPTIONS "</ul>",
     "<pre>kivo push\nkivo push p1/ --with=local</pre>", "commit activate resolve"},
    {"reBase", "", "check out without tracking (advanced)",
     "In advanced mode (KIVO_ADVANCED=yes) rebase is a checkout that does not track package "
     "arguments. Otherwise it shows this help.",
     "  None.", "<pre>KIVO_ADVANCED=yes kivo rebase p1/</pre>", "checkOut"},
    {"resolve", "", "settle conflicted files",
     "Ends the conflicted state of files that a checkout marked conflicted: keep the local "
     "file, take the base or the repository version, or merge the three with a merge tool. "
     "Exactly one mode must be given. A file that ends with the repository version's content "
     "takes that version and is unchanged. Resolution works without a connection, except to "
     "revert your committed version of a file that you resolved to the repository version; "
     "commit the result afterwards. A file left conflicted makes the run fail (exit status "
     "1), also in kivo push. " KIVO_SCOPE_TEXT,
     "<ul>\n" KIVO_RESOLVE_OPTIONS "  <li>--mergeToolConfig=COMMAND: the merge tool command.</li>\n"
     "  <li>--noConfirm: do not ask before each file.</li>\n" KIVO_RECURSIVE_OPTION
         KIVO_OUTPUT_OPTIONS "</ul>",
     "<pre>kivo resolve --local\nkivo resolve p1/p2/test.txt --with=remote</pre>",
     "mergeTool push status"},
    {"revert", "", "throw away inactive versions",
     "Deletes your inactive versions of the selected objects in the repository and puts the "
     "versions they were based on back into the workspace. " KIVO_SCOPE_TEXT,
     "<ul>\n"
     "  <li>--noCheckOut: leave the workspace files as they are.</li>\n" KIVO_RECURSIVE_OPTION
         KIVO_OUTPUT_OPTIONS "</ul>",
     "<pre>kivo revert p1/p2/test.txt\nkivo revert ios</pre>", "discard takeOver"},
    {"status", "", "show local changes",
     "Shows the workspace and the files that changed: modified, deleted, conflicted and new "
     "files. kivo status ws shows the workspace configuration. Status changes nothing and runs "
     "beside another kivo that holds the lock. " KIVO_SCOPE_TEXT,
     "<ul>\n"
     "  <li>--inactiveObjects (-i): also list the inactive objects of your repository "
     "workspace.</li>\n"
     "  <li>--fast, --veryFast, --noCompare: how changed files are found.</li>\n"
     "  <li>--noTips: no hints.</li>\n" KIVO_RECURSIVE_OPTION KIVO_OUTPUT_OPTIONS "</ul>",
     "<pre>kivo status\nkivo status ws\nkivo status p1/ --veryFast</pre>", "commit checkOut"},
    {"takeOver", "", "take over inactive objects of another workspace",
     "Moves inactive objects from another repository workspace, of another user or another "
     "name, into yours and checks them out in their inactive versions. " KIVO_SCOPE_TEXT,
     "<ul>\n"
     "  <li>--inactiveWorkSpace=NAME (--iWS): the repository workspace to take from.</li>\n"
     "  <li>--inactiveWorkSpaceUser=USER (--iUser): its user (case sensitive).</li>\n"
     "  <li>--noCheckOut: do not check out the objects.</li>\n" KIVO_RECURSIVE_OPTION
         KIVO_OUTPUT_OPTIONS "</ul>",
     "<pre>kivo takeover ios --inactiveWorkSpaceUser=ANNA</pre>", "revert list_inactiveObjects"},
    {"track", "allPackages", "track every root package",
     "Adds every root package of the repository to the tracked packages of the workspace. A "
     "tracked package includes all its sub packages. Nothing is checked out.",
     "  None.", "<pre>kivo track allPackages</pre>", "track_package unTrack_allPackages"},
    {"track", "package", "track a package",
     "Adds packages to the tracked packages of the workspace, which checkout, commit, status "
     "and the other actions work on by default. A package is never tracked together with a "
     "super or sub package of it: the set stays minimal.",
     "  None.", "<pre>kivo track p1.p2\nkivo track p1/p3/</pre>",
     "unTrack_package checkOut list_trackedPackages"},
    {"unTrack", "allPackages", "untrack every package",
     "Removes all packages from the tracked packages of the workspace. The files stay.", "  None.",
     "<pre>kivo untrack allPackages</pre>", "track_allPackages"},
    {"unTrack", "package", "untrack a package",
     "Removes packages from the tracked packages. A tracked super package that covers a package "
     "stays tracked. The files stay; kivo discard removes them.",
     "  None.", "<pre>kivo untrack p1.p2</pre>", "track_package discard"},
};

} // namespace

std::span<const CommandHelpText> workspaceActions() {
    return theTexts;
}

} // namespace RepositoryAccess::helptexts
