#!/usr/bin/env bash
# Runs a command beside throwaway PostgreSQL and MariaDB servers, each on a
# temporary data directory, and stops and removes both when it ends, however
# it ends. The command finds PostgreSQL through the PG* variables that
# pg_virtualenv sets, and MariaDB through MYSQL_HOME, whose my.cnf names the
# server's socket; B64NUM_MARIADB_PLUGINS is the server's plugin directory,
# where tests put the loadable functions they create.
#
# usage: tests/catalog/with_servers.sh COMMAND [ARGUMENT...]
set -euo pipefail

for program in pg_virtualenv mariadb-install-db mariadbd mysql; do
    command -v "$program" >/dev/null || {
        echo "with_servers.sh: $program is missing (apt-get install postgresql-15 mariadb-server mariadb-client)" >&2
        exit 2
    }
done

# pg_virtualenv makes a cluster, runs one command (this script again) with
# the PG* variables set, and drops the cluster afterwards.
if [ -z "${B64NUM_POSTGRESQL_STARTED:-}" ]; then
    export B64NUM_POSTGRESQL_STARTED=1
    exec pg_virtualenv -t "$0" "$@"
fi

work=$(mktemp -d /tmp/b64num-mariadb.XXXXXX)
server=""
stop_mariadb() {
    if [ -n "$server" ]; then
        kill "$server" 2>/dev/null || true
        wait "$server" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap stop_mariadb EXIT

# --no-defaults: the machine's own server settings must not leak in.
mariadb-install-db --no-defaults --user=root --datadir="$work/data" \
    --auth-root-authentication-method=socket > "$work/install.log" 2>&1 || {
    cat "$work/install.log" >&2
    exit 1
}
mkdir "$work/plugins"
export B64NUM_MARIADB_PLUGINS=$work/plugins
mariadbd --no-defaults --user=root --datadir="$work/data" --socket="$work/socket" \
    --plugin-dir="$B64NUM_MARIADB_PLUGINS" \
    --skip-networking --log-error="$work/server.log" 2>> "$work/server.log" &
server=$!
printf '[client]\nsocket=%s\n' "$work/socket" > "$work/my.cnf"
export MYSQL_HOME=$work
for _ in $(seq 60); do
    mysql -e 'SELECT 1' > /dev/null 2>&1 && break
    kill -0 "$server" 2>/dev/null || break
    sleep 0.5
done
mysql -e 'SELECT 1' > /dev/null || {
    echo "with_servers.sh: MariaDB did not start:" >&2
    cat "$work/server.log" >&2
    exit 1
}

"$@"
