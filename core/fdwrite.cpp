#include "core/fdwrite.hpp"

#include <unistd.h>

#include <cerrno>

namespace RepositoryAccess::fdwrite {

int writeAll(int theFd, std::string_view theBytes) {
    std::size_t aDone = 0;
    while (aDone < theBytes.size()) {
        ssize_t aWritten = ::write(theFd, theBytes.data() + aDone, theBytes.size() - aDone);
        if (aWritten < 0 && errno == EINTR)
            continue;
        if (aWritten < 0)
            return errno;
        if (aWritten == 0)
            return -1;
        aDone += static_cast<std::size_t>(aWritten);
    }
    return 0;
}

} // namespace RepositoryAccess::fdwrite
