#!/usr/bin/env bash
# The tests' throwaway PostgreSQL server.
#
#   pg_test_server.sh start [--durable] [--watch PID]
#                                           make and start a server, print its PG_* lines
#   pg_test_server.sh stop DIR              stop it at once and remove its folder
#   pg_test_server.sh restart DIR           fast restart on the same port and socket
#   pg_test_server.sh halt DIR              stop it, keeping the folder
#   pg_test_server.sh resume DIR            start a halted server again
#
# `start` makes a fresh folder under the system's temporary directory (never
# inside the checkout), runs initdb there (superuser "postgres", UTF8, C
# locale, no syncing) and starts the server on a Unix socket in that folder and
# on 127.0.0.1 at a free port, with durability off for speed (--durable keeps
# a production server's settings, every commit flushed: for benchmarks). Local connections
# are trusted; TCP ones log in with SCRAM-SHA-256. Run as root, the folder
# belongs to the postgres user and the server runs as that user (the server
# refuses root); otherwise it runs as the current user. On stdout it prints
# shell-sourceable lines: PG_DIR, PG_SOCKET_DIR, PG_PORT, PG_TCP_HOST,
# PG_SUPERUSER, PG_BIN. With --watch PID, a background watcher stops the server
# and removes the folder once process PID is gone, so a crashed test leaves
# no server behind.
set -euo pipefail

self=$(readlink -f "$0")
marker=.devgroup-pg-test-server

die() {
    echo "pg_test_server: $*" >&2
    exit 1
}

usage() {
    echo "usage: pg_test_server.sh start [--durable] [--watch PID] | stop DIR | restart DIR | halt DIR | resume DIR" >&2
    exit 2
}

# The directory holding initdb and pg_ctl: pg_config's, else the newest of
# Debian's versioned folders that has them, else whatever is on PATH.
find_bin() {
    local dir
    if command -v pg_config >/dev/null; then
        dir=$(pg_config --bindir 2>/dev/null || true)
        if [ -n "$dir" ] && [ -x "$dir/initdb" ] && [ -x "$dir/pg_ctl" ]; then
            echo "$dir"
            return
        fi
    fi
    # A version's folder may hold only its client programs.
    for dir in $(printf '%s\n' /usr/lib/postgresql/*/bin | sort -rV); do
        if [ -x "$dir/initdb" ] && [ -x "$dir/pg_ctl" ]; then
            echo "$dir"
            return
        fi
    done
    if command -v initdb >/dev/null && command -v pg_ctl >/dev/null; then
        dirname "$(command -v initdb)"
        return
    fi
    return 1
}

as_root=false
[ "$(id -u)" -eq 0 ] && as_root=true

# Runs a command as the server's user: postgres when we are root, else us.
as_server() {
    if $as_root; then
        runuser -u postgres -- "$@"
    else
        "$@"
    fi
}

# Only a folder this script made is stopped or removed.
check_dir() {
    [ -n "${1:-}" ] || usage
    [ -d "$1" ] || die "no such server folder: $1"
    [ -f "$1/$marker" ] || die "not a test server folder: $1"
    dir=$(cd "$1" && pwd)
    bin=$(cat "$dir/$marker")
    [ -x "$bin/pg_ctl" ] || die "pg_ctl not found in $bin"
}

# Starts the server in $dir; prints the log and fails when it does not come up.
pg_start() {
    if ! as_server "$bin/pg_ctl" start -w -t 60 -s -D "$dir/data" -l "$dir/server.log" >/dev/null 2>"$dir/pg_ctl.err"; then
        return 1
    fi
}

show_failure() {
    echo "pg_test_server: $1" >&2
    cat "$dir/pg_ctl.err" >&2 2>/dev/null || true
    tail -n 20 "$dir/server.log" >&2 2>/dev/null || true
}

# The server's settings; the port is chosen afresh on each try.
write_settings() {
    cat >"$dir/data/test_server.conf" <<EOF
listen_addresses = '127.0.0.1'
port = $1
unix_socket_directories = '$dir'
max_connections = 100
password_encryption = 'scram-sha-256'
EOF
    if ! ${durable:-false}; then
        printf 'fsync = off\nfull_page_writes = off\nsynchronous_commit = off\n' \
            >>"$dir/data/test_server.conf"
    fi
    $as_root && chown postgres: "$dir/data/test_server.conf"
    return 0
}

# A fresh folder that the server's user can enter and whose path is plain
# enough for the PG_* lines and short enough for a Unix socket path.
make_dir() {
    local base candidate
    for base in "${TMPDIR:-/tmp}" /tmp; do
        [ -d "$base" ] || continue
        candidate=$(mktemp -d "$base/devgroup-pg-XXXXXX" 2>/dev/null) || continue
        candidate=$(cd "$candidate" && pwd -P)
        if [[ ! "$candidate" =~ ^[A-Za-z0-9/._-]+$ ]] || [ ${#candidate} -gt 80 ]; then
            rmdir "$candidate"
            continue
        fi
        if $as_root; then
            chown postgres: "$candidate"
            if ! runuser -u postgres -- test -w "$candidate"; then
                rmdir "$candidate"
                continue
            fi
        fi
        dir=$candidate
        return 0
    done
    return 1
}

abandon() {
    if [ -f "$dir/data/postmaster.pid" ]; then
        as_server "$bin/pg_ctl" stop -w -s -m immediate -D "$dir/data" >/dev/null 2>&1 || true
    fi
    cd /
    rm -rf "$dir"
}

cmd_start() {
    local watch_pid=""
    durable=false
    if [ "${1:-}" = "--durable" ]; then
        durable=true
        shift
    fi
    if [ "${1:-}" = "--watch" ]; then
        [[ "${2:-}" =~ ^[0-9]+$ ]] || usage
        watch_pid=$2
    elif [ $# -gt 0 ]; then
        usage
    fi

    bin=$(find_bin) || die "PostgreSQL server programs (initdb, pg_ctl) not found; install the postgresql package"
    if $as_root; then
        id -u postgres >/dev/null 2>&1 || die "running as root, but there is no postgres user to run the server as; install the postgresql package"
        command -v runuser >/dev/null || die "running as root, but runuser is missing"
    fi
    make_dir || die "cannot make a folder under ${TMPDIR:-/tmp} or /tmp that the server's user can enter"
    # Whatever ends the start early takes the server and folder with it.
    trap abandon EXIT
    trap 'exit 1' INT TERM HUP
    echo "$bin" >"$dir/$marker"
    # The server's user may not be able to enter the caller's folder.
    cd "$dir"

    if ! as_server "$bin/initdb" -D "$dir/data" -U postgres -E UTF8 --locale=C \
        --auth-local=trust --auth-host=scram-sha-256 --no-sync --no-instructions \
        >"$dir/initdb.log" 2>&1; then
        cat "$dir/initdb.log" >&2
        die "initdb failed"
    fi
    cat >"$dir/data/pg_hba.conf" <<EOF
local all all trust
host all all 127.0.0.1/32 scram-sha-256
EOF
    echo "include 'test_server.conf'" >>"$dir/data/postgresql.conf"
    $as_root && chown postgres: "$dir/data/pg_hba.conf"

    # Ports below Linux's ephemeral range; another try on a port taken meanwhile.
    local port tries=0
    while :; do
        port=$((20000 + (RANDOM * 32768 + RANDOM) % 12000))
        write_settings "$port"
        pg_start && break
        tries=$((tries + 1))
        if [ $tries -ge 10 ] || ! grep -q -e "could not bind" -e "could not create any TCP/IP sockets" \
            "$dir/server.log" 2>/dev/null; then
            show_failure "the server did not start"
            exit 1
        fi
        : >"$dir/server.log"
    done

    trap - EXIT INT TERM HUP
    if [ -n "$watch_pid" ]; then
        (
            while kill -0 "$watch_pid" 2>/dev/null && [ -d "$dir" ]; do sleep 1; done
            [ -d "$dir" ] && "$self" stop "$dir"
        ) </dev/null >/dev/null 2>&1 &
        disown
    fi

    cat <<EOF
PG_DIR=$dir
PG_SOCKET_DIR=$dir
PG_PORT=$port
PG_TCP_HOST=127.0.0.1
PG_SUPERUSER=postgres
PG_BIN=$bin
EOF
}

cmd_stop() {
    check_dir "$@"
    cd "$dir"
    local status=0
    if [ -f "$dir/data/postmaster.pid" ]; then
        as_server "$bin/pg_ctl" stop -w -s -m immediate -D "$dir/data" 2>"$dir/pg_ctl.err" || {
            show_failure "could not stop the server in $dir"
            status=1
        }
    fi
    cd /
    rm -rf "$dir"
    return $status
}

cmd_restart() {
    check_dir "$@"
    cd "$dir"
    as_server "$bin/pg_ctl" restart -w -t 60 -s -m fast -D "$dir/data" -l "$dir/server.log" \
        >/dev/null 2>"$dir/pg_ctl.err" || { show_failure "restart failed"; exit 1; }
}

cmd_halt() {
    check_dir "$@"
    cd "$dir"
    as_server "$bin/pg_ctl" stop -w -s -m fast -D "$dir/data" 2>"$dir/pg_ctl.err" \
        || { show_failure "could not stop the server"; exit 1; }
}

cmd_resume() {
    check_dir "$@"
    cd "$dir"
    pg_start || { show_failure "the server did not start again"; exit 1; }
}

[ $# -ge 1 ] || usage
command=$1
shift
case "$command" in
start) cmd_start "$@" ;;
stop) cmd_stop "$@" ;;
restart) cmd_restart "$@" ;;
halt) cmd_halt "$@" ;;
resume) cmd_resume "$@" ;;
*) usage ;;
esac
