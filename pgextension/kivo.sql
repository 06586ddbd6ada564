-- The kivo repository inside a database: schema SYS with the repository's tables and the
-- procedure REPOSITORY_REST, which answers one repoV2 frame for the session user, and schema
-- "PUBLIC" with the three views that a client reads after connecting. The tables are the
-- owner's alone: a repository user (a login role of the database with a row in sys.users) may
-- call the procedure and read the views, nothing else.
\echo Use "CREATE EXTENSION kivo" to load this file. \quit

CREATE SCHEMA sys;
CREATE SCHEMA "PUBLIC";

-- The tables, defined once for the repository file and the database (server/storeschema.cpp),
-- with the default settings and object types; the database's name is the repository's.
CREATE FUNCTION sys.kivo_install(database_name text) RETURNS void
    AS 'MODULE_PATHNAME', 'kivo_install'
    LANGUAGE C STRICT VOLATILE
    SET search_path = sys, pg_catalog, pg_temp;
SELECT sys.kivo_install(current_database());
DROP FUNCTION sys.kivo_install(text);
REVOKE ALL ON ALL TABLES IN SCHEMA sys FROM PUBLIC;
REVOKE ALL ON ALL SEQUENCES IN SCHEMA sys FROM PUBLIC;

-- The engine runs as the owner, on the tables of schema sys, for the session user.
CREATE FUNCTION sys.repository_rest(request bytea) RETURNS bytea
    AS 'MODULE_PATHNAME', 'kivo_repository_rest'
    LANGUAGE C STRICT VOLATILE SECURITY DEFINER
    SET search_path = sys, pg_catalog, pg_temp;
REVOKE ALL ON FUNCTION sys.repository_rest(bytea) FROM PUBLIC;
GRANT EXECUTE ON FUNCTION sys.repository_rest(bytea) TO PUBLIC;

-- The API version; no row when the setting is "none".
CREATE VIEW "PUBLIC"."M_FEATURES" AS
    SELECT 'REPOSITORY'::text AS component_name, 'API'::text AS feature_name,
           (CASE WHEN value ~ '^[0-9]{1,18}$' THEN value::bigint END) AS feature_version
    FROM sys.settings
    WHERE name = 'api_version' AND value ~ '^[0-9]{1,18}$';
CREATE VIEW "PUBLIC"."M_DATABASE" AS
    SELECT value AS database_name FROM sys.settings WHERE name = 'database_name';
CREATE VIEW "PUBLIC"."M_CONNECTIONS" AS
    SELECT session_user::text AS user_name, 'TRUE'::text AS own,
           'RUNNING'::text AS connection_status;

GRANT USAGE ON SCHEMA sys, "PUBLIC" TO PUBLIC;
GRANT SELECT ON "PUBLIC"."M_FEATURES", "PUBLIC"."M_DATABASE", "PUBLIC"."M_CONNECTIONS" TO PUBLIC;

-- The role that creates the extension administers the repository (kivo-repo runs as it): it
-- owns the procedure and the views, so that its grants and revocations on them hold, and the
-- procedure runs as it, with no more than its privileges. It reads and writes the tables'
-- rows, but the tables and both schemas stay with the superuser that runs this script: no
-- trigger, default or object of its making ever runs inside the superuser's scripts.
ALTER FUNCTION sys.repository_rest(bytea) OWNER TO @extowner@;
ALTER VIEW "PUBLIC"."M_FEATURES" OWNER TO @extowner@;
ALTER VIEW "PUBLIC"."M_DATABASE" OWNER TO @extowner@;
ALTER VIEW "PUBLIC"."M_CONNECTIONS" OWNER TO @extowner@;
GRANT USAGE ON SCHEMA sys, "PUBLIC" TO @extowner@ WITH GRANT OPTION;
GRANT SELECT, INSERT, UPDATE, DELETE ON ALL TABLES IN SCHEMA sys TO @extowner@;
GRANT SELECT, UPDATE, USAGE ON ALL SEQUENCES IN SCHEMA sys TO @extowner@;
