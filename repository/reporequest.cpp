#include "repository/reporequest.hpp"

namespace RepositoryAccess {

std::string RepositoryRequest::json() const {
    std::string aText;
    writeBody(aText);
    return aText;
}

} // namespace RepositoryAccess
