-- The workshop server's schema: the results of every bench of a workshop, one row per result,
-- keyed by the bench and the result's id in that bench's own history.
--
-- Apply it as the database's owner (a superuser or the owner of the database):
--     ks_history server-init "host=... dbname=... user=..."
-- or  psql -v ON_ERROR_STOP=1 -d DBNAME -f server_schema.sql
-- Running it again changes nothing; a later version brings an older schema up to date.
--
-- Roles:
--   ks_bench   may insert and update its own bench's rows and read only those. Give each bench
--              a login role named exactly like the bench ("Bench name" in the bench's
--              workshop.ini) and make it a member:
--                  CREATE ROLE bench1 LOGIN PASSWORD '...' IN ROLE ks_bench;
--   ks_reader  may read every bench's rows (the history's "all benches" search):
--                  CREATE ROLE office LOGIN PASSWORD '...' IN ROLE ks_reader;
-- Passwords belong in the bench's ~/.pgpass or PGPASSWORD, never in workshop.ini.

BEGIN;

-- The notices of a second run (a policy or index that is already there) are not news.
SET LOCAL client_min_messages = warning;

CREATE TABLE IF NOT EXISTS ks_schema (version integer NOT NULL);
INSERT INTO ks_schema (version) SELECT 1 WHERE NOT EXISTS (SELECT 1 FROM ks_schema);

CREATE TABLE IF NOT EXISTS ks_results (
    bench text NOT NULL CHECK (bench <> ''),
    local_id bigint NOT NULL CHECK (local_id > 0),
    -- Raised by the bench each time the operator's entry or notes change; a copy that arrives
    -- late never replaces a newer one.
    revision bigint NOT NULL DEFAULT 1,
    source smallint NOT NULL,              -- 0 received from the tester, 1 typed test code
    shown_utc timestamptz NOT NULL,
    utc_offset integer NOT NULL,           -- seconds east of UTC where it was shown
    program_version text NOT NULL DEFAULT '',
    logo0 text NOT NULL DEFAULT '',
    logo1 text NOT NULL DEFAULT '',
    info0 text NOT NULL DEFAULT '',
    info1 text NOT NULL DEFAULT '',
    info2 text NOT NULL DEFAULT '',
    info3 text NOT NULL DEFAULT '',
    info4 text NOT NULL DEFAULT '',        -- the vehicle (plate)
    info5 text NOT NULL DEFAULT '',        -- the site
    sys24v integer NOT NULL DEFAULT 0,
    in_vehicle integer NOT NULL DEFAULT 0,
    set_point integer NOT NULL DEFAULT 0,
    system integer NOT NULL DEFAULT 0,
    jis_no text NOT NULL DEFAULT '',
    b_volt double precision NOT NULL DEFAULT 0,
    b_cca integer NOT NULL DEFAULT 0,
    b_rslt integer NOT NULL DEFAULT 0,
    b_type integer NOT NULL DEFAULT 0,
    soc integer NOT NULL DEFAULT 0,
    t_code text NOT NULL DEFAULT '',
    c_code text NOT NULL DEFAULT '',
    ver text NOT NULL DEFAULT '',
    t_comp integer NOT NULL DEFAULT 0,
    b4a_ch integer NOT NULL DEFAULT 0,
    s_chrg integer NOT NULL DEFAULT 0,
    sys6v integer NOT NULL DEFAULT 0,
    test_no integer NOT NULL DEFAULT 0,
    ser_no integer NOT NULL DEFAULT 0,
    entry text NOT NULL DEFAULT '',
    notes text NOT NULL DEFAULT '',
    -- What a search compares: the entry, test code, information lines and notes, folded by the
    -- bench (accents dropped, case folded) exactly as its local history folds them.
    search_folded text NOT NULL DEFAULT '',
    received_utc timestamptz NOT NULL DEFAULT now(),
    PRIMARY KEY (bench, local_id)
);

CREATE INDEX IF NOT EXISTS ks_results_shown ON ks_results (shown_utc DESC);
CREATE INDEX IF NOT EXISTS ks_results_plate ON ks_results (info4, shown_utc DESC);

-- The all-benches search looks for any part of a word in search_folded: a trigram index answers
-- that where the server has the pg_trgm extension (shipped with PostgreSQL, trusted: the
-- database's owner may create it). Without it the search still works, by reading the table.
DO $$
BEGIN
    CREATE EXTENSION IF NOT EXISTS pg_trgm;
    CREATE INDEX IF NOT EXISTS ks_results_search ON ks_results USING gin (search_folded gin_trgm_ops);
EXCEPTION WHEN OTHERS THEN
    RAISE NOTICE 'the search of every bench goes without a trigram index: %', SQLERRM;
END
$$;

DO $$
BEGIN
    IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = 'ks_bench') THEN
        CREATE ROLE ks_bench NOLOGIN;
    END IF;
    IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = 'ks_reader') THEN
        CREATE ROLE ks_reader NOLOGIN;
    END IF;
END
$$;

REVOKE ALL ON ks_results, ks_schema FROM PUBLIC;
GRANT SELECT ON ks_schema TO ks_bench, ks_reader;
GRANT SELECT, INSERT, UPDATE ON ks_results TO ks_bench;
GRANT SELECT ON ks_results TO ks_reader;

-- Row-level security: a bench sees and writes only rows that carry its own role's name.
ALTER TABLE ks_results ENABLE ROW LEVEL SECURITY;
DROP POLICY IF EXISTS ks_bench_own ON ks_results;
CREATE POLICY ks_bench_own ON ks_results TO ks_bench
    USING (bench = current_user) WITH CHECK (bench = current_user);
DROP POLICY IF EXISTS ks_reader_all ON ks_results;
CREATE POLICY ks_reader_all ON ks_results FOR SELECT TO ks_reader USING (true);

COMMIT;
