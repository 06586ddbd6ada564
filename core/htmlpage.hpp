#pragma once

// The look that kivo's HTML pages share (the help page and the repository's web view): one
// style sheet, one page frame, and the one escaper for every text that goes into a page.

#include <string>
#include <string_view>

namespace RepositoryAccess::htmlpage {

// The rules of the shared style sheet, one per line.
std::string_view styleRules();

// A whole page: doctype, head with theTitle and theHead (a style block or a style sheet link),
// then theBody. theTitle is taken as HTML, so a caller escapes what it did not write itself.
std::string frame(std::string_view theTitle, std::string_view theHead, std::string_view theBody);

// theText with &, <, >, " and ' written as character references, safe in element content and in
// quoted attribute values.
std::string escape(std::string_view theText);

} // namespace RepositoryAccess::htmlpage
