#!/usr/bin/env bash
# Installs the library from a build tree into a staging prefix, then builds projects outside the tree
# against it (CMake package and pkg-config) and checks what they print and link.
# usage: check-consumers.sh BUILD_DIR WORK_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
build_dir=$1
work=$2
rm -rf "$work"
mkdir -p "$work"
prefix="$work/staging"
cmake --install "$build_dir" --prefix "$prefix" --component Development > "$work/install.log"

hex=685b35890a04c869cd2c0d500800450000341c46400040069d13c0a80010c0a8000ac001de7e2d3a1e6b8f6a2c11801008040a2c00000101080a0011a2b33c4d5e6f
expected="c8:69:cd:2c:0d:50 68:5b:35:89:0a:04 ethernet 0x0800 IPv4 192.168.0.16 > 192.168.0.10 ipProt 6 TCP 49153 > 56958 flags A 12 bytes"
fail() { echo "FAIL: $*" >&2; exit 1; }
no_libpcap() {
  if readelf -d "$1" | grep NEEDED | grep -q pcap; then fail "$1 depends on libpcap"; fi
}

for consumer in decode-consumer capture-consumer; do
  cmake -S "$here/$consumer" -B "$work/$consumer" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" \
    -DCMAKE_BUILD_TYPE=Release > "$work/$consumer.log" 2>&1 || { cat "$work/$consumer.log"; fail "configure $consumer"; }
  cmake --build "$work/$consumer" >> "$work/$consumer.log" 2>&1 || { cat "$work/$consumer.log"; fail "build $consumer"; }
done

out=$("$work/decode-consumer/decode-consumer" "$hex")
[ "$out" = "$expected" ] || fail "decode-consumer printed: $out"
no_libpcap "$work/decode-consumer/decode-consumer"
"$work/capture-consumer/capture-consumer" | grep -qx lo || fail "capture-consumer does not list lo"
readelf -d "$work/capture-consumer/capture-consumer" | grep NEEDED | grep -q pcap || fail "capture-consumer lacks libpcap"
echo "CMake package consumers: ok"

# pkg-config, with the .pc files found from the staging prefix; its flags alone make g++ 12 a C++20 compiler.
pcdir=$(dirname "$(find "$prefix" -name ZuzizavAdiduDazorud.pc | head -1)")
export PKG_CONFIG_PATH="$pcdir"
[ "$(pkg-config --modversion ZuzizavAdiduDazorud-decode)" = "$(pkg-config --modversion ZuzizavAdiduDazorud)" ] ||
  fail "the two .pc files disagree on the version"
# shellcheck disable=SC2046
g++ -o "$work/pc-decode" "$here/decode-consumer/main.cpp" $(pkg-config --cflags --libs ZuzizavAdiduDazorud-decode)
[ "$("$work/pc-decode" "$hex")" = "$expected" ] || fail "pkg-config decode consumer"
no_libpcap "$work/pc-decode"
# shellcheck disable=SC2046
g++ -o "$work/pc-capture" "$here/capture-consumer/main.cpp" $(pkg-config --cflags --libs ZuzizavAdiduDazorud)
"$work/pc-capture" | grep -qx lo || fail "pkg-config capture consumer"
echo "pkg-config consumers: ok"

# add_subdirectory: the library alone.
cmake -S "$here/subdirectory-consumer" -B "$work/subdirectory" -G Ninja -DTIDEMARK_SOURCE_DIR="$source_dir" \
  -DCMAKE_BUILD_TYPE=Release > "$work/subdirectory.log" 2>&1 || { cat "$work/subdirectory.log"; fail "configure subdirectory"; }
cmake --build "$work/subdirectory" --target decode-consumer >> "$work/subdirectory.log" 2>&1 ||
  { cat "$work/subdirectory.log"; fail "build subdirectory"; }
[ "$("$work/subdirectory/decode-consumer" "$hex")" = "$expected" ] || fail "add_subdirectory consumer"
no_libpcap "$work/subdirectory/decode-consumer"
echo "add_subdirectory consumer: ok"
