#!/usr/bin/env bash
# Runs store_bench against a throwaway PostgreSQL server of its own
# (pg_test_server.sh), stopped and removed at the end, also when the
# benchmark fails or is interrupted. The server keeps a production server's
# durability (every commit flushed to disk), as a site's server does.
set -euo pipefail
build=${1:-build/release}
shift || true
here=$(cd "$(dirname "$0")" && pwd)
server=$("$here/pg_test_server.sh" start --durable --watch $$)
PG_DIR=$(sed -n 's/^PG_DIR=//p' <<<"$server")
[ -n "$PG_DIR" ] || { echo "run-store-benchmark: the server did not start" >&2; exit 1; }
trap '"$here/pg_test_server.sh" stop "$PG_DIR"' EXIT
trap 'exit 1' INT TERM HUP
for name in PG_SOCKET_DIR PG_PORT PG_TCP_HOST PG_SUPERUSER; do
    export "$name=$(sed -n "s/^$name=//p" <<<"$server")"
done
"$build/bin/store_bench" "$@"
