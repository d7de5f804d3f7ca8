#!/usr/bin/env bash
# Builds the Debian packages twice from one tree, as scripts/package.sh builds them, and compares them byte
# for byte (with diffoscope's report when they differ and it is installed). Run by hand: two builds.
set -euo pipefail
cd "$(dirname "$0")/.."
first=$(mktemp -d)
trap 'rm -rf "$first"' EXIT
bash scripts/package.sh > /dev/null
cp build-package/*.deb "$first/"
sleep 2  # a later clock: nothing may depend on it
bash scripts/package.sh > /dev/null
status=0
for deb in "$first"/*.deb; do
  name=$(basename "$deb")
  if cmp -s "$deb" "build-package/$name"; then
    echo "identical: $name ($(sha256sum < "$deb" | cut -c1-16))"
  else
    echo "DIFFERENT: $name"
    command -v diffoscope > /dev/null && diffoscope "$deb" "build-package/$name" | head -40
    status=1
  fi
done
exit $status
