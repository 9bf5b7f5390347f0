-- b64num 1.1 to 1.2: a text of fewer than 13 numerals ('hello world', a
-- path) is no LStat value, and every field of it is NULL. The functions are
-- the same; their library decodes so, and their comments say it.
\echo Use "ALTER EXTENSION b64num UPDATE TO '1.2'" to load this file. \quit

COMMENT ON FUNCTION lstat_field(text, text) IS 'one field of an LStat value, by name; NULL when the value lacks it or holds fewer than 13 numerals';
COMMENT ON FUNCTION lstat_field(text, integer) IS 'one field of an LStat value, by position 1 to 16; NULL when the value lacks it or holds fewer than 13 numerals';
COMMENT ON FUNCTION lstat(text) IS 'all fields of an LStat value; NULL where the value lacks them, all NULL for fewer than 13 numerals, and numerals after the 16th left out';
