// Calls the password prompt once and shows what it read, and whether terminal echo is back on,
// so that the terminal tests can watch the prompt from outside.
#include <iostream>

#include <termios.h>
#include <unistd.h>

#include "core/error.hpp"
#include "workspace/sys.hpp"

int main() {
    try {
        const RepositoryAccess::SecureString aPassword = RepositoryAccess::sys::readPassword();
        std::cout << "read: [" << aPassword.view() << "]\n";
        termios aMode{};
        if (::isatty(STDIN_FILENO) && ::tcgetattr(STDIN_FILENO, &aMode) == 0)
            std::cout << "echo: " << ((aMode.c_lflag & ECHO) ? "on" : "off") << "\n";
    } catch (const RepositoryAccess::Error& anError) {
        std::cerr << anError.what() << "\n";
        return 1;
    }
    return 0;
}
