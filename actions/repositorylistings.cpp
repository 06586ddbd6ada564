#include "actions/repositorylistings.hpp"

#include "front/error.hpp"

// The repository calls behind these listings come with the connection layer; until then every
// listing fails with a message that says what is missing.
namespace RepositoryAccess::repositorylistings {

namespace {

[[noreturn]] void notAvailable() {
    throw Error("kivo: The repository connection is not available in this version of kivo.");
}

} // namespace

std::vector<std::string> rootPackages() {
    notAvailable();
}

std::vector<RepositoryObject> inactiveObjectsOfPackages(const std::vector<std::string>&) {
    notAvailable();
}

std::vector<RepositoryObject> inactiveObjectsOf(const std::vector<RepositoryObject>&) {
    notAvailable();
}

void printInactiveObjects(const std::vector<RepositoryObject>&) {
    notAvailable();
}

} // namespace RepositoryAccess::repositorylistings
