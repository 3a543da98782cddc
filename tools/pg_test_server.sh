#!/usr/bin/env bash
# pg_test_server.sh: a throwaway PostgreSQL 15 server on loopback for tests.
#
#   pg_test_server.sh start DIR      initdb + start in DIR (made fresh); prints
#                                    the server's postgresql:// URI, also kept
#                                    in DIR/uri
#   pg_test_server.sh stop DIR       stops the server and removes DIR
#   pg_test_server.sh restart DIR    stops and starts it again on the same port
#   pg_test_server.sh run -- CMD...  starts a server, runs CMD with
#                                    NX_PG_TEST_SERVER set to its URI, stops
#                                    it (also when CMD fails); exit status of
#                                    CMD. If the server cannot be started, CMD
#                                    still runs, with NX_PG_TEST_ERROR saying
#                                    why, so the PostgreSQL suites fail loudly.
#   pg_test_server.sh suite BINARY [ARGS...]
#                                    runs a test binary against the server
#                                    named by NX_PG_TEST_SERVER (as NX_TEST_PG);
#                                    without one it fails when the run asked
#                                    for PostgreSQL (NX_PG_TEST_ERROR set) and
#                                    is skipped (77) otherwise.
#
# initdb refuses root: as root the server runs as the system user
# "postgres" (PG_TEST_USER overrides), which then owns DIR.
set -euo pipefail

PG_BIN=${PG_BIN:-/usr/lib/postgresql/15/bin}
SELF=$(readlink -f "$0")

as_server_user() {
  if [ "$(id -u)" = 0 ]; then
    local user=${PG_TEST_USER:-postgres}
    runuser -u "$user" -- "$@"
  else
    "$@"
  fi
}

server_user() {
  if [ "$(id -u)" = 0 ]; then echo "${PG_TEST_USER:-postgres}"; else id -un; fi
}

port_in_use() {
  (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

start_on_port() {
  local dir=$1 port=$2
  as_server_user "$PG_BIN/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 30 \
    -o "-p $port -c listen_addresses=127.0.0.1 -k $dir -c fsync=off -c synchronous_commit=off \
        -c full_page_writes=off -c max_connections=200" start >/dev/null
}

cmd_start() {
  local dir=$1
  [ -x "$PG_BIN/initdb" ] || { echo "pg_test_server: no PostgreSQL 15 in $PG_BIN" >&2; return 1; }
  rm -rf "$dir"
  mkdir -p "$dir"
  chmod 0755 "$dir"
  if [ "$(id -u)" = 0 ]; then chown "$(server_user)" "$dir"; fi
  as_server_user "$PG_BIN/initdb" -D "$dir/data" -A trust -U "$(server_user)" -E UTF8 \
    --locale=C >"$dir/initdb.log" 2>&1 || {
    echo "pg_test_server: initdb failed:" >&2
    cat "$dir/initdb.log" >&2
    return 1
  }
  local attempt port
  for attempt in 1 2 3 4 5 6 7 8; do
    port=$((20000 + RANDOM % 30000))
    port_in_use "$port" && continue
    if start_on_port "$dir" "$port"; then
      echo "$port" >"$dir/port"
      echo "postgresql://$(server_user)@127.0.0.1:$port/postgres" >"$dir/uri"
      cat "$dir/uri"
      return 0
    fi
  done
  echo "pg_test_server: the server did not start:" >&2
  tail -n 20 "$dir/server.log" >&2 || true
  return 1
}

cmd_stop() {
  local dir=$1
  if [ -f "$dir/data/postmaster.pid" ]; then
    as_server_user "$PG_BIN/pg_ctl" -D "$dir/data" -m immediate -w -t 30 stop >/dev/null 2>&1 || true
  fi
  rm -rf "$dir"
}

cmd_restart() {
  local dir=$1
  as_server_user "$PG_BIN/pg_ctl" -D "$dir/data" -m fast -w -t 30 stop >/dev/null
  start_on_port "$dir" "$(cat "$dir/port")"
}

cmd_run() {
  [ "${1:-}" = "--" ] && shift
  local root=${TMPDIR:-/tmp}
  # Global: the trap runs after this function has returned.
  RUN_DIR=$(mktemp -d "$root/nx-pg-XXXXXX")
  local dir=$RUN_DIR
  # The data folder must be reachable by the server's user.
  chmod 0755 "$dir"
  trap 'cmd_stop "$RUN_DIR"' EXIT
  trap 'exit 130' INT TERM
  local uri
  if uri=$(cmd_start "$dir" 2>"$dir.err"); then
    export NX_PG_TEST_SERVER=$uri
    unset NX_PG_TEST_ERROR
    echo "pg_test_server: PostgreSQL test server at $uri"
  else
    export NX_PG_TEST_ERROR="PostgreSQL test server could not be started: $(tr '\n' ' ' <"$dir.err")"
    unset NX_PG_TEST_SERVER
    echo "pg_test_server: $NX_PG_TEST_ERROR" >&2
  fi
  rm -f "$dir.err"
  local rc=0
  "$@" || rc=$?
  return $rc
}

cmd_suite() {
  if [ -z "${NX_PG_TEST_SERVER:-}" ]; then
    if [ -n "${NX_PG_TEST_ERROR:-}" ]; then
      echo "FAILED: $NX_PG_TEST_ERROR" >&2
      exit 1
    fi
    echo "skipped: no PostgreSQL test server (run through make test or $SELF run -- ctest)"
    exit 77
  fi
  export NX_TEST_PG=$NX_PG_TEST_SERVER
  export NX_PG_TEST_SCRIPT=$SELF
  exec "$@"
}

case "${1:-}" in
  start) cmd_start "$2" ;;
  stop) cmd_stop "$2" ;;
  restart) cmd_restart "$2" ;;
  run) shift; cmd_run "$@" ;;
  suite) shift; cmd_suite "$@" ;;
  *) echo "usage: $0 start DIR | stop DIR | restart DIR | run -- CMD... | suite BINARY..." >&2; exit 2 ;;
esac
