-- The b64num extension through the sqlite3 shell, on the catalog fixture:
-- decoding as the tools do, TEXT and BLOB values, NULLs, errors that name
-- the field, an expression index, and thousands of texts checked against
-- the b64num command. The shell loads the extension with -cmd.
.headers on
.mode list

-- The decoder's edge cases; bytes that are not UTF-8 count 0. A value
-- with a NUL byte, which no argument of b64num holds, is NULL.
SELECT b64num('gB'), b64num('-B'), b64num(''), b64num('B C'), b64num('B='), b64num('///////////'),
       b64num('IAAAAAAAAAA'), b64num(X'42004243') IS NULL AS nul_byte,
       b64num(CAST(X'42E9' AS TEXT)), b64num(12), b64num(NULL) IS NULL AS null_in_null_out;

-- Values of 16, 14 and 13 numerals; two words, an empty value and NULL,
-- which are no LStat values; the widest size and flags; as TEXT and as
-- BLOB.
CREATE TEMPORARY TABLE lstats (numerals INTEGER, lstat);
INSERT INTO lstats VALUES
    (15, 'gB FCsB IGk B Po Po A H////////// BAA gA BpOlsk BpOd3A BpOd3A A -IAAAAAAAAAA'),
    (16, 'gB FCsB IGk B Po Po A EAAA BAA gA BpOlsk BpOd3A BpOd3A A A C'),
    (14, 'gB FCsC EHt D A A A BAA BAA I BpOlsk BpOlsk BpOlsk B'),
    (13, CAST('gB FCsD KH/ B Po Po A L BAA A BpOlsk BpOlsk BpOlsk' AS BLOB)),
    (2, 'hello world'),
    (0, ''),
    (NULL, NULL);
SELECT numerals, typeof(lstat) AS type, lstat_field(lstat, 'dev') AS dev,
       lstat_field(lstat, 'size') AS size,
       lstat_field(lstat, 12) AS mtime, lstat_field(lstat, '14') AS linkfi,
       lstat_field(lstat, 'stream') AS stream
FROM lstats ORDER BY numerals;
SELECT lstat_field('B', NULL) IS NULL AS null_field;

-- Texts that are no LStat values, however many numerals they seem to hold:
-- every field NULL, as b64num-lstat refuses their rows.
SELECT column1 AS label, lstat_field(column2, 'mode') AS mode, lstat_field(column2, 1) AS dev
FROM (VALUES ('a NUL byte', 'gB FCsD KH/ B Po Po A L BAA A BpOlsk BpOlsk BpOlsk' || X'00' || ' B'),
             ('a path of 15 words',
              '/home/ana/Notes on the trip to the lake in the summer of 2024 with Bob.txt'),
             ('a leading space', ' gB FCsD KH/ B Po Po A L BAA A BpOlsk BpOlsk BpOlsk'),
             ('two spaces', 'gB  FCsD KH/ B Po Po A L BAA A BpOlsk BpOlsk BpOlsk'),
             ('a trailing space', 'gB FCsD KH/ B Po Po A L BAA A BpOlsk BpOlsk BpOlsk '),
             ('a minus inside', 'gB FCsD KH/ B-B Po Po A L BAA A BpOlsk BpOlsk BpOlsk'),
             ('a mode past 64 bits', 'gB FCsD BAAAAAAAAAAB B Po Po A L BAA A BpOlsk BpOlsk BpOlsk'),
             ('an LStat value', 'gB FCsD KH/ B Po Po A L BAA A BpOlsk BpOlsk BpOlsk'));

-- Unknown fields, constant or not: an error that names the field.
SELECT lstat_field('B', 'sise');
SELECT lstat_field('B', 17);
CREATE TEMPORARY TABLE fields (name);
INSERT INTO fields VALUES ('size'), ('mode'), ('3');
SELECT name, lstat_field('gB FCsB IGk B Po Po A EAAA BAA gA BpOlsk BpOd3A BpOd3A', name) AS value FROM fields;
INSERT INTO fields VALUES ('Size');
SELECT name, lstat_field('gB FCsB IGk B Po Po A EAAA BAA gA BpOlsk BpOd3A BpOd3A', name) AS value FROM fields;

-- The helpers: the type as find -type names it, the times in UTC, NULL
-- outside the years 1 to 9999, for a mode of each type, the earliest and
-- latest times shown and one second beyond each; every field as JSON.
CREATE TEMPORARY TABLE types (mode, times);
INSERT INTO types VALUES
    ('IGk', 'BpOlsk BpOd3A BpOd3A'), ('EHt', '-53kfcA -53kfcB A'), ('KH/', 'Dr/9EF/ Dr/9EGA A'),
    ('CG2', 'A A A'), ('GGw', 'A A A'), ('BGk', 'A A A'), ('MHt', 'A A A'), ('PAA', 'A A A');
SELECT mode, lstat_type(v) AS type, lstat_atime(v) AS atime, lstat_mtime(v) AS mtime,
       lstat_ctime(v) AS ctime
FROM (SELECT mode, 'gB FCsD ' || mode || ' B A A A A A A ' || times AS v FROM types);
SELECT numerals, lstat_json(lstat) AS json FROM lstats ORDER BY numerals;
SELECT lstat_type('hello world') IS NULL AS no_type, lstat_mtime('hello world') IS NULL AS no_time,
       json_extract(lstat_json('gB FCsB IGk B Po Po A EAAA BAA gA BpOlsk BpOd3A BpOd3A'), '$.size')
           AS size;
SELECT b64num_library_version();

-- The mode as ls -l shows it, from a number or a decoded field.
SELECT column1 AS mode, filemode(column1) AS shown
FROM (VALUES (33188), (16877), (41471), (8630), (24992), (4516), (49645), (35309), (17407),
             (420), (61860), (NULL));
SELECT filemode(lstat_field('gB FCsB IGk B Po Po A EAAA BAA gA BpOlsk BpOd3A BpOd3A', 'mode')) AS from_field;

-- The numerals that b64num decoded, one process each: SQL agrees on all.
SELECT count(*) || ' of ' || (SELECT count(*) FROM numerals) AS disagreements
FROM numerals WHERE b64num(numeral) IS NOT printed;

-- An index on a field, which the planner uses, to the rows a scan gives.
CREATE INDEX file_size ON File (lstat_field(LStat, 'size'));
EXPLAIN QUERY PLAN SELECT FileId FROM File WHERE lstat_field(LStat, 'size') > 1000000000;
SELECT group_concat(FileId) AS by_index FROM File WHERE lstat_field(LStat, 'size') > 1000000000;
SELECT group_concat(FileId) AS by_scan FROM File NOT INDEXED WHERE lstat_field(LStat, 'size') > 1000000000;
