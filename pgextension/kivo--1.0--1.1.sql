-- From version 1.0 to 1.1, storage level 3 both: nothing is open to every role of the cluster any
-- more, and pg_dump holds the repository's rows. kivo-repo init and user give the procedure and
-- the views to the repository's group role; a repository that kivo-repo made has those grants
-- already, one made by hand needs them given (kivo-repo user, see the README).
\echo Use "ALTER EXTENSION kivo UPDATE TO '1.1'" to load this file. \quit

REVOKE ALL ON FUNCTION sys.repository_rest(bytea) FROM PUBLIC;
REVOKE ALL ON "PUBLIC"."M_FEATURES", "PUBLIC"."M_DATABASE", "PUBLIC"."M_CONNECTIONS" FROM PUBLIC;
REVOKE ALL ON SCHEMA sys, "PUBLIC" FROM PUBLIC;

-- The extension's owner administers the repository from now on, as the role that creates a new
-- installation does: it owns the procedure and the views and reads and writes the tables' rows,
-- while the tables and both schemas stay with the superuser. The owner is read from the catalog,
-- not taken from whoever runs the update.
DO $$
DECLARE
    anOwner text := (SELECT e.extowner::regrole::text FROM pg_catalog.pg_extension e
                     WHERE e.extname = 'kivo');
BEGIN
    EXECUTE format('ALTER FUNCTION sys.repository_rest(bytea) OWNER TO %s', anOwner);
    EXECUTE format('ALTER VIEW "PUBLIC"."M_FEATURES" OWNER TO %s', anOwner);
    EXECUTE format('ALTER VIEW "PUBLIC"."M_DATABASE" OWNER TO %s', anOwner);
    EXECUTE format('ALTER VIEW "PUBLIC"."M_CONNECTIONS" OWNER TO %s', anOwner);
    EXECUTE format('GRANT USAGE ON SCHEMA sys, "PUBLIC" TO %s WITH GRANT OPTION', anOwner);
    EXECUTE format('GRANT SELECT, INSERT, UPDATE, DELETE ON ALL TABLES IN SCHEMA sys TO %s',
                   anOwner);
    EXECUTE format('GRANT SELECT, UPDATE, USAGE ON ALL SEQUENCES IN SCHEMA sys TO %s', anOwner);
END
$$;

-- A grant or revocation in an update script records the object's privileges as they then are as
-- its initial ones, the grants that kivo-repo gave the repository's group role included; pg_dump
-- leaves initial privileges out of a dump, and a restore would lose those grants. So the initial
-- privileges keep only the owner's own and the administrator's, as a new installation records
-- them.
UPDATE pg_catalog.pg_init_privs i
    SET initprivs = ARRAY(SELECT a FROM unnest(i.initprivs) AS a
                          WHERE (SELECT bool_and(e.grantee = e.grantor OR e.grantee = x.extowner)
                                     FROM pg_catalog.aclexplode(ARRAY[a]) AS e,
                                          pg_catalog.pg_extension x
                                     WHERE x.extname = 'kivo'))
    WHERE i.privtype = 'e' AND (i.classoid, i.objoid) IN (
        SELECT d.classid, d.objid FROM pg_catalog.pg_depend d
            WHERE d.refclassid = 'pg_catalog.pg_extension'::regclass AND d.deptype = 'e'
                AND d.refobjid = (SELECT oid FROM pg_catalog.pg_extension WHERE extname = 'kivo'));

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
