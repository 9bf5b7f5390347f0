-- Drops the b64num loadable functions: mysql < uninstall.sql
DROP FUNCTION IF EXISTS b64num;
DROP FUNCTION IF EXISTS lstat_field;
DROP FUNCTION IF EXISTS filemode;
