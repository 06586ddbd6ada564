#pragma once

#include <string>
#include <string_view>

namespace RepositoryAccess::server {

// The PBKDF2-HMAC-SHA256 iterations of a new password hash, as current advice for that digest
// asks: about 0.14 s of one core on this kind of machine, which is what one guess costs an
// attacker who holds a copy of the repository.
constexpr int kPasswordIterations = 600000;

// Hashes a password with a fresh random salt (PBKDF2-HMAC-SHA256). The result names the method,
// the iteration count, the salt and the hash, so that the count can be raised later:
// "pbkdf2-sha256$<iterations>$<salt hex>$<hash hex>". Throws Error when no random bytes are had.
std::string hashPassword(std::string_view thePassword);

// True when thePassword matches theStoredHash (compared in constant time); false for a
// malformed stored hash.
bool verifyPassword(std::string_view thePassword, std::string_view theStoredHash);

// The passwords a client has verified before against a stored hash, so that a run whose password
// is known good does not pay the derivation again. Only the client's own secrets go into it.
class PasswordMemo {
public:
    virtual ~PasswordMemo() = default;
    // True when thePassword of theUser was verified against theStoredHash before.
    virtual bool holds(std::string_view theUser, std::string_view theStoredHash,
                       std::string_view thePassword) const = 0;
    // Notes a password that has just been verified against theStoredHash.
    virtual void add(std::string_view theUser, std::string_view theStoredHash,
                     std::string_view thePassword) = 0;
};

} // namespace RepositoryAccess::server
