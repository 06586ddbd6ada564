-- Who gets in: the repository's users log in and call the procedure; a role of the cluster
-- that is no user is refused at the door, and let in by hand, by the procedure.
SELECT regress.login('REGRESS_ANN', 'ann-pw') AS user_login;
SELECT regress.login('regress_stranger', 'stranger-pw') AS stranger_login;

-- Connected some other way (here: the session's authorization), the stranger reaches neither
-- the procedure nor the views.
SET SESSION AUTHORIZATION regress_stranger;
SELECT sys.repository_rest(regress.frame('{"action":"list","what":"packages"}'));
SELECT * FROM "PUBLIC"."M_DATABASE";
RESET SESSION AUTHORIZATION;

-- A grant made by hand lets the stranger in, but the procedure still refuses it.
GRANT kivo_kivo_regress_users TO regress_stranger;
SELECT regress.login('regress_stranger', 'stranger-pw') AS stranger_login;
SET SESSION AUTHORIZATION regress_stranger;
SELECT regress.answer(sys.repository_rest(regress.frame('{"action":"list","what":"packages"}')));
SELECT database_name FROM "PUBLIC"."M_DATABASE";
RESET SESSION AUTHORIZATION;
REVOKE kivo_kivo_regress_users FROM regress_stranger;

-- A user whose row is gone is refused at once, though its role still gets in.
SET SESSION AUTHORIZATION "REGRESS_BEN";
SELECT regress.answer(sys.repository_rest(regress.frame('{"action":"list","what":"packages"}')));
RESET SESSION AUTHORIZATION;
DELETE FROM sys.users WHERE name = 'REGRESS_BEN';
SET SESSION AUTHORIZATION "REGRESS_BEN";
SELECT regress.answer(sys.repository_rest(regress.frame('{"action":"list","what":"packages"}')));
RESET SESSION AUTHORIZATION;

-- The tables stay the owner's: a user changes the repository only through the procedure.
SET SESSION AUTHORIZATION "REGRESS_ANN";
INSERT INTO sys.users (name, password_hash) VALUES ('REGRESS_ANN2', '');
DELETE FROM sys.settings;
RESET SESSION AUTHORIZATION;

-- The procedure reads the repository's own tables, whatever search path its owner gives it: a
-- table of users elsewhere lets no stranger in.
CREATE TABLE regress.users (LIKE sys.users);
INSERT INTO regress.users VALUES ('regress_stranger', '', 0);
ALTER FUNCTION sys.repository_rest(bytea) SET search_path = regress, sys, pg_catalog;
GRANT kivo_kivo_regress_users TO regress_stranger;
SET SESSION AUTHORIZATION regress_stranger;
SELECT regress.answer(sys.repository_rest(regress.frame('{"action":"list","what":"packages"}')));
RESET SESSION AUTHORIZATION;
REVOKE kivo_kivo_regress_users FROM regress_stranger;
ALTER FUNCTION sys.repository_rest(bytea) SET search_path = sys, pg_catalog, pg_temp;
DROP TABLE regress.users;
