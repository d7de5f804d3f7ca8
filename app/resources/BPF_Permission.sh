#!/bin/sh
# Grants the Tidemark program the capabilities live capture needs (raw sockets, promiscuous mode).
# Runs as root through pkexec; prints nothing when it succeeds, and what failed otherwise.
set -u

target=${1:-}
if [ -z "$target" ]; then
  echo "usage: BPF_Permission.sh PATH-TO-TIDEMARK"
  exit 2
fi
if [ -L "$target" ] || [ ! -f "$target" ]; then
  echo "not a regular file: $target"
  exit 2
fi
case "$(basename -- "$target")" in
  tidemark) ;;
  *) echo "refusing to grant capture rights to $target"; exit 2 ;;
esac
if ! output=$(setcap cap_net_raw,cap_net_admin=eip "$target" 2>&1); then
  echo "setcap failed: $output"
  exit 1
fi
