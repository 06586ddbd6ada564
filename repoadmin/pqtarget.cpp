#include "repoadmin/pqtarget.hpp"

#include "repoadmin/pqdatabase.hpp"
#include "server/engine.hpp"
#include "server/passwordhash.hpp"
#include "server/transaction.hpp"

#include <cstdint>
#include <cstdio>

namespace RepositoryAccess::server {

namespace {

// The class of the session-level advisory lock on a database's name (its key pairs it with the
// name's hash) that a run holds while it makes a repository; the bytes spell "kivC".
constexpr std::int32_t kCreationLock = 0x6B697643;

bool holdsRepository(PqDatabase& theDatabase) {
    auto aQuery = theDatabase.query("SELECT 1 FROM pg_extension WHERE extname = 'kivo'");
    return aQuery.step();
}

bool roleExists(PqDatabase& theDatabase, const std::string& theName) {
    auto aQuery = theDatabase.query("SELECT 1 FROM pg_roles WHERE rolname = ?");
    aQuery.bind(1, theName);
    return aQuery.step();
}

// The mark on the login roles that kivo-repo made, which it may drop again; a role made by the
// administrator for anything else is never dropped.
constexpr const char* kMadeRoleMark = "login role of kivo repository users";

bool isSuperuser(PqDatabase& theDatabase, const std::string& theName) {
    auto aQuery = theDatabase.query("SELECT 1 FROM pg_roles WHERE rolname = ? AND rolsuper");
    aQuery.bind(1, theName);
    return aQuery.step();
}

bool isMadeRole(PqDatabase& theDatabase, const std::string& theName) {
    auto aQuery = theDatabase.query(
        "SELECT 1 FROM pg_roles r JOIN pg_shdescription d ON d.objoid = r.oid AND "
        "d.classoid = 'pg_authid'::regclass WHERE r.rolname = ? AND d.description = ?");
    aQuery.bind(1, theName);
    aQuery.bind(2, std::string(kMadeRoleMark));
    return aQuery.step();
}

// True when theName is a member of a repository's group role other than theGroup.
bool inOtherGroup(PqDatabase& theDatabase, const std::string& theName,
                  const std::string& theGroup) {
    auto aQuery = theDatabase.query(
        "SELECT 1 FROM pg_auth_members m JOIN pg_roles g ON g.oid = m.roleid "
        "JOIN pg_roles u ON u.oid = m.member WHERE u.rolname = ? AND g.rolname <> ? "
        "AND g.rolname LIKE 'kivo\\_%\\_users'");
    aQuery.bind(1, theName);
    aQuery.bind(2, theGroup);
    return aQuery.step();
}

std::vector<std::string> userNames(PqDatabase& theDatabase) {
    std::vector<std::string> aNames;
    auto aQuery = theDatabase.query("SELECT name FROM users ORDER BY name");
    while (aQuery.step())
        aNames.push_back(aQuery.text(0));
    return aNames;
}

} // namespace

std::string PqTarget::usersGroup(const std::string& theDatabase) {
    // A role name holds at most 63 bytes; a longer database name keeps its start and a hash of
    // the whole, so that two long names never share a group.
    constexpr std::size_t kLongest = 63;
    std::string aGroup = "kivo_" + theDatabase + "_users";
    if (aGroup.size() <= kLongest)
        return aGroup;
    std::uint32_t aHash = 2166136261u;
    for (unsigned char aByte : theDatabase)
        aHash = (aHash ^ aByte) * 16777619u;
    char aHex[9];
    std::snprintf(aHex, sizeof aHex, "%08x", aHash);
    std::string aStart = theDatabase.substr(0, kLongest - 20);
    while (!aStart.empty() && (static_cast<unsigned char>(aStart.back()) & 0xC0) == 0x80)
        aStart.pop_back(); // no UTF-8 sequence cut in two
    if (!aStart.empty() && static_cast<unsigned char>(aStart.back()) >= 0xC0)
        aStart.pop_back();
    return "kivo_" + aStart + "_" + aHex + "_users";
}

void PqTarget::restrictToUsers(PqDatabase& theDatabase) const {
    const std::string aGroupName = usersGroup(itsAddress.database());
    const std::string aGroup = theDatabase.quoteIdentifier(aGroupName);
    if (!roleExists(theDatabase, aGroupName))
        theDatabase.execute("CREATE ROLE " + aGroup + " NOLOGIN");
    const std::string aDatabase = theDatabase.quoteIdentifier(itsAddress.database());
    const std::string aViews =
        "\"PUBLIC\".\"M_FEATURES\", \"PUBLIC\".\"M_DATABASE\", \"PUBLIC\".\"M_CONNECTIONS\"";
    theDatabase.execute("REVOKE ALL ON DATABASE " + aDatabase + " FROM PUBLIC; " +
                        "GRANT CONNECT ON DATABASE " + aDatabase + " TO " + aGroup + "; " +
                        "REVOKE ALL ON FUNCTION sys.repository_rest(bytea) FROM PUBLIC; " +
                        "GRANT EXECUTE ON FUNCTION sys.repository_rest(bytea) TO " + aGroup +
                        "; REVOKE ALL ON SCHEMA sys, \"PUBLIC\" FROM PUBLIC; " +
                        "GRANT USAGE ON SCHEMA sys, \"PUBLIC\" TO " + aGroup + "; " +
                        "REVOKE ALL ON " + aViews + " FROM PUBLIC; GRANT SELECT ON " + aViews +
                        " TO " + aGroup);
}

std::unique_ptr<PqDatabase> PqTarget::maintenance() const {
    std::vector<std::string> aCandidates;
    for (const char* aName : {"postgres", "template1"})
        if (itsAddress.database() != aName)
            aCandidates.emplace_back(aName);
    for (std::size_t i = 0;; ++i) {
        try {
            return std::make_unique<PqDatabase>(itsAddress.withDatabase(aCandidates[i]));
        } catch (const StorageError&) {
            // A server whose "postgres" was dropped or renamed still has template1.
            if (i + 1 == aCandidates.size())
                throw;
        }
    }
}

std::unique_ptr<PqDatabase> PqTarget::lockCreation() const {
    std::unique_ptr<PqDatabase> apMaintenance = maintenance();
    apMaintenance
        ->query("SELECT pg_catalog.pg_advisory_lock(" + std::to_string(kCreationLock) +
                ", pg_catalog.hashtext(?))")
        .bind(1, itsAddress.database())
        .run();
    return apMaintenance;
}

bool PqTarget::ensureDatabase(PqDatabase& theMaintenance) const {
    {
        auto aQuery = theMaintenance.query("SELECT 1 FROM pg_database WHERE datname = ?");
        aQuery.bind(1, itsAddress.database());
        if (aQuery.step())
            return false;
    }
    // template0 has no sessions that could block the copy, and collation "C" suits every
    // encoding: the repository's text compares byte by byte anyway.
    theMaintenance.execute("CREATE DATABASE " +
                           theMaintenance.quoteIdentifier(itsAddress.database()) +
                           " TEMPLATE template0 ENCODING 'UTF8' LC_COLLATE 'C' LC_CTYPE 'C'");
    return true;
}

void PqTarget::undoDatabase(PqDatabase& theMaintenance, Error& theError) const {
    // Without FORCE: a session that someone else opened in the new database meanwhile keeps
    // it, and the administrator is told. The run's own connection to it is closed by now.
    try {
        theMaintenance.execute("DROP DATABASE IF EXISTS " +
                               theMaintenance.quoteIdentifier(itsAddress.database()));
    } catch (const Error& aDropError) {
        theError.addOuter("The new database " + name() +
                          " could not be removed again: " + aDropError.what());
    }
}

std::unique_ptr<PqDatabase> PqTarget::connectRepository() const {
    auto apDatabase = std::make_unique<PqDatabase>(itsAddress);
    if (!holdsRepository(*apDatabase))
        throw Error("The database " + name() + " holds no repository (kivo-repo init makes one)");
    return apDatabase;
}

void PqTarget::installExtension(PqDatabase& theDatabase) const {
    if (holdsRepository(theDatabase))
        throw Error("Repository " + name() + " exists already");
    try {
        // The extension is registered in the first schema of the search path, which must
        // exist: "public". Its own objects live in schema sys.
        theDatabase.execute(
            "SET LOCAL search_path = public; CREATE EXTENSION kivo; SET LOCAL search_path = sys");
    } catch (Error& anError) {
        anError.addOuter("Cannot make a repository in " + name() +
                         " (is the extension kivo installed on the server?)");
        throw;
    }
}

void PqTarget::create(const SettingList& theSettings) {
    const std::unique_ptr<PqDatabase> apCreation = lockCreation();
    const bool aCreated = ensureDatabase(*apCreation);
    try {
        auto apDatabase = std::make_unique<PqDatabase>(itsAddress);
        PqDatabase& aDatabase = *apDatabase;
        RepositoryStore aStore(std::move(apDatabase));
        // A failure closes the connection, which rolls the transaction back.
        Transaction aTransaction(aStore.database(), true);
        installExtension(aDatabase);
        restrictToUsers(aDatabase);
        for (const auto& [aName, aValue] : theSettings)
            aStore.setSetting(aName, aValue);
        aTransaction.commit();
    } catch (Error& anError) {
        if (aCreated)
            undoDatabase(*apCreation, anError);
        throw;
    }
}

std::unique_ptr<RepositoryStore> PqTarget::open() {
    return std::make_unique<RepositoryStore>(connectRepository());
}

std::unique_ptr<Engine> PqTarget::openReadOnly() {
    std::unique_ptr<PqDatabase> apDatabase = connectRepository();
    apDatabase->execute("SET default_transaction_read_only = on");
    return std::make_unique<Engine>(std::move(apDatabase));
}

std::vector<std::string> PqTarget::setLoginRole(PqDatabase& theDatabase, const std::string& theName,
                                                const std::string& thePassword) const {
    const std::string aRole = theDatabase.quoteIdentifier(theName);
    const std::string aPassword =
        theDatabase.quoteLiteral(theDatabase.encryptPassword(theName, thePassword));
    const std::string anAlter = "ALTER ROLE " + aRole + " LOGIN PASSWORD " + aPassword;
    std::vector<std::string> aNotes;
    if (roleExists(theDatabase, theName)) {
        refuseSuperuser(theDatabase, theName);
        theDatabase.execute(anAlter);
        aNotes.push_back("The login role " + aRole +
                         " existed already: its password belongs to the server and is the same "
                         "in every repository that the role logs in to");
    } else {
        // Roles belong to the whole server: another administrator may create the same role
        // between the question and the creation. Then the creation fails, and the role that
        // exists by now gets the password; any other failure shows in the change.
        theDatabase.execute("SAVEPOINT new_role");
        try {
            theDatabase.execute("CREATE ROLE " + aRole + " LOGIN PASSWORD " + aPassword +
                                "; COMMENT ON ROLE " + aRole + " IS " +
                                theDatabase.quoteLiteral(kMadeRoleMark));
        } catch (const StorageError&) {
            theDatabase.execute("ROLLBACK TO SAVEPOINT new_role");
            refuseSuperuser(theDatabase, theName);
            theDatabase.execute(anAlter);
        }
        theDatabase.execute("RELEASE SAVEPOINT new_role");
    }
    restrictToUsers(theDatabase);
    theDatabase.execute("GRANT " + theDatabase.quoteIdentifier(usersGroup(itsAddress.database())) +
                        " TO " + aRole);
    return aNotes;
}

void PqTarget::refuseSuperuser(PqDatabase& theDatabase, const std::string& theName) const {
    if (isSuperuser(theDatabase, theName))
        throw Error("The login role " + theDatabase.quoteIdentifier(theName) +
                    " is a superuser of the server: kivo-repo user does not change it (a "
                    "repository user needs a role of its own)");
}

UserChange PqTarget::putUser(const std::string& theName, const std::string& thePassword) {
    std::unique_ptr<PqDatabase> apDatabase = connectRepository();
    PqDatabase& aDatabase = *apDatabase;
    RepositoryStore aStore(std::move(apDatabase));
    UserChange aChange;
    aChange.itsExisted = storeUser(aStore, {theName, hashPassword(thePassword)}, [&] {
        aChange.itsNotes = setLoginRole(aDatabase, theName, thePassword);
    });
    if (aChange.itsExisted)
        aChange.itsNotes.clear(); // a new password of a user: the role was its own already
    return aChange;
}

std::vector<std::string> PqTarget::releaseLoginRole(PqDatabase& theDatabase,
                                                    const std::string& theName) const {
    const std::string aRole = theDatabase.quoteIdentifier(theName);
    const std::string aGroup = usersGroup(itsAddress.database());
    if (!roleExists(theDatabase, theName))
        return {};
    // A grant of CONNECT of its own is what repositories made before the group gave a user.
    theDatabase.execute("REVOKE " + theDatabase.quoteIdentifier(aGroup) + " FROM " + aRole +
                        "; REVOKE ALL ON DATABASE " +
                        theDatabase.quoteIdentifier(itsAddress.database()) + " FROM " + aRole);
    if (!isMadeRole(theDatabase, theName) || isSuperuser(theDatabase, theName))
        return {"The login role " + aRole + " stays: kivo-repo did not make it"};
    if (inOtherGroup(theDatabase, theName, aGroup))
        return {"The login role " + aRole + " stays: other repositories of the server use it"};
    theDatabase.execute("SAVEPOINT drop_role");
    try {
        theDatabase.execute("DROP ROLE " + aRole);
    } catch (const StorageError& anError) {
        // Privileges in another database (a repository made before the group) keep the role.
        theDatabase.execute("ROLLBACK TO SAVEPOINT drop_role");
        return {"The login role " + aRole + " stays: " + anError.what()};
    }
    theDatabase.execute("RELEASE SAVEPOINT drop_role");
    return {"Dropped the login role " + aRole};
}

std::vector<std::string> PqTarget::removeUser(const std::string& theName) {
    std::unique_ptr<PqDatabase> apDatabase = connectRepository();
    PqDatabase& aDatabase = *apDatabase;
    RepositoryStore aStore(std::move(apDatabase));
    std::vector<std::string> aNotes;
    unstoreUser(
        aStore, theName, [&] { aNotes = releaseLoginRole(aDatabase, theName); }, name());
    return aNotes;
}

void PqTarget::drop() {
    connectRepository(); // only a database that holds a repository is dropped
    std::unique_ptr<PqDatabase> apMaintenance = maintenance();
    apMaintenance->execute("DROP DATABASE " +
                           apMaintenance->quoteIdentifier(itsAddress.database()) + " WITH (FORCE)");
}

RepositorySnapshot PqTarget::openSnapshot() {
    RepositorySnapshot aSnapshot;
    std::unique_ptr<PqDatabase> apDatabase = connectRepository();
    apDatabase->begin(false);
    {
        auto aQuery = apDatabase->query("SELECT relname FROM pg_class WHERE relnamespace = "
                                        "'sys'::regnamespace AND relkind IN ('r', 'p')");
        while (aQuery.step())
            aSnapshot.itsTables.push_back(aQuery.text(0));
    }
    aSnapshot.itsDatabase = std::move(apDatabase);
    return aSnapshot;
}

std::vector<std::string> PqTarget::loginRolesOfUsers(PqDatabase& theDatabase) const {
    std::vector<std::string> aLines;
    for (const std::string& aName : userNames(theDatabase)) {
        const std::string aRole = theDatabase.quoteIdentifier(aName);
        if (roleExists(theDatabase, aName)) {
            aLines.push_back("User " + aName + " keeps the password of the server's login role " +
                             aRole);
        } else {
            // A repository file's password hash cannot become a server password.
            theDatabase.execute("CREATE ROLE " + aRole + " LOGIN; COMMENT ON ROLE " + aRole +
                                " IS " + theDatabase.quoteLiteral(kMadeRoleMark));
            aLines.push_back("User " + aName +
                             " has no password on the server yet: set one with "
                             "kivo-repo user " +
                             name() + " " + aName + " PASSWORD");
        }
        theDatabase.execute("GRANT " +
                            theDatabase.quoteIdentifier(usersGroup(itsAddress.database())) +
                            " TO " + aRole);
    }
    return aLines;
}

std::vector<std::string> PqTarget::createWith(const std::function<void(SqlDatabase&)>& theFill) {
    const std::unique_ptr<PqDatabase> apCreation = lockCreation();
    const bool aCreated = ensureDatabase(*apCreation);
    try {
        PqDatabase aDatabase(itsAddress);
        Transaction aTransaction(aDatabase, true);
        installExtension(aDatabase);
        restrictToUsers(aDatabase);
        theFill(aDatabase);
        // New objects continue after the copied ids.
        aDatabase.execute("SELECT setval(pg_get_serial_sequence('sys.objects', 'id'), "
                          "coalesce(max(id), 0) + 1, false) FROM objects");
        std::vector<std::string> aLines = loginRolesOfUsers(aDatabase);
        aTransaction.commit();
        return aLines;
    } catch (Error& anError) {
        // The connection is closed by now, which rolled the transaction back.
        if (aCreated)
            undoDatabase(*apCreation, anError);
        throw;
    }
}

} // namespace RepositoryAccess::server
