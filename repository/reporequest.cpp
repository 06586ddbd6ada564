#include "repository/reporequest.hpp"

#include <sstream>

namespace RepositoryAccess {

std::string RepositoryRequest::json() const {
    std::ostringstream aStream;
    writeBody(aStream);
    return std::move(aStream).str();
}

} // namespace RepositoryAccess
