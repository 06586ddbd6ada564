-- The kivo repository inside a database: schema SYS with the repository's tables and the
-- procedure REPOSITORY_REST, which answers one repoV2 frame for the session user, and schema
-- "PUBLIC" with the three views that a client reads after connecting. The tables are the
-- owner's alone, and nothing is open to every role of the cluster: kivo-repo gives the procedure
-- and the views to the repository's group role, whose members are its users. This is the newest
-- version's install script; an older version's is kept frozen beside it (kivo--1.0.sql), with
-- the update scripts that lead from it to this one.
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

-- pg_dump leaves an extension's tables out unless they are marked: every table and sequence is,
-- with all its rows, so that a dump holds the whole repository.
DO $$
DECLARE
    aRelation regclass;
BEGIN
    -- One statement each: the marks of one statement would update the same catalog row twice.
    FOR aRelation IN SELECT c.oid FROM pg_catalog.pg_class c
            WHERE c.relnamespace = 'sys'::regnamespace AND c.relkind IN ('r', 'S') LOOP
        PERFORM pg_catalog.pg_extension_config_dump(aRelation, '');
    END LOOP;
END
$$;

-- A restore runs CREATE EXTENSION, which seeds the settings and object types, before it loads
-- the dumped rows: a row loaded into these tables takes the place of the row of the same key.
-- The engine's own writes of a setting replace it anyway, and it never writes object types.
CREATE FUNCTION sys.loaded_row_replaces_seed() RETURNS trigger
    LANGUAGE plpgsql
    SET search_path = sys, pg_catalog
    AS $$
BEGIN
    IF TG_TABLE_NAME = 'settings' THEN
        DELETE FROM sys.settings WHERE name = NEW.name;
    ELSE
        DELETE FROM sys.object_types WHERE object_type = NEW.object_type;
    END IF;
    RETURN NEW;
END
$$;
REVOKE ALL ON FUNCTION sys.loaded_row_replaces_seed() FROM PUBLIC;
CREATE TRIGGER loaded_row_replaces_seed BEFORE INSERT ON sys.settings
    FOR EACH ROW EXECUTE FUNCTION sys.loaded_row_replaces_seed();
CREATE TRIGGER loaded_row_replaces_seed BEFORE INSERT ON sys.object_types
    FOR EACH ROW EXECUTE FUNCTION sys.loaded_row_replaces_seed();

-- The engine runs as the owner, on the tables of schema sys, for the session user.
CREATE FUNCTION sys.repository_rest(request bytea) RETURNS bytea
    AS 'MODULE_PATHNAME', 'kivo_repository_rest'
    LANGUAGE C STRICT VOLATILE SECURITY DEFINER
    SET search_path = sys, pg_catalog, pg_temp;
REVOKE ALL ON FUNCTION sys.repository_rest(bytea) FROM PUBLIC;

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

-- Schemas, procedure and views are for the repository's group role, which kivo-repo grants them
-- to (a grant made outside this script is one that pg_dump keeps). The revocations take nothing
-- that a new object gives every role, but they record the initial privileges that pg_dump
-- compares with as a database updated from an earlier version has them.
REVOKE ALL ON SCHEMA sys, "PUBLIC" FROM PUBLIC;
REVOKE ALL ON "PUBLIC"."M_FEATURES", "PUBLIC"."M_DATABASE", "PUBLIC"."M_CONNECTIONS" FROM PUBLIC;

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
