-- Functions of the b64num extension. Each is IMMUTABLE, STRICT and PARALLEL
-- SAFE: a decoded value depends on its text alone, so the functions can be
-- used in expression indexes and run in parallel workers.
\echo Use "CREATE EXTENSION b64num" to load this file. \quit

CREATE TYPE b64num_lstat AS (
    dev bigint, ino bigint, mode bigint, nlink bigint, uid bigint, gid bigint,
    rdev bigint, size bigint, blksize bigint, blocks bigint, atime bigint,
    mtime bigint, ctime bigint, linkfi bigint, flags bigint, stream bigint
);
COMMENT ON TYPE b64num_lstat IS 'the 16 fields of an LStat value';

CREATE FUNCTION b64num(numeral text) RETURNS bigint
    AS 'MODULE_PATHNAME', 'b64num_numeral'
    LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;
COMMENT ON FUNCTION b64num(text) IS 'the value of the base-64 numeral that starts the text, as b64num prints it';

CREATE FUNCTION lstat_field(lstat text, field text) RETURNS bigint
    AS 'MODULE_PATHNAME', 'b64num_lstat_field_by_name'
    LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;
COMMENT ON FUNCTION lstat_field(text, text) IS 'one field of an LStat value, by name; NULL when the value lacks it, holds fewer than 13 numerals, or its numeral passes 64 bits';

CREATE FUNCTION lstat_field(lstat text, "position" integer) RETURNS bigint
    AS 'MODULE_PATHNAME', 'b64num_lstat_field_by_position'
    LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;
COMMENT ON FUNCTION lstat_field(text, integer) IS 'one field of an LStat value, by position 1 to 16; NULL when the value lacks it, holds fewer than 13 numerals, or its numeral passes 64 bits';

CREATE FUNCTION lstat(lstat text) RETURNS b64num_lstat
    AS 'MODULE_PATHNAME', 'b64num_lstat'
    LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;
COMMENT ON FUNCTION lstat(text) IS 'all fields of an LStat value; NULL where the value lacks them or a numeral passes 64 bits, all NULL for fewer than 13 numerals, and numerals after the 16th left out';

CREATE FUNCTION filemode(mode bigint) RETURNS text
    AS 'MODULE_PATHNAME', 'b64num_filemode'
    LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;
COMMENT ON FUNCTION filemode(bigint) IS 'the mode as the ten characters of ls -l, as b64num-lstat -l shows it';
