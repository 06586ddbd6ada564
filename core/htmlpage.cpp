#include "core/htmlpage.hpp"

namespace RepositoryAccess::htmlpage {

std::string_view styleRules() {
    return "li {margin-bottom: 8px;}\npre {margin-bottom: 0;}\n";
}

std::string frame(std::string_view theTitle, std::string_view theHead, std::string_view theBody) {
    std::string aPage = "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>\n";
    aPage.append(theTitle).append("</title>\n").append(theHead).append("</head>\n<body>\n");
    aPage.append(theBody).append("</body>\n</html>");
    return aPage;
}

std::string escape(std::string_view theText) {
    std::string anEscaped;
    anEscaped.reserve(theText.size());
    for (char aChar : theText) {
        switch (aChar) {
        case '&':
            anEscaped += "&amp;";
            break;
        case '<':
            anEscaped += "&lt;";
            break;
        case '>':
            anEscaped += "&gt;";
            break;
        case '"':
            anEscaped += "&quot;";
            break;
        case '\'':
            anEscaped += "&#39;";
            break;
        default:
            anEscaped += aChar;
        }
    }
    return anEscaped;
}

} // namespace RepositoryAccess::htmlpage
