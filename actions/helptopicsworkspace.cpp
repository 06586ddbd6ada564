#include "actions/helpentries.hpp"

// Topic texts about the workspace and its files.

namespace RepositoryAccess::helptexts {

namespace {

constexpr TopicHelpText theTopics[] = {
    {"lockFile",
     "<h3>The lock file</h3>\n"
     "<p>While kivo changes a workspace it holds the file .lock in the folder "
     "._SYS_KIVO_settings of the workspace. It names the program and its process id. A second "
     "kivo that finds the lock of another process stops with the message Workspace already "
     "locked by other process. kivo status reads without the lock.</p>\n"
     "<p>A lock that stays after a crash is never removed by kivo: delete the file, or set "
     "KIVO_IGNORE_LOCKFILE to 1 when you are sure that no other kivo works in the "
     "workspace.</p>\n"},
    {"logs",
     "<h3>Log files</h3>\n"
     "<p>Every run inside a workspace appends a block to commands.log in the folder "
     "._SYS_KIVO_settings/logs: the time, the command line, the parameters and the run "
     "statistics. Passwords are never written. --noCommandLog leaves the file alone. With "
     "--log, activation, export and import write their own logs into the same folder.</p>\n"},
    {"mergeToolConfig",
     "<h3>Merge tool configuration</h3>\n"
     "<p>kivo mergetool and kivo resolve --mergeTool run a three-way merge tool for each "
     "conflicted file. The command comes from --mergeToolConfig or the environment variable "
     "KIVO_MERGETOOL, by default p4merge %b %r %l %l. In the command, %b stands for the base "
     "version, %r for the repository version and %l for your local file, which receives the "
     "result. The tool works on copies of the three in kivo's temporary directory, under names "
     "that kivo makes (such as merge-4711-1-local.txt), so that no character of a file name "
     "reaches the shell; each placeholder is replaced by the copy's path, quoted unless the "
     "command quotes it. When you take the result, the local copy replaces your file; what the "
     "tool writes beside the local copy (such as merge-4711-1-local.txt.merged) goes beside your "
     "file (FILE.merged).</p>\n"
     "<p>kivo-merge, installed beside kivo, merges without a window: changes of both sides that "
     "do not overlap go into your file and the conflict is resolved; overlapping ones leave "
     "your file as it is and write the merge with conflict markers beside it as FILE.merged, "
     "for you to edit. When the command cannot be started, kivo says so and the file stays "
     "conflicted.</p>\n"
     "<pre>export KIVO_MERGETOOL=\"kivo-merge %b %r %l\"\nkivo push --mergeTool --noConfirm\n"
     "export KIVO_MERGETOOL=\"meld %l %b %r\"</pre>\n"},
    {"nutshell",
     "<h3>kivo in a nutshell</h3>\n"
     "<p>kivo mirrors packages of the repository into a workspace: packages become "
     "directories, objects become files. Edit the files with any tool, then:</p>\n"
     "<pre>kivo create workspace ws1 DEVKEY\ncd ws1\nkivo checkout p1/\nkivo status\n"
     "kivo push</pre>\n"
     "<p>checkout brings repository versions, status shows local changes, commit writes them "
     "as inactive versions, activate makes them active, and push does both.</p>\n"},
    {"objects",
     "<h3>Objects</h3>\n"
     "<p>An object is a file of the repository, named by its package, its name and its "
     "suffix, such as test.txt in package p1.p2, the file p1/p2/test.txt of the workspace. "
     "The repository keeps one active version of it, inactive versions in the repository "
     "workspaces of users, and numbered historical versions (kivo list history).</p>\n"},
    {"packages",
     "<h3>Packages</h3>\n"
     "<p>Packages form a tree of dot-separated names such as p1.p2; a part that contains a dot "
     "itself is written in double quotes. In the workspace a package is a directory, so "
     "p1/p2/ and p1.p2 name the same package. A tracked package includes all its sub "
     "packages.</p>\n"},
    {"kivoignore",
     "<h3>.kivoignore files</h3>\n"
     "<p>A file .kivoignore in a workspace directory names files that kivo leaves out: they "
     "are never new, changed or deleted and cannot be committed. It is a JSON object with the "
     "lists exclude and include of regular expressions; include keeps files that an exclude "
     "rule matches. The rules apply to the directory and everything below it. --debugKivoignore "
     "shows which rule decides.</p>\n"
     "<p>A pattern is anchored at its directory and at the end of the name: it must match the "
     "whole rest of the path after the directory of the .kivoignore file and a slash. So "
     "notes\\.txt ignores only the file notes.txt beside the .kivoignore file, not "
     "sub/notes.txt; .*\\.bak ignores every name ending in .bak there and in every directory "
     "below, because .* also matches slashes; build/.* ignores everything below the directory "
     "build. A pattern is a regular expression, not a file-name wildcard: *.bak is refused as "
     "an invalid pattern (the star repeats the character before it, and there is none), write "
     ".*\\.bak; \\. stands for a dot. Inside the JSON text every backslash is written twice.</p>\n"
     "<pre>{\"exclude\": [\"notes\\\\.txt\", \".*\\\\.bak\", \"build/.*\", \".*~\"],\n"
     " \"include\": [\"(.*/)?keep\\\\.bak\"]}</pre>\n"
     "<p>This ignores notes.txt, every .bak file except those named keep.bak (in any "
     "directory: (.*/)? stands for the directories in between, or none), everything below "
     "build, and editor backups ending in ~.</p>\n"},
    {"statusCalculation",
     "<h3>Local object status calculation</h3>\n"
     "<p>kivo compares the files on disk with the status file of the workspace and sorts each "
     "file into conflicted, modified, deleted, new or unchanged. A file counts as modified "
     "when its content hash differs from the stored one. A file whose size, times, inode and "
     "device are still those recorded when its hash was stored is unchanged without being "
     "read; commit, push and checkout record them.</p>\n"
     "<ul>\n"
     "  <li>--fast: a file whose timestamp is unchanged counts as unchanged; others are "
     "hashed.</li>\n"
     "  <li>--veryFast: a file whose timestamp changed counts as modified without "
     "hashing.</li>\n"
     "  <li>--noCompare: every file counts as modified.</li>\n"
     "</ul>\n"},
    {"timeStamps",
     "<h3>Timestamps</h3>\n"
     "<p>Options that take a point in time, such as --historical, --from and --to, accept "
     "YYYY-MM-DD HH:MM:SS.NNN or YYYY-MM-DD. They are the repository's times in UTC, not your "
     "local time: kivo list history shows the activation times of an object in the same form, "
     "and a time taken from there selects exactly that version. The status file stores the "
     "last-write time of each file in UTC with milliseconds; --fast and --veryFast compare "
     "it.</p>\n"
     "<pre>kivo checkout p1/ --historical=\"2024-05-01 12:00:00.000\"</pre>\n"},
    {"traces",
     "<h3>Trace files</h3>\n"
     "<p>With --trace (-t) kivo appends everything it prints and the details of the run to "
     "commands.trace in ._SYS_KIVO_settings/logs. --perfTrace writes the timing of the run to "
     "kivoPerfTrace.xml in the current directory.</p>\n"},
};

} // namespace

std::span<const TopicHelpText> workspaceTopics() {
    return theTopics;
}

} // namespace RepositoryAccess::helptexts
