#pragma once

#include "server/passwordhash.hpp"

#include <string>
#include <vector>

namespace RepositoryAccess::dbclient {

// The key store's memo of verified passwords: the file "verified" beside the keys, 0600 in the
// key store's 0700 directory. It holds a random secret and, for each password of a key that a
// repository file accepted, the HMAC-SHA256 under that secret of the user, the stored hash and
// the password. A later run with the same key then connects without the password derivation,
// which costs a tenth of a second by design. Whoever can read the memo can read the keys beside
// it, which hold the passwords themselves, so the memo gives away nothing more; a changed password
// changes the stored hash and finds no entry. A memo that others can read, or that cannot be
// read or written, is not used: the password is then derived as without it.
class PasswordMemo : public server::PasswordMemo {
public:
    explicit PasswordMemo(std::string theFilePath);

    bool holds(std::string_view theUser, std::string_view theStoredHash,
               std::string_view thePassword) const override;
    void add(std::string_view theUser, std::string_view theStoredHash,
             std::string_view thePassword) override;

private:
    std::string tag(std::string_view theUser, std::string_view theStoredHash,
                    std::string_view thePassword) const;
    void load();

    std::string itsFilePath;
    std::string itsSecret; // empty when the memo is not to be used
    std::vector<std::string> itsTags;
};

} // namespace RepositoryAccess::dbclient
