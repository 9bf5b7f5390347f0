-- The b64num loadable functions, from b64num.so in the server's plugin
-- directory. Run once per server, as a user who may create functions:
--   mysql < install.sql
-- After an upgrade of b64num.so, the server runs the library it loaded
-- until the functions are created again: run uninstall.sql, then this.
CREATE FUNCTION b64num RETURNS INTEGER SONAME 'b64num.so';
CREATE FUNCTION lstat_field RETURNS INTEGER SONAME 'b64num.so';
CREATE FUNCTION filemode RETURNS STRING SONAME 'b64num.so';
CREATE FUNCTION lstat_type RETURNS STRING SONAME 'b64num.so';
CREATE FUNCTION lstat_atime RETURNS STRING SONAME 'b64num.so';
CREATE FUNCTION lstat_mtime RETURNS STRING SONAME 'b64num.so';
CREATE FUNCTION lstat_ctime RETURNS STRING SONAME 'b64num.so';
CREATE FUNCTION lstat_json RETURNS STRING SONAME 'b64num.so';
CREATE FUNCTION b64num_library_version RETURNS STRING SONAME 'b64num.so';
