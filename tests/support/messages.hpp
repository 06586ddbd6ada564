#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/error.hpp"

namespace kivotest {

// The first message of the program error that the call raises, or "no error".
inline std::string messageOf(const std::function<void()>& theCall) {
    try {
        theCall();
    } catch (const RepositoryAccess::Error& anError) {
        return anError.what();
    }
    return "no error";
}

// Every message of the program error that the call raises, outermost first, or {"no error"}.
inline std::vector<std::string> messagesOf(const std::function<void()>& theCall) {
    try {
        theCall();
    } catch (const RepositoryAccess::Error& anError) {
        return anError.messages();
    }
    return {"no error"};
}

} // namespace kivotest
