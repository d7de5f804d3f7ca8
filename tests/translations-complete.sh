#!/usr/bin/env bash
# Fails when a translation lacks a text the sources show (unfinished) or keeps one they no longer show
# (vanished or obsolete): lupdate is run on a copy of each .ts file, over every source that shows text.
# usage: tests/translations-complete.sh LUPDATE TS_DIR SOURCE...
set -euo pipefail
lupdate=$1
ts_dir=$2
shift 2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
for ts in "$ts_dir"/*.ts; do
  copy=$work/$(basename "$ts")
  cp "$ts" "$copy"
  "$lupdate" -silent -locations none "$@" -ts "$copy"
  if grep -nE 'type="(unfinished|vanished|obsolete)"' "$copy"; then
    echo "$(basename "$ts"): texts above are untranslated or no longer used" >&2
    status=1
  fi
done
exit $status
