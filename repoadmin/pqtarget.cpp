#include "repoadmin/pqtarget.hpp"

#include "repoadmin/pqdatabase.hpp"
#include "server/engine.hpp"
#include "server/passwordhash.hpp"
#include "server/transaction.hpp"

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

std::vector<std::string> userNames(PqDatabase& theDatabase) {
    std::vector<std::string> aNames;
    auto aQuery = theDatabase.query("SELECT name FROM users ORDER BY name");
    while (aQuery.step())
        aNames.push_back(aQuery.text(0));
    return aNames;
}

} // namespace

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

void PqTarget::setLoginRole(PqDatabase& theDatabase, const std::string& theName,
                            const std::string& thePassword) const {
    const std::string aRole = theDatabase.quoteIdentifier(theName);
    const std::string aPassword =
        theDatabase.quoteLiteral(theDatabase.encryptPassword(theName, thePassword));
    const std::string anAlter = "ALTER ROLE " + aRole + " LOGIN PASSWORD " + aPassword;
    if (roleExists(theDatabase, theName)) {
        theDatabase.execute(anAlter);
    } else {
        // Roles belong to the whole server: another administrator may create the same role
        // between the question and the creation. Then the creation fails, and the role that
        // exists by now gets the password; any other failure shows in the change.
        theDatabase.execute("SAVEPOINT new_role");
        try {
            theDatabase.execute("CREATE ROLE " + aRole + " LOGIN PASSWORD " + aPassword);
        } catch (const StorageError&) {
            theDatabase.execute("ROLLBACK TO SAVEPOINT new_role");
            theDatabase.execute(anAlter);
        }
        theDatabase.execute("RELEASE SAVEPOINT new_role");
    }
    theDatabase.execute("GRANT CONNECT ON DATABASE " +
                        theDatabase.quoteIdentifier(itsAddress.database()) + " TO " + aRole);
}

bool PqTarget::putUser(const std::string& theName, const std::string& thePassword) {
    std::unique_ptr<PqDatabase> apDatabase = connectRepository();
    PqDatabase& aDatabase = *apDatabase;
    RepositoryStore aStore(std::move(apDatabase));
    return storeUser(aStore, {theName, hashPassword(thePassword)},
                     [&] { setLoginRole(aDatabase, theName, thePassword); });
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
            theDatabase.execute("CREATE ROLE " + aRole + " LOGIN");
            aLines.push_back("User " + aName +
                             " has no password on the server yet: set one with "
                             "kivo-repo user " +
                             name() + " " + aName + " PASSWORD");
        }
        theDatabase.execute("GRANT CONNECT ON DATABASE " +
                            theDatabase.quoteIdentifier(itsAddress.database()) + " TO " + aRole);
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
