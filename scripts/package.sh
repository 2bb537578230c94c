#!/usr/bin/env bash
# Builds the release archive a vendor downloads:
#   dist/korvan-updater-<version>.zip, <version> being the library's own
#   version text, holding both DLLs and their companions where the terminals
#   load them (MQL4/Libraries, MQL5/Libraries), the include files and
#   examples beside them, the publisher for Linux and Windows, the Linux
#   library and companion, the nginx example and the README.
# Then unpacks it and runs a whole update from the unpacked files
# (tests/scripts/check_package.sh). Usage: scripts/package.sh [--no-check]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
export WINEDEBUG=-all

for preset in linux win32 win64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j"$(nproc)" >/dev/null
done
linux=$root/build/linux/bin win32=$root/build/win32/bin win64=$root/build/win64/bin

# The version text, asked of the library itself (in a scratch folder: loading
# it opens its log two folders up).
probe=$(mktemp -d)
trap 'rm -rf "$probe"' EXIT
mkdir -p "$probe/a/b"
cp "$linux/libKorvan.Tools.Updater.so" "$probe/a/b/"
version=$(python3 -c 'import ctypes, sys
library = ctypes.CDLL(sys.argv[1])
library.extGetVersion.restype = ctypes.c_char_p
print(library.extGetVersion().decode())' "$probe/a/b/libKorvan.Tools.Updater.so")
[[ $version =~ ^[0-9A-Za-z.-]+$ ]] || { echo "package: odd version text '$version'" >&2; exit 1; }

name=korvan-updater-$version
stage=$probe/$name
mkdir -p "$stage/MQL4/Libraries" "$stage/MQL5/Libraries" "$stage/publisher" "$stage/linux" \
         "$stage/server/nginx" "$stage/docs"
cp -R mql/MQL4 mql/MQL5 "$stage/"
cp "$win32/Korvan.Tools.Updater.dll" "$win32/KorvanUpdater.exe" "$stage/MQL4/Libraries/"
cp "$win64/Korvan.Tools.Updater.dll" "$win64/KorvanUpdater.exe" "$stage/MQL5/Libraries/"
cp "$linux/korvan-publish" "$win32/korvan-publish.exe" "$win64/korvan-publish64.exe" "$stage/publisher/"
cp "$linux/libKorvan.Tools.Updater.so" "$linux/KorvanUpdater" "$stage/linux/"
cp server/nginx/korvan-updates.conf "$stage/server/nginx/"
cp server/publish-release.sh "$stage/server/"
cp README.md "$stage/"
cp docs/*.md docs/*.png "$stage/docs/" 2>/dev/null || cp docs/*.md "$stage/docs/"
# Debugging information stays in the build; symbols stay for the vendor's
# crash reports.
i686-w64-mingw32-strip --strip-debug "$stage/MQL4/Libraries/"* "$stage/publisher/korvan-publish.exe"
x86_64-w64-mingw32-strip --strip-debug "$stage/MQL5/Libraries/"* "$stage/publisher/korvan-publish64.exe"
strip --strip-debug "$stage/linux/"* "$stage/publisher/korvan-publish"

mkdir -p dist
rm -f "dist/$name.zip"
(cd "$probe" && zip -qr -X "$root/dist/$name.zip" "$name")
echo "package: dist/$name.zip ($(du -h "dist/$name.zip" | cut -f1))"

[ "${1:-}" = --no-check ] || bash tests/scripts/check_package.sh "dist/$name.zip"
