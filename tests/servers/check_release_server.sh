#!/usr/bin/env bash
# The shipped nginx site and publish script, end to end on loopback: two
# releases published in turn are served as the updater asks for them, and
# nothing else is.
# Usage: check_release_server.sh SOURCE_DIR NGINX PORT KORVAN_PUBLISH
set -euo pipefail
source_dir=$1 nginx=$2 port=$3
export KORVAN_PUBLISH=$4
work=$(mktemp -d)
nginx_pid=""
cleanup() {
  if [ -n "$nginx_pid" ]; then
    kill "$nginx_pid" 2>/dev/null || true
    wait "$nginx_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

root="$work/srv"
. "$source_dir/tests/scripts/shipped_site.sh"
write_shipped_site "$source_dir/server/nginx/korvan-updates.conf" "$port" "$root" "$work"

publish="$source_dir/server/publish-release.sh"
make_release() {  # folder content
  mkdir -p "$1"
  printf '%s' "$2" >"$1/Acme.Tools.dll"
}
publish_release() {  # folder version [publish-release options]
  bash "$publish" "$1" "$root" acme-tools "${@:3}" --version "Acme.Tools.dll=$2.0.0" \
    --description "Acme.Tools.dll=see http://example.com/notes /* not a comment */"
}
make_release "$work/r1" "first build"
make_release "$work/r2" "second build"
publish_release "$work/r1" 1 >/dev/null

"$nginx" -p "$work/nginx" -c "$work/nginx/nginx.conf" -e "$work/nginx/error.log" &
nginx_pid=$!
for _ in $(seq 100); do
  curl -s -o /dev/null "http://127.0.0.1:$port/" && break
  sleep 0.1
done

base="http://127.0.0.1:$port/acme-tools"
get() { curl -sS --noproxy '*' "$1"; }
status() { curl -s --noproxy '*' -o /dev/null -w '%{http_code}' "$1"; }

[ "$(get "$base/Acme.Tools.dll")" = "first build" ] || fail "release 1 file"
get "$base/updateinfo.txt" | grep -q '"version": 1' || fail "release 1 manifest"
# A base address written with a trailing slash asks for "//updateinfo.txt".
get "$base//updateinfo.txt" | grep -q '"version": 1' || fail "double slash"
curl -sSI --noproxy '*' "$base/updateinfo.txt" | grep -qi '^cache-control: no-cache' ||
  fail "no Cache-Control: no-cache"

publish_release "$work/r2" 2 >/dev/null
[ "$(get "$base/Acme.Tools.dll")" = "second build" ] || fail "release 2 file"
get "$base/updateinfo.txt" | grep -q '"version": 2' || fail "release 2 manifest"

[ "$(status "$base/Missing.dll")" = 404 ] || fail "missing file not 404"
[ "$(status "$base/")" = 404 ] || fail "folder listed"
[ "$(status "http://127.0.0.1:$port/.releases/acme-tools/")" = 404 ] || fail "release store visible"
[ "$(status "$base/acme.tools.dll")" = 404 ] || fail "names must match in letter case"

# A version lower than the one served is refused, and the served release
# stays as it was, until the vendor asks for a rollback.
make_release "$work/r3" "first build again"
if publish_release "$work/r3" 1 >/dev/null 2>&1; then fail "lower version published"; fi
[ "$(get "$base/Acme.Tools.dll")" = "second build" ] || fail "release 2 after refusal"
publish_release "$work/r3" 1 --rollback >/dev/null
[ "$(get "$base/Acme.Tools.dll")" = "first build again" ] || fail "rollback"
get "$base/updateinfo.txt" | grep -q '"sha256": "' || fail "no sha256 in the manifest"
echo "release server: 3 releases published and served, 1 refused"
