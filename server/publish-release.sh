#!/usr/bin/env bash
# Publishes one release of a product on the update server in one step.
#
# Usage: publish-release.sh RELEASE_FOLDER ROOT PRODUCT [--rollback] [KORVAN_PUBLISH_OPTIONS...]
#   RELEASE_FOLDER  holds every file of the release, directly
#   ROOT            the folder nginx serves (its `root`), e.g. /srv/korvan-updates
#   PRODUCT         the last part of the product's base address, e.g. acme-tools
#   --rollback      allow versions lower than the release served now
#   the rest        goes to korvan-publish: --version NAME=V.R.B, --description
#                   NAME=TEXT, --sign SECRET_KEY_FILE, --expires DAYS
#
# korvan-publish writes the release's "updateinfo.txt" (refusing a version
# lower than the one served now). The release is then copied to
# ROOT/.releases/PRODUCT/<stamp>/ and ROOT/PRODUCT, a symbolic link, is
# switched to it by one rename: an updater sees the old release or the new
# one, never a manifest without its files. The three newest earlier releases
# stay, for updaters still downloading them.
set -euo pipefail

if [ $# -lt 3 ]; then
  sed -n '2,17s/^# \{0,1\}//p' "$0" >&2
  exit 2
fi
release=$1 root=$2 product=$3
shift 3
rollback=0
if [ "${1:-}" = --rollback ]; then rollback=1; shift; fi
case "$product" in
  "" | .* | */*) echo "publish: PRODUCT must be a plain folder name" >&2; exit 2 ;;
esac
[ -d "$release" ] || { echo "publish: $release is not a folder" >&2; exit 1; }

# The publisher: $KORVAN_PUBLISH, else beside this script in a release
# archive, else on PATH, else in a build of this source tree.
here=$(cd "$(dirname "$0")" && pwd)
publisher=${KORVAN_PUBLISH:-}
for candidate in "$here/../publisher/korvan-publish" "$(command -v korvan-publish || true)" \
                 "$here/../build/linux/bin/korvan-publish"; do
  [ -n "$publisher" ] && break
  [ -n "$candidate" ] && [ -x "$candidate" ] && publisher=$candidate
done
[ -n "$publisher" ] || { echo "publish: korvan-publish not found; set KORVAN_PUBLISH" >&2; exit 1; }

link="$root/$product"
previous=()
if [ $rollback = 0 ] && [ -f "$link/updateinfo.txt" ]; then
  previous=(--previous "$link/updateinfo.txt")
fi
"$publisher" "$release" "${previous[@]}" "$@"

store="$root/.releases/$product"
stamp=$(date -u +%Y%m%dT%H%M%SZ)-$$
mkdir -p "$store"
cp -R "$release" "$store/.$stamp.partial"
mv "$store/.$stamp.partial" "$store/$stamp"

if [ -e "$link" ] && [ ! -L "$link" ]; then
  echo "publish: $link is a real folder; move it away once to let releases be switched" >&2
  exit 1
fi
ln -sfn ".releases/$product/$stamp" "$root/.$product.switch"
mv -T "$root/.$product.switch" "$link"
echo "publish: $link now serves release $stamp"

# Keep the current release and the three before it.
ls -1 "$store" | grep -v '^\.' | sort | head -n -4 | while read -r old; do
  rm -rf "${store:?}/$old"
done
