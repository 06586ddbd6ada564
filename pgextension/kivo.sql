-- The kivo repository inside a database: schema SYS with the procedure REPOSITORY_REST, which
-- answers one repoV2 frame for the session user, and schema "PUBLIC" with the three views that
-- a client reads after connecting. The tables are the owner's alone: a repository user (any
-- login role of the database) may call the procedure and read the views, nothing else.
\echo Use "CREATE EXTENSION kivo" to load this file. \quit

CREATE SCHEMA sys;
CREATE SCHEMA "PUBLIC";

CREATE TABLE sys.settings (
    name text PRIMARY KEY,
    value text NOT NULL
);
INSERT INTO sys.settings (name, value) VALUES
    ('api_version', '16'),
    ('schema_version', '38'),
    ('database_name', current_database()),
    ('vendor', 'example.com'),
    ('change_tracking', 'off'),
    ('export_version_min', '1'),
    ('export_version_max', '3');
REVOKE ALL ON sys.settings FROM PUBLIC;

CREATE FUNCTION sys.repository_rest(request bytea) RETURNS bytea
    AS 'MODULE_PATHNAME', 'kivo_repository_rest'
    LANGUAGE C STRICT VOLATILE SECURITY DEFINER
    SET search_path = pg_catalog, pg_temp;
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
