#!/usr/bin/env bash
# A throwaway PostgreSQL server for the tests: a fresh cluster in a folder of its own, trust
# authentication, a unix socket in that folder and no TCP listener. Needs no systemd.
#
#   scripts/pg-server.sh start DIR   creates DIR (if needed), initialises and starts the server
#   scripts/pg-server.sh env DIR     prints the shell exports that point clients at it
#   scripts/pg-server.sh stop DIR    stops the server and removes DIR
#
# As root the server runs as the postgres user (through runuser); as any other user it runs as
# that user. PG_BINDIR overrides where initdb and pg_ctl are found.
set -euo pipefail

usage() {
  echo "usage: $0 start|env|stop DIR" >&2
  exit 2
}
(($# == 2)) || usage
action="$1"
dir="$2"

bindir="${PG_BINDIR:-}"
if [ -z "$bindir" ]; then
  bindir="$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1 || true)"
fi
if [ -z "$bindir" ] || [ ! -x "$bindir/pg_ctl" ]; then
  echo "pg-server: PostgreSQL server programs not found (install the postgresql package)" >&2
  exit 1
fi

# Runs a server program as the account that owns the cluster. The working folder is the cluster's
# own, since the postgres account may not be allowed into the caller's.
as_owner() {
  if [ "$(id -u)" -eq 0 ]; then
    (cd "$dir" && runuser -u postgres -- "$@")
  else
    (cd "$dir" && "$@")
  fi
}

case "$action" in
  start)
    mkdir -p "$dir"
    if [ "$(id -u)" -eq 0 ]; then chown postgres: "$dir"; fi
    chmod 700 "$dir"
    as_owner "$bindir/initdb" --no-sync -A trust -U postgres -E UTF8 --locale=C.UTF-8 \
      -D "$dir/data" >"$dir/initdb.log" 2>&1 || {
      cat "$dir/initdb.log" >&2
      exit 1
    }
    as_owner "$bindir/pg_ctl" -w -t 30 -D "$dir/data" -l "$dir/server.log" \
      -o "-c listen_addresses='' -k $dir -c fsync=off -c full_page_writes=off" start >/dev/null || {
      cat "$dir/server.log" >&2
      exit 1
    }
    echo "pg-server: running, socket in $dir" >&2
    ;;
  env)
    echo "export PGHOST='$dir'"
    echo "export PGUSER=postgres"
    echo "export PGDATABASE=postgres"
    echo "export OQ_TEST_PG_URL='postgresql:///postgres?host=$dir&user=postgres'"
    ;;
  stop)
    if [ -f "$dir/data/postmaster.pid" ]; then
      as_owner "$bindir/pg_ctl" -D "$dir/data" -m immediate stop >/dev/null 2>&1 || true
    fi
    rm -rf "$dir"
    ;;
  *) usage ;;
esac
