#include "actions/helpentries.hpp"

// Help texts of the actions that ship delivery units between systems.

#define KIVO_EXPORT_OPTIONS                                                                        \
    "  <li>--alias: anonymise the export.</li>\n"                                                  \
    "  <li>--dUCheck=0|1|3: no check, check the version, check version and support "               \
    "package.</li>\n"                                                                              \
    "  <li>--exportVersion=VERSION (--eV): an older archive format, for older systems.</li>\n"     \
    "  <li>--log (-l): write the export log into the logs folder.</li>\n"

#define KIVO_IMPORT_OPTIONS                                                                        \
    "  <li>--autoActivate=1|0: activate after the import (default 1).</li>\n"                      \
    "  <li>--activationMode=MODE: see the topic activationMode.</li>\n"                            \
    "  <li>--forceRemove=1|0: revert inactive versions of the imported objects first (default "    \
    "1); with 0 the import fails if such versions exist.</li>\n"                                   \
    "  <li>--onlyTestImport=1|0: only test the import.</li>\n"                                     \
    "  <li>--determineXrefs=1|0: determine cross references and texts.</li>\n"                     \
    "  <li>--noMultiImport: import the files one by one.</li>\n"                                   \
    "  <li>--log (-l): write the import log into the logs folder.</li>\n"

#define KIVO_TRANSPORT_OPTIONS                                                                     \
    "  <li>--sourceKey, --sourceHostName, --sourceUserName, --sourcePassWord: the system to "      \
    "export from; the connection of the run by default.</li>\n"                                    \
    "  <li>--targetKey, --targetHostName, --targetUserName, --targetPassWord: the system to "      \
    "import into; the connection of the run by default.</li>\n"

namespace RepositoryAccess::helptexts {

namespace {

constexpr CommandHelpText theTexts[] = {
    {"export", "languages", "export the texts of a delivery unit",
     "Writes the translatable texts of the delivery unit DELIVERYUNIT of VENDOR into the "
     "archive file FILENAME, for the languages LANGUAGE, or all languages when none are given.",
     "<ul>\n" KIVO_EXPORT_OPTIONS "</ul>", "<pre>kivo export la DU1 acme.com du1.tgz de fr</pre>",
     "import_languages transport_languages"},
    {"export", "deliveryUnit", "export a delivery unit into an archive file",
     "Writes the delivery unit DELIVERYUNIT with all objects of its packages into the archive "
     "file FILENAME, which kivo import reads on another system.",
     "<ul>\n"
     "  <li>--vendor=VENDOR: the vendor of the delivery unit.</li>\n"
     "  <li>--from=TIMESTAMP, --to=TIMESTAMP: only the changes in this time span (a "
     "patch).</li>\n"
     "  <li>--released (-r): only released objects.</li>\n" KIVO_EXPORT_OPTIONS "</ul>",
     "<pre>kivo export DU1 du1.tgz\nkivo export du DU1 acme.com du1.tgz</pre>",
     "import_deliveryUnit transport_deliveryUnit"},
    {"import", "languages", "import the texts of delivery units",
     "Imports the language archive files FILENAME into the repository.",
     "<ul>\n" KIVO_IMPORT_OPTIONS "</ul>", "<pre>kivo import la du1_de.tgz</pre>",
     "export_languages"},
    {"import", "deliveryUnit", "import archive files",
     "Imports delivery-unit archive files into the repository and activates their objects. "
     "No workspace is needed. A whole delivery unit deletes the objects of its packages that "
     "its archive no longer holds, and takes a listed package from the delivery unit it "
     "belongs to; only an administrator of the repository may import so, and the summary "
     "names each deleted object and taken package.",
     "<ul>\n" KIVO_IMPORT_OPTIONS "</ul>",
     "<pre>kivo import du1.tgz du2.tgz\nkivo import du1.tgz --onlyTestImport=1</pre>",
     "export_deliveryUnit transport_deliveryUnit"},
    {"transport", "languages", "copy the texts of delivery units to another system",
     "Exports the texts of the delivery units from the source system and imports them into "
     "the target system in one run.",
     "<ul>\n" KIVO_TRANSPORT_OPTIONS "</ul>",
     "<pre>kivo transport la DU1 --sourceKey=DEV --targetKey=TEST</pre>", "transport_deliveryUnit"},
    {"transport", "deliveryUnit", "copy delivery units to another system",
     "Exports each delivery unit from the source system into a file in the temporary "
     "directory and imports all of them into the target system.",
     "<ul>\n" KIVO_TRANSPORT_OPTIONS
     "  <li>The options of export and import apply to their steps.</li>\n</ul>",
     "<pre>kivo transport DU1 DU2 --sourceKey=DEV --targetKey=TEST</pre>",
     "export_deliveryUnit import_deliveryUnit"},
    {"unDeploy", "", "remove a delivery unit with its objects",
     "Deletes the delivery units together with all objects of their packages and reports the "
     "numbers of deleted objects and packages. Only an administrator of the repository may "
     "undeploy.",
     "<ul>\n  <li>--vendor=VENDOR: the vendor of the delivery units.</li>\n</ul>",
     "<pre>kivo undeploy DU1 --vendor=acme.com</pre>", "delete_deliveryUnit import_deliveryUnit"},
};

} // namespace

std::span<const CommandHelpText> deliveryActions() {
    return theTexts;
}

} // namespace RepositoryAccess::helptexts
