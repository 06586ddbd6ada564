-- A repository user reads the three views a client reads after connecting (each pg.* end-to-end
-- test does, by the client's queries); the tables it changes through the procedure only.
SET SESSION AUTHORIZATION "REGRESS_ANN";
SELECT count(*) FROM sys.settings;
INSERT INTO sys.users (name, password_hash) VALUES ('REGRESS_ANN2', '');
DELETE FROM sys.settings;
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
