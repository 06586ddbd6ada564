#pragma once

#include "dbclient/dbclient.hpp"

#include <string>
#include <utility>
#include <vector>

namespace RepositoryAccess::dbclient {

// The TLS connect properties as libpq connection keywords.
//   no TLS property          libpq's conventions: PGSSLMODE when set; else verify-full when
//                            libpq finds a trust store (PGSSLROOTCERT, ~/.postgresql/root.crt);
//                            else nothing, so that libpq's own default (prefer) applies
//   ENCRYPT FALSE            sslmode=disable; any other TLS property is then refused
//   ENCRYPT TRUE, or any other TLS property:
//     sslValidateCertificate TRUE (the default)  sslmode=verify-full: the chain against the trust
//                                                store and the host name; needs sslTrustStore,
//                                                else the trust store libpq finds
//     sslValidateCertificate FALSE               sslmode=require: encrypted, nothing verified
//     sslTrustStore          sslrootcert, a PEM file of trusted certificate authorities
//     sslKeyStore            sslcert and sslkey: one PEM file with the client certificate and key
//     sslKeyStorePassword    sslpassword, for an encrypted key
//     sslCryptoProvider      only "openssl" (or empty)
struct TlsSettings {
    std::vector<std::pair<std::string, std::string>> itsKeywords;
    // Why the properties cannot be used; empty when they can.
    std::string itsRefusal;
    bool itsValidates = false;
    std::string itsTrustStore;
};

TlsSettings mapTlsProperties(const ConnectProperties& theProperties);

// A clear text for a connect that libpq refused with theMessage, naming the TLS reason.
std::string describeConnectFailure(const std::string& theMessage, const TlsSettings& theTls,
                                   const std::string& theHost, int& theCode);

} // namespace RepositoryAccess::dbclient
