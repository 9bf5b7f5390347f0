-- b64num 1.2 to 1.3: a numeral whose value passes 64 bits (no encoder
-- writes one: a value past 2^63 - 1 is written negative) gives NULL, where
-- earlier versions gave its low 64 bits. The functions are the same; their
-- library decodes so, and their comments say it.
\echo Use "ALTER EXTENSION b64num UPDATE TO '1.3'" to load this file. \quit

COMMENT ON FUNCTION lstat_field(text, text) IS 'one field of an LStat value, by name; NULL when the value lacks it, holds fewer than 13 numerals, or its numeral passes 64 bits';
COMMENT ON FUNCTION lstat_field(text, integer) IS 'one field of an LStat value, by position 1 to 16; NULL when the value lacks it, holds fewer than 13 numerals, or its numeral passes 64 bits';
COMMENT ON FUNCTION lstat(text) IS 'all fields of an LStat value; NULL where the value lacks them or a numeral passes 64 bits, all NULL for fewer than 13 numerals, and numerals after the 16th left out';
