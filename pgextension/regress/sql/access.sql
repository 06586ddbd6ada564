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
