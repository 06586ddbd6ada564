#include "actions/helpentries.hpp"

// Topic texts about the repository side and the use of kivo in general.

namespace RepositoryAccess::helptexts {

namespace {

constexpr TopicHelpText theTopics[] = {
    {"activationMode",
     "<h3>Activation modes</h3>\n"
     "<p>Activation turns inactive versions into the active ones. The repository checks the "
     "objects first; the activation mode says what happens with objects that depend on "
     "them.</p>\n"
     "<ul>\n"
     "  <li>Mode 0: one-phase cascade, the default of activate and push.</li>\n"
     "  <li>Mode 3: two-phase cascade.</li>\n"
     "  <li>Mode 4: import mode; everything is committed whatever the checks say. The default of "
     "import and transport.</li>\n"
     "  <li>Mode 5: check only; nothing is changed.</li>\n"
     "</ul>\n"
     "<p>The modes 1 and 2 are not supported by the repository.</p>\n"
     "<pre>kivo activate --activationMode=5</pre>\n"},
    {"arguments",
     "<h3>Generic commandline arguments</h3>\n"
     "<p>A call has the form kivo ACTION [WHAT] [OPTION]... Actions, WHAT words and option "
     "names are case-insensitive. An option is written --name or --name=value; the one-letter "
     "aliases are written -v. Options may stand anywhere on the line.</p>\n"
     "<ul>\n"
     "  <li>--verbose (-v): a line for every file.</li>\n"
     "  <li>--trace (-t): details of the run into the trace file (see the topic traces).</li>\n"
     "  <li>--debug (-d): verbose output plus every request and response.</li>\n"
     "  <li>--jsonRequest, --jsonResponse: print the requests or responses.</li>\n"
     "  <li>--simulate: write nothing and send no change; print what would happen.</li>\n"
     "  <li>--noTips: no hints that begin with Call:.</li>\n"
     "  <li>--noCommandLog: no entry in the command log.</li>\n"
     "  <li>--perfTrace (--perf): write a performance trace.</li>\n"
     "  <li>--key, --hostName, --userName, --passWord, --readFromStdIn: the connection.</li>\n"
     "  <li>--help (-h) is the same as the action help, --version the same as version.</li>\n"
     "</ul>\n"},
    {"changeTracking",
     "<h3>Change tracking</h3>\n"
     "<p>When change tracking is enabled in the repository, every activation belongs to a "
     "change, an ID such as ZEV//4711 with a description. Users who contributed to a change "
     "are its contributors; each validates the change, and a validated change is released for "
     "transport. A released change can be exported alone with kivo export --released.</p>\n"
     "<pre>kivo set cts enabled\nkivo create change \"New order view\"\n"
     "kivo activate --changeId=ZEV//4711\nkivo validate ZEV//4711 ANNA\n"
     "kivo release ZEV//4711</pre>\n"},
    {"changeLog",
     "<h3>Change log</h3>\n"
     "<p>The version history of kivo.</p>\n"
     "<ul>\n"
     "  <li>Version 1.1.3: manual page and shell completion; help texts for every action.</li>\n"
     "  <li>Version 1.1.0: delivery-unit transport between systems; the empty repository "
     "workspace.</li>\n"
     "  <li>Version 1.0.0: first version: checkout, commit, activate, push, resolve.</li>\n"
     "</ul>\n"
     "<p>kivo version prints the version of the running program.</p>\n"},
    {"cleanUp",
     "<h3>Cleaning up</h3>\n"
     "<p>Inactive objects stay in the repository until they are activated or reverted. kivo "
     "list iWS shows which repository workspaces hold inactive objects; kivo delete iws and "
     "kivo delete allIWS remove them. In the workspace, kivo discard removes files that you "
     "no longer need and kivo untrack stops following packages.</p>\n"
     "<pre>kivo list iWS \"*\"\nkivo revert ios\nkivo delete iws old --inactiveWorkSpaceUser=ANNA"
     "</pre>\n"},
    {"conflicts",
     "<h3>Conflict resolution</h3>\n"
     "<p>A file becomes conflicted when the repository holds a newer version of an object "
     "that you changed locally: checkout then keeps your file, stores the repository version "
     "and the base version in the settings folder, and marks the file. Activation reports the "
     "same situation as an activation conflict, and kivo checks the objects out so that they "
     "become conflicted files.</p>\n"
     "<p>kivo status lists conflicted files. kivo resolve settles them with exactly one mode: "
     "--local keeps your file, --remote takes the repository version, --base the version "
     "yours was based on, and --mergeTool opens the merge tool. kivo push --with=MODE resolves "
     "and pushes again in one go.</p>\n"
     "<p>kivo checkout --force overwrites your files with the repository versions, but a "
     "version you committed stays in the repository as your inactive version (kivo list ios "
     "shows it): a later activation conflicts with it until kivo revert removes it.</p>\n"
     "<pre>kivo status\nkivo resolve p1/test.txt --mergeTool\nkivo push\n"
     "kivo checkout --force p1/test.txt\nkivo revert p1/test.txt</pre>\n"},
    {"deliveryUnits",
     "<h3>Delivery units</h3>\n"
     "<p>A delivery unit is a named set of packages of one vendor, shipped between systems as "
     "one archive file. kivo assign puts packages into a delivery unit, kivo export writes "
     "its archive, kivo import reads archives, kivo transport does both between two systems "
     "and kivo undeploy removes a delivery unit with all its objects.</p>\n"
     "<pre>kivo create du DU1 --vendor=acme.com\nkivo assign p1 DU1\nkivo export DU1 du1.tgz"
     "</pre>\n"},
    {"environment",
     "<h3>Generic environment variables</h3>\n"
     "<p>Most options have an environment variable that applies when the command line does "
     "not give the option: KIVO_VERBOSE=1, KIVO_TRACE=1, KIVO_KEY, KIVO_HOST, KIVO_USER, "
     "KIVO_PASSWD, KIVO_WORKSPACE, KIVO_MERGETOOL, KIVO_LINEEND and others (the manual page "
     "lists them all). A flag is set by the value 1.</p>\n"
     "<ul>\n"
     "  <li>KIVO_ADVANCED=yes: advanced mode, with further syntaxes and defaults.</li>\n"
     "  <li>KIVO_ROOT: the directory relative workspace paths are taken from.</li>\n"
     "  <li>KIVO_ARGS=1: echo the command line and the parameters; 2 only echoes.</li>\n"
     "  <li>KIVO_IGNORE_LOCKFILE=1: ignore the lock file.</li>\n"
     "  <li>BROWSER: the web browser for kivo help --browse.</li>\n"
     "  <li>temp, TEMP, TMPDIR: the temporary directory.</li>\n"
     "</ul>\n"},
    {"faq",
     "<h3>Frequently asked questions</h3>\n"
     "<p>Why does commit not change the active version? Commit writes inactive versions; "
     "activate or push makes them active.</p>\n"
     "<p>Why is my file conflicted? Someone activated a newer version while you changed it; "
     "see the topic conflicts.</p>\n"
     "<p>kivo says the workspace is locked. Another kivo works in it, or one stopped early; "
     "see the topic lockFile.</p>\n"
     "<p>How do I keep editor backups out of commits? With a .kivoignore file; see the topic "
     "kivoignore.</p>\n"},
    {"zevuserstore",
     "<h3>The key store tool zevuserstore</h3>\n"
     "<p>Instead of host, user and password a workspace may name a key of the key store of "
     "the database client. zevuserstore manages the keys; the password never appears in its "
     "output. The store lies in the directory ZEVUSERSTORE_HOME, by default .zevuserstore in "
     "your home directory.</p>\n"
     "<pre>zevuserstore SET DEVKEY file:repo.db DEV secret\nzevuserstore LIST\n"
     "kivo create workspace ws1 DEVKEY</pre>\n"},
};

} // namespace

std::span<const TopicHelpText> topics() {
    return theTopics;
}

} // namespace RepositoryAccess::helptexts
