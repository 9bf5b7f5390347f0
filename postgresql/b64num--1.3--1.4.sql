-- b64num 1.3 to 1.4: one rule for what an LStat value is (numerals parted
-- by single spaces, no other byte), a text that breaks it having no field;
-- constant fields checked, and written as one expression, by the planner;
-- the library's version; the type and the times of a file. Indexes on the
-- functions hold values of the old library: reindex them once every
-- session runs the new one.
\echo Use "ALTER EXTENSION b64num UPDATE TO '1.4'" to load this file. \quit

CREATE FUNCTION b64num_lstat_field_support(internal) RETURNS internal
    AS 'MODULE_PATHNAME', 'b64num_lstat_field_support'
    LANGUAGE C STRICT;
ALTER FUNCTION lstat_field(text, text) SUPPORT b64num_lstat_field_support;
ALTER FUNCTION lstat_field(text, integer) SUPPORT b64num_lstat_field_support;

COMMENT ON FUNCTION lstat_field(text, text) IS 'one field of an LStat value, by name; NULL when the text lacks it or is no LStat value';
COMMENT ON FUNCTION lstat_field(text, integer) IS 'one field of an LStat value, by position 1 to 16; NULL when the text lacks it or is no LStat value';
COMMENT ON FUNCTION lstat(text) IS 'all fields of an LStat value; NULL where the value lacks them, all NULL for a text that is no LStat value, and numerals after the 16th left out';

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
