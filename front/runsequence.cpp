#include "front/runsequence.hpp"

namespace RepositoryAccess {

int run(int, char**) { return 0; }

} // namespace RepositoryAccess
