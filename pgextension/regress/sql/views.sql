-- The three views a client reads after connecting, as a repository user sees them.
SET SESSION AUTHORIZATION "REGRESS_ANN";
SELECT component_name, feature_name, feature_version > 0 AS has_version
    FROM "PUBLIC"."M_FEATURES";
SELECT database_name FROM "PUBLIC"."M_DATABASE";
SELECT user_name, own, connection_status FROM "PUBLIC"."M_CONNECTIONS";
-- The views read; nothing else of the repository is the user's to read or change.
SELECT count(*) FROM sys.settings;
UPDATE "PUBLIC"."M_DATABASE" SET database_name = 'other';
RESET SESSION AUTHORIZATION;

-- An API version that is not a number, or "none", gives no feature row.
BEGIN;
UPDATE sys.settings SET value = 'none' WHERE name = 'api_version';
SELECT count(*) AS features FROM "PUBLIC"."M_FEATURES";
UPDATE sys.settings SET value = '12x' WHERE name = 'api_version';
SELECT count(*) AS features FROM "PUBLIC"."M_FEATURES";
ROLLBACK;

-- The connection row is always the session user's own.
SET SESSION AUTHORIZATION "REGRESS_BEN";
SELECT user_name FROM "PUBLIC"."M_CONNECTIONS";
RESET SESSION AUTHORIZATION;
