#pragma once

#include <string>
#include <string_view>

namespace RepositoryAccess::server {

// Hashes a password with a fresh random salt (PBKDF2-HMAC-SHA256). The result names the method,
// the iteration count, the salt and the hash, so that the count can be raised later:
// "pbkdf2-sha256$<iterations>$<salt hex>$<hash hex>". Throws Error when no random bytes are had.
std::string hashPassword(std::string_view thePassword);

// True when thePassword matches theStoredHash (compared in constant time); false for a
// malformed stored hash.
bool verifyPassword(std::string_view thePassword, std::string_view theStoredHash);

} // namespace RepositoryAccess::server
