-- Drops the b64num loadable functions: mysql < uninstall.sql
DROP FUNCTION IF EXISTS b64num;
DROP FUNCTION IF EXISTS lstat_field;
DROP FUNCTION IF EXISTS filemode;
DROP FUNCTION IF EXISTS lstat_type;
DROP FUNCTION IF EXISTS lstat_atime;
DROP FUNCTION IF EXISTS lstat_mtime;
DROP FUNCTION IF EXISTS lstat_ctime;
DROP FUNCTION IF EXISTS lstat_json;
DROP FUNCTION IF EXISTS b64num_library_version;
