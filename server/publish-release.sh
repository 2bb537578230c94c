#!/usr/bin/env bash
# Publishes one release of a product on the update server in one step.
#
# Usage: publish-release.sh RELEASE_FOLDER ROOT PRODUCT
#   RELEASE_FOLDER  holds "updateinfo.txt" and every file it lists, directly
#   ROOT            the folder nginx serves (its `root`), e.g. /srv/korvan-updates
#   PRODUCT         the last part of the product's base address, e.g. acme-tools
#
# The release is copied to ROOT/.releases/PRODUCT/<stamp>/ and then
# ROOT/PRODUCT, a symbolic link, is switched to it by one rename: an updater
# sees the old release or the new one, never a manifest without its files.
# The three newest earlier releases stay, for updaters still downloading them.
set -euo pipefail

if [ $# -ne 3 ]; then
  sed -n '2,13s/^# \{0,1\}//p' "$0" >&2
  exit 2
fi
release=$1 root=$2 product=$3
case "$product" in
  "" | .* | */*) echo "publish: PRODUCT must be a plain folder name" >&2; exit 2 ;;
esac
manifest="$release/updateinfo.txt"
[ -f "$manifest" ] || { echo "publish: $manifest is missing" >&2; exit 1; }

# Every listed file must be there, under exactly its listed name: the updater
# compares names byte for byte and asks for each one directly below the base.
python3 - "$manifest" <<'PYTHON'
import json, os, sys

def strip_comments(text):
    out, i, in_string = [], 0, False
    while i < len(text):
        c = text[i]
        if in_string:
            out.append(c)
            if c == "\\":
                out.append(text[i + 1:i + 2])
                i += 1
            elif c == '"':
                in_string = False
        elif c == '"':
            in_string = True
            out.append(c)
        elif text.startswith("//", i):
            i = text.find("\n", i)
            if i < 0:
                break
            continue
        elif text.startswith("/*", i):
            end = text.find("*/", i + 2)
            i = len(text) if end < 0 else end + 2
            continue
        else:
            out.append(c)
        i += 1
    return "".join(out)

path = sys.argv[1]
try:
    with open(path, "rb") as f:
        document = json.loads(strip_comments(f.read().decode("latin-1")))
except ValueError as error:
    sys.exit("publish: %s is not a JSON file list: %s" % (path, error))
files = document.get("Files") if isinstance(document, dict) else None
if not isinstance(files, list) or not files:
    sys.exit('publish: %s has no "Files" to offer' % path)
folder = os.path.dirname(path)
for entry in files:
    name = entry.get("name", "") if isinstance(entry, dict) else ""
    if not name or "/" in name or not os.path.isfile(os.path.join(folder, name)):
        sys.exit("publish: listed file %r is not a file directly in %s" % (name, folder))
PYTHON

store="$root/.releases/$product"
stamp=$(date -u +%Y%m%dT%H%M%SZ)-$$
mkdir -p "$store"
cp -R "$release" "$store/.$stamp.partial"
mv "$store/.$stamp.partial" "$store/$stamp"

link="$root/$product"
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
