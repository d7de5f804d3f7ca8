#!/usr/bin/env bash
# Compares tmdump's verbose text and hex dump of every golden capture with the text committed beside it,
# byte for byte. With --update, writes the texts instead (review the diff before committing it).
# usage: tests/golden/check.sh TMDUMP [--update]
set -euo pipefail
tmdump=$1
update=${2:-}
here=$(cd "$(dirname "$0")" && pwd)
failed=0
for capture in "$here"/*.pcap "$here"/../data/*.pcap; do
  name=$(basename "$capture" .pcap)
  expected=$here/$name.txt
  actual=$(mktemp)
  TZ=UTC LC_ALL=C "$tmdump" -v -x -r "$capture" > "$actual" 2> /dev/null
  if [ "$update" = --update ]; then
    mv "$actual" "$expected"
    continue
  fi
  if ! cmp -s "$expected" "$actual"; then
    echo "$name: tmdump's text differs from $expected:"
    diff -u "$expected" "$actual" | head -40 || true
    failed=1
  fi
  rm -f "$actual"
done
if [ "$update" = --update ]; then
  echo "golden texts: written"
elif [ $failed = 0 ]; then
  echo "golden texts: identical"
fi
exit $failed
