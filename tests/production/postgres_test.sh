#!/usr/bin/env bash
# Several benches, one line: a real PostgreSQL server (Debian's postgresql package) in a
# temporary folder, listening on a Unix socket there only, run as an unprivileged user
# (the server refuses root) and stopped by its process id.
# - two station processes of 50 virtual units each, at once: 100 records, 100 numbers;
# - the server stopped and started again while a station runs: after `records sync`
#   every unit is on the server.
# Usage: postgres_test.sh QUILLON_CLI BIN_DIR
set -euo pipefail
cli=${1:?usage: postgres_test.sh QUILLON_CLI BIN_DIR}
pgbin=/usr/lib/postgresql/15/bin
fail() { echo "FAIL: $*" >&2; exit 1; }
for p in initdb postgres pg_isready; do
  [ -x "$pgbin/$p" ] || fail "$pgbin/$p is missing: install the postgresql package"
done

tmp=$(mktemp -d /tmp/quillon-pg-XXXXXX)
chmod 755 "$tmp"
pgdir=$tmp/pg
mkdir "$pgdir"
server=""
cleanup() {
  [ -n "$server" ] && kill -INT "$server" 2>/dev/null && wait "$server" 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT

# As root (CI), the server runs as an unprivileged user of its own.
as_pg=()
if [ "$(id -u)" = 0 ]; then
  pguser=nobody
  if ! id "$pguser" >/dev/null 2>&1; then
    pguser=quillon-pg
    id "$pguser" >/dev/null 2>&1 || useradd --system --no-create-home "$pguser"
  fi
  chown "$pguser" "$pgdir"
  as_pg=(setpriv --reuid="$(id -u "$pguser")" --regid="$(id -g "$pguser")" --clear-groups --)
fi
"${as_pg[@]}" "$pgbin/initdb" -D "$pgdir/data" -U quillon --auth=trust -E UTF8 --no-sync \
  >"$tmp/initdb.log" 2>&1 || { cat "$tmp/initdb.log"; fail "initdb"; }

start_server() {
  "${as_pg[@]}" "$pgbin/postgres" -D "$pgdir/data" -k "$pgdir" -c listen_addresses='' \
    -c fsync=off >>"$tmp/server.log" 2>&1 &
  server=$!
  for _ in $(seq 300); do
    "$pgbin/pg_isready" -q -h "$pgdir" -U quillon && return 0
    kill -0 "$server" 2>/dev/null || break
    sleep 0.1
  done
  cat "$tmp/server.log"
  fail "the server did not start"
}
stop_server() {
  kill -INT "$server"  # fast shutdown: clients are disconnected
  wait "$server" || true
  server=""
}
# Waits (up to a minute) until the file holds at least n lines matching the pattern.
wait_lines() {
  for _ in $(seq 600); do
    [ "$(grep -c -- "$2" "$1" || true)" -ge "$3" ] && return 0
    sleep 0.1
  done
  cat "$1"
  fail "waited in vain for $3 x '$2' in $1"
}

start_server
url="postgresql:///postgres?host=$pgdir&user=quillon"

head -c 16384 /dev/urandom >"$tmp/font.bin"
cat >"$tmp/profile.ini" <<EOF
[font]
file = font.bin
packsize = 4096
[settings]
blackness = 2
bt-name = PG-{serial}
[serial]
format = PG{seq:06}
seq = 1
EOF
station() {  # home, count, output file
  mkdir -p "$tmp/$1"
  timeout 300 "$cli" --home "$tmp/$1" --virtual-printer="$2" --factory-state --json station \
    "$tmp/profile.ini" --records "$url" >"$3" 2>"$3.err"
}
count_units() {  # the server's records: lines, distinct serial numbers
  "$cli" --home "$tmp/a" --json records list --records "$url" >"$tmp/list.json"
  echo "$(wc -l <"$tmp/list.json") $(grep -o '"serial":"PG[0-9]*"' "$tmp/list.json" | sort -u |
    wc -l)"
}

# Two benches at once, each allocating its numbers in the server's transaction.
station a 50 "$tmp/a.out" &
a=$!
station b 50 "$tmp/b.out" &
b=$!
wait "$a" || { cat "$tmp/a.out.err"; fail "station a"; }
wait "$b" || { cat "$tmp/b.out.err"; fail "station b"; }
[ "$(count_units)" = "100 100" ] || fail "two stations: $(count_units), wanted 100 records and 100 numbers"

# The server goes away in the middle of a run and comes back.
station c 20 "$tmp/c.out" &
c=$!
wait_lines "$tmp/c.out" '"event":"unit"' 5
stop_server
wait_lines "$tmp/c.out" '"state":"unreachable"' 1
wait_lines "$tmp/c.out" '"event":"waiting"' 1
start_server
wait "$c" || { cat "$tmp/c.out.err"; fail "station c"; }
"$cli" --home "$tmp/c" records sync --records "$url" || fail "records sync"
[ "$(count_units)" = "120 120" ] || fail "after the restart: $(count_units), wanted 120 and 120"
grep -q '"result":"pass"' "$tmp/list.json" || fail "no unit passed"
! grep -q '"result":"fail"' "$tmp/list.json" || fail "a unit failed: $(grep '"result":"fail"' "$tmp/list.json")"
echo "PostgreSQL: 120 units from three stations, 120 serial numbers, none lost"
