-- Functions of the b64num extension. Each is IMMUTABLE, STRICT and PARALLEL
-- SAFE: a decoded value depends on its text alone, so the functions can be
-- used in expression indexes and run in parallel workers. A text that is
-- not an LStat value (numerals parted by single spaces, at least 13, each
-- field within 64 bits) has no field: every function of it gives NULL.
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

-- Checks a constant field when a query or an index is planned, and writes
-- every spelling of it as lstat_field(lstat, position).
CREATE FUNCTION b64num_lstat_field_support(internal) RETURNS internal
    AS 'MODULE_PATHNAME', 'b64num_lstat_field_support'
    LANGUAGE C STRICT;

CREATE FUNCTION lstat_field(lstat text, field text) RETURNS bigint
    AS 'MODULE_PATHNAME', 'b64num_lstat_field_by_name'
    LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE SUPPORT b64num_lstat_field_support;
COMMENT ON FUNCTION lstat_field(text, text) IS 'one field of an LStat value, by name; NULL when the text lacks it or is no LStat value';

CREATE FUNCTION lstat_field(lstat text, "position" integer) RETURNS bigint
    AS 'MODULE_PATHNAME', 'b64num_lstat_field_by_position'
    LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE SUPPORT b64num_lstat_field_support;
COMMENT ON FUNCTION lstat_field(text, integer) IS 'one field of an LStat value, by position 1 to 16; NULL when the text lacks it or is no LStat value';

CREATE FUNCTION lstat(lstat text) RETURNS b64num_lstat
    AS 'MODULE_PATHNAME', 'b64num_lstat'
    LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;
COMMENT ON FUNCTION lstat(text) IS 'all fields of an LStat value; NULL where the value lacks them, all NULL for a text that is no LStat value, and numerals after the 16th left out';

CREATE FUNCTION filemode(mode bigint) RETURNS text
    AS 'MODULE_PATHNAME', 'b64num_filemode'
    LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;
COMMENT ON FUNCTION filemode(bigint) IS 'the mode as the ten characters of ls -l, as b64num-lstat -l shows it';

CREATE FUNCTION lstat_type(lstat text) RETURNS text
    AS 'MODULE_PATHNAME', 'b64num_lstat_type'
    LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;
COMMENT ON FUNCTION lstat_type(text) IS 'the type of the file as find -type names it: f d l c b p s, or ? for another';

CREATE FUNCTION lstat_atime(lstat text) RETURNS timestamptz
    AS 'MODULE_PATHNAME', 'b64num_lstat_atime'
    LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;
COMMENT ON FUNCTION lstat_atime(text) IS 'the time of last access; NULL outside the years 1 to 9999';

CREATE FUNCTION lstat_mtime(lstat text) RETURNS timestamptz
    AS 'MODULE_PATHNAME', 'b64num_lstat_mtime'
    LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;
COMMENT ON FUNCTION lstat_mtime(text) IS 'the time of last modification; NULL outside the years 1 to 9999';

CREATE FUNCTION lstat_ctime(lstat text) RETURNS timestamptz
    AS 'MODULE_PATHNAME', 'b64num_lstat_ctime'
    LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;
COMMENT ON FUNCTION lstat_ctime(text) IS 'the time of last status change; NULL outside the years 1 to 9999';

-- VOLATILE: the library a session runs is the one it loaded first, which
-- an upgrade does not replace until the session ends.
CREATE FUNCTION b64num_library_version() RETURNS text
    AS 'MODULE_PATHNAME', 'b64num_library_version'
    LANGUAGE C VOLATILE STRICT PARALLEL SAFE;
COMMENT ON FUNCTION b64num_library_version() IS 'the version of the b64num library that this session runs: the extension''s, once every session has been opened again after an upgrade';
