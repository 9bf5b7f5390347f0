-- The b64num extension against a real server: decoding as the tools do,
-- fields, errors, an expression index and a parallel plan.
CREATE EXTENSION b64num;

-- The decoder's edge cases: first numeral only, leading minus, wrapping past
-- ten digits, 0 for characters outside the alphabet ('é' is two such bytes).
SELECT numeral, b64num(numeral)
FROM (VALUES (''), ('-'), ('A'), ('B'), ('/'), ('BA'), ('gB'), ('-B'), ('--B'), ('B C'),
             (' B'), ('B='), ('B-'), (E'B\tC'), ('-h'), ('-help'), ('//////////'),
             ('///////////'), ('H//////////'), ('IAAAAAAAAAA'), ('-IAAAAAAAAAA'),
             ('Bé'), ('UUUAn5326080')) AS cases (numeral);
SELECT b64num(NULL);
-- Longer than the copy kept on the stack.
SELECT b64num(repeat('A', 299) || 'gB'),
       lstat_field(repeat('B ', 7) || 'gB ' || repeat('A', 300) || repeat(' B', 4), 'size');

-- Values of 16, 14 and 13 numerals, the widest sizes and flags among them;
-- two words, an empty value and NULL, which are no LStat values.
CREATE TABLE lstats (numerals integer, lstat text);
INSERT INTO lstats VALUES
    (15, 'gB FCsB IGk B Po Po A H////////// BAA gA BpOlsk BpOd3A BpOd3A A -IAAAAAAAAAA'),
    (16, 'gB FCsB IGk B Po Po A EAAA BAA gA BpOlsk BpOd3A BpOd3A A A C'),
    (14, 'gB FCsC EHt D A A A BAA BAA I BpOlsk BpOlsk BpOlsk B'),
    (13, 'gB FCsD KH/ B Po Po A L BAA A BpOlsk BpOlsk BpOlsk'),
    (2, 'hello world'),
    (0, ''),
    (NULL, NULL);
SELECT numerals, lstat_field(lstat, 'dev') AS dev, lstat_field(lstat, 'size') AS size,
       lstat_field(lstat, 'mtime') AS mtime,
       lstat_field(lstat, 'linkfi') AS linkfi, lstat_field(lstat, 16) AS stream,
       lstat_field(lstat, '3') AS mode
FROM lstats ORDER BY numerals;
SELECT numerals, (lstat(lstat)).* FROM lstats ORDER BY numerals;
SELECT l.size, l.mode FROM lstats, LATERAL lstat(lstat) l WHERE numerals = 16;

-- Texts that are no LStat values, however many numerals they seem to hold:
-- every field NULL, as b64num-lstat refuses their rows.
SELECT label, lstat_field(lstat, 'mode') AS mode, (lstat(lstat)).dev AS dev
FROM (VALUES ('a path of 15 words',
              '/home/ana/Notes on the trip to the lake in the summer of 2024 with Bob.txt'),
             ('a leading space', ' gB FCsD KH/ B Po Po A L BAA A BpOlsk BpOlsk BpOlsk'),
             ('two spaces', 'gB  FCsD KH/ B Po Po A L BAA A BpOlsk BpOlsk BpOlsk'),
             ('a trailing space', 'gB FCsD KH/ B Po Po A L BAA A BpOlsk BpOlsk BpOlsk '),
             ('a minus inside', 'gB FCsD KH/ B-B Po Po A L BAA A BpOlsk BpOlsk BpOlsk'),
             ('a mode past 64 bits', 'gB FCsD BAAAAAAAAAAB B Po Po A L BAA A BpOlsk BpOlsk BpOlsk'),
             ('an LStat value', 'gB FCsD KH/ B Po Po A L BAA A BpOlsk BpOlsk BpOlsk')) AS cases (label, lstat);
-- By position, by name and in the row: the same values.
SELECT count(*) AS disagreements
FROM lstats,
     unnest(ARRAY['dev', 'ino', 'mode', 'nlink', 'uid', 'gid', 'rdev', 'size', 'blksize',
                  'blocks', 'atime', 'mtime', 'ctime', 'linkfi', 'flags', 'stream'])
         WITH ORDINALITY AS fields (name, field_position)
WHERE lstat_field(lstat, name) IS DISTINCT FROM lstat_field(lstat, field_position::integer)
   OR lstat_field(lstat, name) IS DISTINCT FROM (row_to_json(lstat(lstat)) ->> name)::bigint;
SELECT lstat_field('B', NULL::text), lstat_field('B', NULL::integer);

-- A field named by a PL/pgSQL variable is a parameter that the planner
-- counts as stable, but its value changes from one turn of a loop to the
-- next: each turn gets its own field.
DO $$
DECLARE
    value text := 'gB FCsB IGk B Po Po A EAAA BAA gA BpOlsk BpOd3A BpOd3A A A C';
    field text;
BEGIN
    FOREACH field IN ARRAY ARRAY['size', 'mtime', 'uid', 'size'] LOOP
        RAISE NOTICE '% %', field, lstat_field(value, field);
    END LOOP;
END
$$;

-- Unknown fields: SQLSTATE 22023, and the hint lists the fields.
DO $$
DECLARE
    field text;
    hint text;
BEGIN
    FOREACH field IN ARRAY ARRAY['sise', 'Size', '0', '17', ''] LOOP
        BEGIN
            PERFORM lstat_field('B', field);
        EXCEPTION WHEN invalid_parameter_value THEN
            GET STACKED DIAGNOSTICS hint = PG_EXCEPTION_HINT;
            RAISE NOTICE '% (%)', SQLERRM, hint;
        END;
    END LOOP;
END
$$;
DO $$
DECLARE
    field_position integer;
    hint text;
BEGIN
    FOREACH field_position IN ARRAY ARRAY[0, 17, -1] LOOP
        BEGIN
            PERFORM lstat_field('B', field_position);
        EXCEPTION WHEN invalid_parameter_value THEN
            GET STACKED DIAGNOSTICS hint = PG_EXCEPTION_HINT;
            RAISE NOTICE '% (%)', SQLERRM, hint;
        END;
    END LOOP;
END
$$;

-- The columns of the row type are the fields the module knows, in order.
DO $$
DECLARE
    hint text;
    type_columns text;
BEGIN
    SELECT string_agg(attname, ', ' ORDER BY attnum) INTO type_columns
    FROM pg_attribute WHERE attrelid = 'b64num_lstat'::regclass AND attnum > 0;
    BEGIN
        PERFORM lstat_field('B', 0);
    EXCEPTION WHEN invalid_parameter_value THEN
        GET STACKED DIAGNOSTICS hint = PG_EXCEPTION_HINT;
    END;
    IF hint IS DISTINCT FROM 'The fields are ' || type_columns || ', at positions 1 to 16.' THEN
        RAISE EXCEPTION 'b64num_lstat has the columns %, but the module: %', type_columns, hint;
    END IF;
    RAISE NOTICE 'b64num_lstat has the columns that the module knows';
END
$$;

-- Numerals after the 16th name no field: lstat() leaves them out, as
-- lstat_field does.
SELECT (lstat(v)).stream, lstat_field(v, 16) AS stream_field
FROM (VALUES (repeat('B ', 15) || 'C D E')) AS value_of_18 (v);

-- The helpers: the type as find -type names it, and the times, NULL
-- outside the years 1 to 9999, for a mode of each type, the earliest and
-- latest times shown and one second beyond each.
SET TimeZone = 'UTC';
SELECT mode, lstat_type(v) AS type, lstat_atime(v) AS atime, lstat_mtime(v) AS mtime,
       lstat_ctime(v) AS ctime
FROM (VALUES ('IGk', 'BpOlsk BpOd3A BpOd3A'), ('EHt', '-53kfcA -53kfcB A'),
             ('KH/', 'Dr/9EF/ Dr/9EGA A'), ('CG2', 'A A A'), ('GGw', 'A A A'), ('BGk', 'A A A'),
             ('MHt', 'A A A'), ('PAA', 'A A A')) AS types (mode, times),
     LATERAL (SELECT 'gB FCsD ' || mode || ' B A A A A A A ' || times) AS value (v);
SELECT lstat_type('hello world'), lstat_mtime('hello world');
RESET TimeZone;

-- The mode as ls -l shows it.
SELECT mode, filemode(mode)
FROM (VALUES (33188), (16877), (41471), (8630), (24992), (4516), (49645), (35309), (17407),
             (33700), (420), (61860), (NULL)) AS modes (mode);

-- 10,000 files, 100 of them of 2^30 bytes, the others of 2^20.
CREATE TABLE File AS
SELECT i AS FileId,
       'gB FCsB IGk B Po Po A ' || CASE WHEN i % 100 = 0 THEN 'BAAAAA' ELSE 'EAAA' END ||
       ' BAA gA BpOlsk BpOd3A BpOd3A A A C' AS LStat
FROM generate_series(1, 10000) AS i;
CREATE INDEX file_size ON File ((lstat_field(LStat, 'size')));
ANALYZE File;

-- The index serves the query, and gives the rows that a scan of all gives.
SET enable_seqscan = off;
SET enable_bitmapscan = off;
EXPLAIN (COSTS OFF) SELECT FileId FROM File WHERE lstat_field(LStat, 'size') > 1000000000;
CREATE TEMPORARY TABLE by_index AS
    SELECT FileId FROM File WHERE lstat_field(LStat, 'size') > 1000000000;
RESET enable_seqscan;
SET enable_indexscan = off;
EXPLAIN (COSTS OFF) SELECT FileId FROM File WHERE lstat_field(LStat, 'size') > 1000000000;
SELECT count(*) AS rows,
       array_agg(FileId ORDER BY FileId) =
           (SELECT array_agg(FileId ORDER BY FileId) FROM File
            WHERE lstat_field(LStat, 'size') > 1000000000) AS same_rows
FROM by_index;
RESET enable_indexscan;

-- Every spelling of a field is one expression: the index made with 'size'
-- serves a query by '8' or by 8.
SET enable_seqscan = off;
EXPLAIN (COSTS OFF) SELECT FileId FROM File WHERE lstat_field(LStat, 8) > 1000000000;
EXPLAIN (COSTS OFF) SELECT FileId FROM File WHERE lstat_field(LStat, '8') > 1000000000;
RESET enable_seqscan;
RESET enable_bitmapscan;

-- A misspelled constant field fails when the index is made, even on an
-- empty table, not at the first INSERT; and when a query is planned,
-- before any row is read.
CREATE TABLE empty_file (LStat text);
CREATE INDEX ON empty_file ((lstat_field(LStat, 'Size')));
CREATE INDEX ON empty_file ((lstat_field(LStat, 17)));
SELECT lstat_field(LStat, 'Size') FROM empty_file;
DROP TABLE empty_file;

-- Every index that an upgrade must rebuild: the README's query finds
-- those on the functions, by name or by position.
CREATE INDEX file_mode ON File ((lstat_field(LStat, 3)));
SELECT DISTINCT i.indexrelid::regclass AS index, i.indrelid::regclass AS "table"
FROM pg_index i
JOIN pg_depend d ON d.classid = 'pg_class'::regclass AND d.objid = i.indexrelid
                AND d.refclassid = 'pg_proc'::regclass
JOIN pg_depend e ON e.classid = 'pg_proc'::regclass AND e.objid = d.refobjid AND e.deptype = 'e'
WHERE e.refobjid = (SELECT oid FROM pg_extension WHERE extname = 'b64num')
ORDER BY 1;

-- Parallel workers decode too, to the serial sum.
SET parallel_setup_cost = 0;
SET parallel_tuple_cost = 0;
SET min_parallel_table_scan_size = 0;
SET max_parallel_workers_per_gather = 2;
EXPLAIN (COSTS OFF) SELECT sum(lstat_field(LStat, 'size')), sum((lstat(LStat)).mtime) FROM File;
SELECT sum(lstat_field(LStat, 'size')), sum((lstat(LStat)).mtime) FROM File;
SET max_parallel_workers_per_gather = 0;
SELECT sum(lstat_field(LStat, 'size')), sum((lstat(LStat)).mtime) FROM File;

-- The extension moves to another schema.
CREATE SCHEMA elsewhere;
ALTER EXTENSION b64num SET SCHEMA elsewhere;
SELECT elsewhere.b64num('gB'), (elsewhere.lstat('gB FCsB KH/ B Po Po A L BAA A BpOlsk BpOlsk BpOlsk')).ino;

-- Upgrading from 1.0 gives exactly the objects of a fresh install: the
-- same functions, with the same properties, arguments and comments, and the
-- same row type.
CREATE TEMPORARY VIEW extension_objects AS
SELECT pg_describe_object(d.classid, d.objid, d.objsubid) AS object,
       concat_ws(' ', p.provolatile, p.proisstrict, p.proparallel, p.prosrc, p.prosupport,
                 pg_get_function_arguments(p.oid), pg_get_function_result(p.oid),
                 (SELECT string_agg(a.attname || ' ' || format_type(a.atttypid, a.atttypmod), ', '
                                    ORDER BY a.attnum)
                  FROM pg_attribute a WHERE a.attrelid = t.typrelid AND a.attnum > 0)) AS definition,
       obj_description(d.objid, (SELECT relname FROM pg_class WHERE oid = d.classid)) AS comment
FROM pg_depend d
LEFT JOIN pg_proc p ON d.classid = 'pg_proc'::regclass AND p.oid = d.objid
LEFT JOIN pg_type t ON d.classid = 'pg_type'::regclass AND t.oid = d.objid
WHERE d.refclassid = 'pg_extension'::regclass AND d.deptype = 'e'
  AND d.refobjid = (SELECT oid FROM pg_extension WHERE extname = 'b64num');
DROP EXTENSION b64num CASCADE;
CREATE EXTENSION b64num VERSION '1.0';
ALTER EXTENSION b64num UPDATE;
SELECT extversion FROM pg_extension WHERE extname = 'b64num';
CREATE TEMPORARY TABLE upgraded AS SELECT * FROM extension_objects;
DROP EXTENSION b64num;
CREATE EXTENSION b64num;
SELECT 'only upgraded' AS found, * FROM (TABLE upgraded EXCEPT TABLE extension_objects) AS a
UNION ALL
SELECT 'only fresh', * FROM (TABLE extension_objects EXCEPT TABLE upgraded) AS b;
SELECT object FROM upgraded ORDER BY object;

-- A session runs the library it loaded first: one opened before the
-- library is upgraded keeps the earlier one until it is opened again,
-- which b64num_library_version() tells.
SELECT b64num_library_version() = extversion AS runs_the_extensions_library
FROM pg_extension WHERE extname = 'b64num';
\! cp "$B64NUM_EARLIER_LIBRARY" "$B64NUM_INSTALLED_LIBRARY.new" && mv "$B64NUM_INSTALLED_LIBRARY.new" "$B64NUM_INSTALLED_LIBRARY"
\c
SELECT b64num_library_version();
\! cp "$B64NUM_CURRENT_LIBRARY" "$B64NUM_INSTALLED_LIBRARY.new" && mv "$B64NUM_INSTALLED_LIBRARY.new" "$B64NUM_INSTALLED_LIBRARY"
SELECT b64num_library_version();
\c
SELECT b64num_library_version() = extversion AS runs_the_extensions_library
FROM pg_extension WHERE extname = 'b64num';

-- An index of a misspelled field, which 1.3 let be made on an empty table,
-- stops no read of its table after the upgrade; an insert fails on its
-- row, as it did, and a new such index fails at once.
DROP EXTENSION b64num CASCADE;
CREATE EXTENSION b64num VERSION '1.3';
CREATE TABLE misspelled (LStat text);
CREATE INDEX misspelled_size ON misspelled ((lstat_field(LStat, 'Size')));
INSERT INTO misspelled VALUES (NULL);
ALTER EXTENSION b64num UPDATE;
\c
SELECT count(*) AS rows FROM misspelled;
INSERT INTO misspelled VALUES ('gB FCsD KH/ B Po Po A L BAA A BpOlsk BpOlsk BpOlsk');
CREATE INDEX ON misspelled ((lstat_field(LStat, 'Size')));
DROP TABLE misspelled;
