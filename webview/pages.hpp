#pragma once

// The pages of the web view, one family per file: packages (`pagespackages`), an object's
// history (`pagesobject`) and annotation (`pagesannotate`), the activity and the changes
// (`pageschanges`), delivery units
// (`pagesdeliveryunits`). Each reads what it shows through the RepositoryReader, a bounded number
// of requests per page, and escapes every text it did not write itself.

#include "webview/pagekit.hpp"

namespace RepositoryAccess::webview {

// All packages as a tree, each with its delivery unit.
Page packagesPage(RepositoryReader& theReader, const PageRequest& theRequest);
// One package (parameter "name"): its attributes and its active objects.
Page packagePage(RepositoryReader& theReader, const PageRequest& theRequest);
// One object ("package", "name", "suffix"): its versions, newest first, each with the unified
// difference to the version before it.
Page objectPage(RepositoryReader& theReader, const PageRequest& theRequest);
// One object's version ("version", by default the newest that is no deletion) with each line
// marked with the version and user that last changed it.
Page annotatePage(RepositoryReader& theReader, const PageRequest& theRequest);
// The activations of the whole repository, newest first.
Page activityPage(RepositoryReader& theReader, const PageRequest& theRequest);
// All changes with their contributors' validation state.
Page changesPage(RepositoryReader& theReader, const PageRequest& theRequest);
// One change ("id"): its attributes, contributors and objects.
Page changePage(RepositoryReader& theReader, const PageRequest& theRequest);
// All delivery units.
Page deliveryUnitsPage(RepositoryReader& theReader, const PageRequest& theRequest);
// One delivery unit ("name", "vendor"): its attributes and packages.
Page deliveryUnitPage(RepositoryReader& theReader, const PageRequest& theRequest);

} // namespace RepositoryAccess::webview
