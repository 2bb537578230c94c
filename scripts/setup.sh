#!/usr/bin/env bash
# Installs everything the build and the tests need from Debian's packages.
# Idempotent: a machine that already has it all passes through in seconds.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/scripts/stages.sh"
stage_begin setup
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

packages=(
  build-essential cmake ninja-build pkg-config clang-format
  libgtest-dev libgmock-dev googletest
  libjsoncpp-dev libcurl4-openssl-dev libbenchmark-dev libsodium-dev
  autoconf automake libtool
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64
  wine wine32:i386 wine64
  nginx-light python3 curl openssl time bc dpkg-dev xvfb xauth locales
  libssl-dev minisign zip unzip
  openbox xdotool imagemagick
)

missing=()
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
  need_update=1
fi
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

# Source entries for the cross-built jsoncpp and libsodium, on the same archive the machine uses.
if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    $sudo sed -i 's/^Types: deb$/Types: deb deb-src/' "$f"
  done
  if [ -f /etc/apt/sources.list ] && grep -qs '^deb ' /etc/apt/sources.list; then
    sed -n 's/^deb /deb-src /p' /etc/apt/sources.list | $sudo tee -a /etc/apt/sources.list >/dev/null
  fi
  need_update=1
fi

if [ ${#missing[@]} -gt 0 ] || [ "${need_update:-0}" = 1 ]; then
  stage "package lists" $sudo apt-get -o DPkg::Lock::Timeout=600 update -qq
fi
if [ ${#missing[@]} -gt 0 ]; then
  stage_line "installing ${#missing[@]} packages: ${missing[*]}"
  stage "packages" $sudo env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 \
    install -y -qq --no-install-recommends "${missing[@]}"
fi

# jsoncpp source for the Windows builds: fetched, never committed.
third="$here/third_party"
fetch_jsoncpp() {
  rm -rf "$third/src" && mkdir -p "$third/src"
  (cd "$third/src" && apt-get source -qq --download-only libjsoncpp >/dev/null 2>&1)
  (cd "$third/src" && dpkg-source -x --skip-patches ./libjsoncpp_*.dsc jsoncpp >/dev/null 2>&1)
  rm -rf "$third/jsoncpp"
  mv "$third/src/jsoncpp" "$third/jsoncpp"
  rm -rf "$third/src"
}
if [ ! -f "$third/jsoncpp/include/json/json.h" ]; then stage "jsoncpp source" fetch_jsoncpp; fi

# Google Benchmark source for the Windows builds of the benchmarks, likewise.
fetch_benchmark() {
  local src
  src=$(mktemp -d "$third/src.XXXXXX")
  (cd "$src" && apt-get source -qq --download-only benchmark >/dev/null 2>&1)
  (cd "$src" && dpkg-source -x --skip-patches ./benchmark_*.dsc benchmark >/dev/null 2>&1)
  rm -rf "$third/benchmark"
  mv "$src/benchmark" "$third/benchmark"
  rm -rf "$src"
}
if [ ! -f "$third/benchmark/include/benchmark/benchmark.h" ]; then stage "benchmark source" fetch_benchmark; fi

# libsodium for the Windows builds: Debian's source, cross-built once per
# architecture as a static library. The folder may be shared by several
# checkouts, so each build lands under its final name in one move.
sodium="$third/libsodium"
build_sodium() {  # host
  local host=$1 work part
  work=$(mktemp -d)
  (cd "$work" && apt-get source -qq --download-only libsodium >/dev/null 2>&1)
  (cd "$work" && dpkg-source -x ./libsodium_*.dsc src >/dev/null 2>&1)
  mkdir -p "$sodium"
  part=$(mktemp -d "$sodium/.$host.XXXXXX")
  # No stack protector: it would need libssp's DLL at run time.
  (cd "$work/src" && autoreconf -fi && ./configure --host="$host" CC="$host-gcc-posix" \
    --prefix="$part" --disable-shared --enable-static --disable-ssp --disable-pie \
    && make -j2 && make install) >"$work/build.log" 2>&1 || {
    tail -n 40 "$work/build.log" >&2
    rm -rf "$work" "$part"
    echo "setup: libsodium for $host failed" >&2
    exit 1
  }
  rm -rf "$sodium/$host"
  mv "$part" "$sodium/$host"
  rm -rf "$work"
}
for host in i686-w64-mingw32 x86_64-w64-mingw32; do
  if [ ! -f "$sodium/$host/lib/libsodium.a" ]; then stage "libsodium for $host" build_sodium "$host"; fi
done

# Wine takes the ANSI code page from the locale: the tests run in a
# double-byte one (Japanese, 932) and a Cyrillic one (Russian, 1251).
new_locales=0
for name in ja_JP ru_RU; do
  locale -a 2>/dev/null | grep -qi "^$name.utf8\$" && continue
  $sudo sed -i "s/^# *$name.UTF-8 UTF-8/$name.UTF-8 UTF-8/" /etc/locale.gen
  grep -q "^$name.UTF-8 UTF-8" /etc/locale.gen || echo "$name.UTF-8 UTF-8" | $sudo tee -a /etc/locale.gen >/dev/null
  new_locales=1
done
if [ $new_locales -ne 0 ]; then stage "locales" $sudo locale-gen; fi

# The Wine prefix is made once; its first start takes a while.
export WINEDEBUG=-all
make_wine_prefix() {
  wineboot -i || true
  wineserver -w || true
}
if [ ! -f "${WINEPREFIX:-$HOME/.wine}/system.reg" ]; then stage "Wine prefix" make_wine_prefix; fi
stage_line "ready"
