-- b64num 1.0 to 1.1: filemode(), and the comment of lstat() that says what
-- becomes of numerals after the 16th.
\echo Use "ALTER EXTENSION b64num UPDATE TO '1.1'" to load this file. \quit

COMMENT ON FUNCTION lstat(text) IS 'all fields of an LStat value; NULL where the value lacks them, and numerals after the 16th left out';

CREATE FUNCTION filemode(mode bigint) RETURNS text
    AS 'MODULE_PATHNAME', 'b64num_filemode'
    LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;
COMMENT ON FUNCTION filemode(bigint) IS 'the mode as the ten characters of ls -l, as b64num-lstat -l shows it';
