// The extension's update path from its first release, and the file layout beside the server's.

#include "server/transaction.hpp"
#include "sqlitefile/fileschema.hpp"
#include "sqlitefile/sqlitedb.hpp"
#include "tests/pg/serverrepository.hpp"

using namespace kivotest;
using RepositoryAccess::server::SqliteDatabase;

using ExtensionUpdateTest = ServerRepositoryTest;

namespace {

// What a database's repository is made of, one line each, sorted: the columns and constraints of
// its tables, its indexes, triggers and views, the extension's members and the tables pg_dump
// holds, and who may do what (the database's own group role shown as kivo_DB_users).
constexpr const char* kMakeup = R"SQL(
SELECT 'column ' || table_schema || '.' || table_name || '.' || column_name || ' ' || data_type ||
       ' ' || is_nullable || ' ' || coalesce(column_default, '') || ' ' || is_identity || ' ' ||
       coalesce(collation_name, '') || ' ' || ordinal_position
    FROM information_schema.columns WHERE table_schema IN ('sys', 'PUBLIC')
UNION ALL SELECT 'constraint ' || conrelid::regclass || ' ' || pg_get_constraintdef(oid)
    FROM pg_constraint WHERE connamespace = 'sys'::regnamespace
UNION ALL SELECT 'index ' || indexdef FROM pg_indexes WHERE schemaname = 'sys'
UNION ALL SELECT 'trigger ' || tgrelid::regclass || ' ' || pg_get_triggerdef(oid)
    FROM pg_trigger WHERE NOT tgisinternal
UNION ALL SELECT 'view ' || viewname || ' ' || definition FROM pg_views WHERE schemaname = 'PUBLIC'
UNION ALL SELECT 'member ' || pg_describe_object(classid, objid, objsubid) FROM pg_depend
    WHERE refclassid = 'pg_extension'::regclass AND deptype = 'e'
UNION ALL SELECT 'dumped ' || unnest(extconfig)::regclass::text FROM pg_extension
    WHERE extname = 'kivo'
UNION ALL SELECT 'may ' || what || ' ' ||
       CASE WHEN a.grantee = 0 THEN 'PUBLIC'
            ELSE replace(pg_get_userbyid(a.grantee), current_database(), 'DB') END ||
       ' ' || a.privilege_type
    FROM (SELECT 'schema ' || nspname AS what, coalesce(nspacl, acldefault('n', nspowner)) AS acl
              FROM pg_namespace WHERE nspname IN ('sys', 'PUBLIC')
          UNION ALL SELECT 'relation ' || oid::regclass,
                           coalesce(relacl, acldefault(CASE WHEN relkind = 'S' THEN 's'
                                                            ELSE 'r' END::"char", relowner))
              FROM pg_class WHERE relnamespace IN ('sys'::regnamespace, '"PUBLIC"'::regnamespace)
                  AND relkind IN ('r', 'S', 'v')
          UNION ALL SELECT 'function ' || oid::regprocedure, coalesce(proacl, acldefault('f', proowner))
              FROM pg_proc WHERE pronamespace = 'sys'::regnamespace) AS o,
         aclexplode(o.acl) AS a
UNION ALL SELECT 'initially ' || pg_describe_object(classoid, objoid, objsubid) || ' ' ||
       initprivs::text
    FROM pg_init_privs WHERE privtype = 'e'
ORDER BY 1
)SQL";

// One line per column of a repository file's tables as kServerColumns spells it: table, column,
// type, nullability and place in the primary key.
constexpr const char* kFileColumns = R"SQL(
SELECT m.name || '.' || p.name || ' ' ||
       CASE p.type WHEN 'TEXT' THEN 'text' WHEN 'INTEGER' THEN 'bigint' WHEN 'BLOB' THEN 'bytea'
                   ELSE 'unknown ' || p.type END ||
       CASE WHEN p."notnull" OR p.pk THEN ' NO ' ELSE ' YES ' END || p.pk
    FROM sqlite_master m JOIN pragma_table_info(m.name) p WHERE m.type = 'table'
    ORDER BY m.name, p.cid
)SQL";

constexpr const char* kServerColumns = R"SQL(
SELECT c.table_name || '.' || c.column_name || ' ' || c.data_type || ' ' || c.is_nullable || ' ' ||
       coalesce(k.ordinal_position, 0)
    FROM information_schema.columns c
    LEFT JOIN information_schema.table_constraints t ON t.table_schema = c.table_schema
        AND t.table_name = c.table_name AND t.constraint_type = 'PRIMARY KEY'
    LEFT JOIN information_schema.key_column_usage k ON k.constraint_name = t.constraint_name
        AND k.table_schema = c.table_schema AND k.table_name = c.table_name
        AND k.column_name = c.column_name
    WHERE c.table_schema = 'sys' ORDER BY c.table_name, c.ordinal_position
)SQL";

} // namespace

TEST_F(ExtensionUpdateTest, AnUpdateFromTheFirstReleaseKeepsEveryRowAndEndsAsANewDatabase) {
    // A database with the extension at its first release, as kivo-repo init makes it but for that.
    const std::string aDatabase = database("first_");
    execute("template1", "CREATE DATABASE " + aDatabase + " TEMPLATE template0");
    execute(aDatabase, "SET search_path = public; CREATE EXTENSION kivo VERSION '1.0'");
    const std::string aUser = role("UP");
    fill(aDatabase, aUser);
    const std::map<std::string, Rows> aBefore = rows(aDatabase);

    execute(aDatabase, "ALTER EXTENSION kivo UPDATE");
    EXPECT_EQ(lines(aDatabase, "SELECT (extversion = default_version)::text FROM pg_extension JOIN "
                               "pg_available_extensions ON name = extname WHERE name = 'kivo'"),
              "true\n");
    EXPECT_EQ(rows(aDatabase), aBefore);
    pushNewObject("ws", "after.txt");

    const std::string aNew = repository("newest_");
    expectOk(repo({"user", uri(aNew), aUser, "pw"}));
    EXPECT_EQ(lines(aDatabase, kMakeup), lines(aNew, kMakeup));
}

TEST_F(ExtensionUpdateTest, AFileUpgradedFromLevelZeroHasTheTablesOfADatabase) {
    SqliteDatabase aFile((dir() / "levels.db").string(), true);
    {
        RepositoryAccess::server::Transaction aTransaction(aFile, true);
        RepositoryAccess::server::fileschema::create(aFile); // level 0 and every step after it
        aTransaction.commit();
    }
    auto aLevel = aFile.query("PRAGMA user_version");
    ASSERT_TRUE(aLevel.step());
    EXPECT_EQ(aLevel.integer(0), KIVO_PG_EXTENSION_LEVEL)
        << "a new storage level needs a new version of the extension";

    const std::string aDatabase = repository("layout_");
    EXPECT_EQ(linesOf(aFile, kFileColumns), lines(aDatabase, kServerColumns));
    EXPECT_EQ(linesOf(aFile, "SELECT name FROM sqlite_master WHERE type = 'index' AND name NOT "
                             "LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY 1"),
              lines(aDatabase, "SELECT indexname FROM pg_indexes WHERE schemaname = 'sys' AND "
                               "indexname NOT LIKE '%\\_pkey' AND indexname NOT LIKE '%\\_key' "
                               "ORDER BY 1"));
}
