-- The b64num loadable functions against a real MariaDB server, on the
-- catalog fixture: decoding as the tools do, TINYBLOB values, NULLs, errors
-- that name the field, an index kept by triggers, and thousands of texts
-- checked against the b64num command.

-- The decoder's edge cases; bytes that are not UTF-8 count 0. A value
-- with a NUL byte, which no argument of b64num holds, is NULL: UTF-16
-- text, whose numeral it would misread as 0.
SELECT b64num('gB'), b64num('-B'), b64num(''), b64num('B C'), b64num('B='),
       b64num('///////////'), b64num('IAAAAAAAAAA'), b64num(X'42004243'), b64num(X'42E9'),
       b64num(12), b64num(NULL), b64num(CONVERT('gB' USING utf16)) AS utf16;

-- Values of 16, 14 and 13 numerals; two words, an empty value and NULL,
-- which are no LStat values; the widest size and flags; in a TINYBLOB.
CREATE TEMPORARY TABLE lstats (numerals INTEGER, lstat TINYBLOB);
INSERT INTO lstats VALUES
    (15, 'gB FCsB IGk B Po Po A H////////// BAA gA BpOlsk BpOd3A BpOd3A A -IAAAAAAAAAA'),
    (16, 'gB FCsB IGk B Po Po A EAAA BAA gA BpOlsk BpOd3A BpOd3A A A C'),
    (14, 'gB FCsC EHt D A A A BAA BAA I BpOlsk BpOlsk BpOlsk B'),
    (13, 'gB FCsD KH/ B Po Po A L BAA A BpOlsk BpOlsk BpOlsk'),
    (2, 'hello world'),
    (0, ''),
    (NULL, NULL);
SELECT numerals, lstat_field(lstat, 'dev') AS dev, lstat_field(lstat, 'size') AS size,
       lstat_field(lstat, 12) AS mtime, lstat_field(lstat, '14') AS linkfi,
       lstat_field(lstat, 'stream') AS stream
FROM lstats ORDER BY numerals;
SELECT lstat_field('B', NULL) AS null_field;

-- Texts that are no LStat values, however many numerals they seem to hold,
-- and whatever their character set: every field NULL, as b64num-lstat
-- refuses their rows.
CREATE TEMPORARY TABLE not_lstats (label VARCHAR(32), lstat VARBINARY(255));
INSERT INTO not_lstats VALUES
    ('a NUL byte', CONCAT('gB FCsD KH/ B Po Po A L BAA A BpOlsk BpOlsk BpOlsk', X'00', ' B')),
    ('a path of 15 words', '/home/ana/Notes on the trip to the lake in the summer of 2024 with Bob.txt'),
    ('a leading space', ' gB FCsD KH/ B Po Po A L BAA A BpOlsk BpOlsk BpOlsk'),
    ('two spaces', 'gB  FCsD KH/ B Po Po A L BAA A BpOlsk BpOlsk BpOlsk'),
    ('a trailing space', 'gB FCsD KH/ B Po Po A L BAA A BpOlsk BpOlsk BpOlsk '),
    ('a minus inside', 'gB FCsD KH/ B-B Po Po A L BAA A BpOlsk BpOlsk BpOlsk'),
    ('a mode past 64 bits', 'gB FCsD BAAAAAAAAAAB B Po Po A L BAA A BpOlsk BpOlsk BpOlsk'),
    ('an LStat value', 'gB FCsD KH/ B Po Po A L BAA A BpOlsk BpOlsk BpOlsk');
SELECT label, lstat_field(lstat, 'mode') AS mode, lstat_field(lstat, 1) AS dev FROM not_lstats;
CREATE TEMPORARY TABLE utf16_lstats (lstat VARCHAR(255) CHARACTER SET utf16);
INSERT INTO utf16_lstats VALUES ('gB FCsD KH/ B Po Po A L BAA A BpOlsk BpOlsk BpOlsk');
SELECT lstat_field(lstat, 'mode') AS mode, b64num(lstat) AS dev FROM utf16_lstats;

-- A constant field that names none is refused when the statement starts;
-- the server shows the first 80 characters of the message.
SELECT lstat_field('B', 'sise');
SELECT lstat_field('B', 17);
SELECT lstat_field('B');

-- The helpers: the type as find -type names it, the times in UTC, NULL
-- outside the years 1 to 9999, for a mode of each type, the earliest and
-- latest times shown and one second beyond each; every field as JSON.
CREATE TEMPORARY TABLE types (mode VARCHAR(3), times VARCHAR(32));
INSERT INTO types VALUES
    ('IGk', 'BpOlsk BpOd3A BpOd3A'), ('EHt', '-53kfcA -53kfcB A'), ('KH/', 'Dr/9EF/ Dr/9EGA A'),
    ('CG2', 'A A A'), ('GGw', 'A A A'), ('BGk', 'A A A'), ('MHt', 'A A A'), ('PAA', 'A A A');
SELECT mode, lstat_type(v) AS type, lstat_atime(v) AS atime, lstat_mtime(v) AS mtime,
       lstat_ctime(v) AS ctime
FROM (SELECT mode, CONCAT('gB FCsD ', mode, ' B A A A A A A ', times) AS v FROM types) AS typed;
SELECT numerals, lstat_json(lstat) AS json FROM lstats ORDER BY numerals;
SELECT lstat_type('hello world') AS no_type, lstat_mtime('hello world') AS no_time,
       JSON_VALUE(lstat_json('gB FCsB IGk B Po Po A EAAA BAA gA BpOlsk BpOd3A BpOd3A'), '$.size')
           AS size;
SELECT b64num_library_version();

-- The mode as ls -l shows it, from a number or a decoded field.
SELECT filemode(33188), filemode(16877), filemode(41471), filemode(8630), filemode(24992),
       filemode(4516), filemode(49645), filemode(35309), filemode(17407), filemode(420),
       filemode(61860), filemode(NULL),
       filemode(lstat_field('gB FCsB IGk B Po Po A EAAA BAA gA BpOlsk BpOd3A BpOd3A', 'mode'))
           AS from_field;
SELECT filemode();

-- Fields from a column: a row whose field names none gets NULL, that row
-- alone, never a number; the rows after it get their values, where the
-- error flag would make the server give NULL for all of them.
CREATE TEMPORARY TABLE fields (position INTEGER, name VARCHAR(16));
INSERT INTO fields VALUES (1, 'size'), (2, 'mode'), (3, '3'), (4, 'Size'), (5, 'size');
SELECT position, name,
       lstat_field('gB FCsB IGk B Po Po A EAAA BAA gA BpOlsk BpOd3A BpOd3A', name) AS value
FROM fields ORDER BY position;

-- The numerals that b64num decoded, one process each: SQL agrees on all.
SELECT CONCAT(COUNT(*), ' of ', (SELECT COUNT(*) FROM numerals)) AS disagreements
FROM numerals WHERE NOT b64num(numeral) <=> printed;

-- Generated columns refuse loadable functions, so an index on a field needs
-- a column that triggers keep, on a copy of the catalog.
CREATE TABLE FileCopy AS SELECT FileId, JobId, LStat FROM File;
ALTER TABLE FileCopy ADD COLUMN Size BIGINT, ADD PRIMARY KEY (FileId), ADD INDEX file_size (Size);
CREATE TRIGGER filecopy_size_insert BEFORE INSERT ON FileCopy
    FOR EACH ROW SET NEW.Size = lstat_field(NEW.LStat, 'size');
CREATE TRIGGER filecopy_size_update BEFORE UPDATE ON FileCopy
    FOR EACH ROW SET NEW.Size = lstat_field(NEW.LStat, 'size');
UPDATE FileCopy SET Size = NULL;
INSERT INTO FileCopy (FileId, JobId, LStat)
    VALUES (99999, 44, 'gB FCsB IGk B Po Po A BAAAAA BAA gA BpOlsk BpOd3A BpOd3A');
SELECT GROUP_CONCAT(FileId ORDER BY FileId) AS by_index
FROM FileCopy FORCE INDEX (file_size) WHERE Size > 1000000000;
SELECT GROUP_CONCAT(FileId ORDER BY FileId) AS by_decoding
FROM File WHERE lstat_field(LStat, 'size') > 1000000000;
