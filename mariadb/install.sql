-- The b64num loadable functions, from b64num.so in the server's plugin
-- directory. Run once per server, as a user who may create functions:
--   mysql < install.sql
CREATE FUNCTION b64num RETURNS INTEGER SONAME 'b64num.so';
CREATE FUNCTION lstat_field RETURNS INTEGER SONAME 'b64num.so';
CREATE FUNCTION filemode RETURNS STRING SONAME 'b64num.so';
