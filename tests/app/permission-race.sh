#!/bin/bash
# The permission script against a local user who owns a folder above the helper and swaps the helper's
# folder for one of their own as fast as they can, while root runs the script 100 times: the user's file
# never gets the capability. A helper whose every folder is root's does get it.
# usage: permission-race.sh BPF_Permission.sh.in   (needs root; exits 77, skipped, otherwise)
set -euo pipefail
template=$1
[ "$(id -u)" = 0 ] || { echo "needs root"; exit 77; }
command -v setcap > /dev/null || { echo "setcap is not installed"; exit 77; }

# A folder only root may change, all the way up (not /tmp, which everyone may write to).
base=
for candidate in /run /var/lib /root; do
  if [ -d "$candidate" ] && [ "$(stat -c %u "$candidate")" = 0 ] && [ $((0$(stat -c %a "$candidate") & 022)) = 0 ]; then
    base=$candidate
    break
  fi
done
[ -n "$base" ] || { echo "no root-only folder to work in"; exit 77; }
work=$(mktemp -d "$base/tidemark-race.XXXXXX")
attacker=
cleanup() {
  status=$?
  if [ -n "$attacker" ]; then
    kill "$attacker" 2> /dev/null || true
    wait "$attacker" 2> /dev/null || true
  fi
  rm -rf "$work"
  exit "$status"
}
trap cleanup EXIT
chmod 755 "$work"

script_for() {  # helper path -> a script for it
  sed "s|@TIDEMARK_HELPER_PATH@|$1|" "$template" > "$work/$2"
  chmod 755 "$work/$2"
}

# The control: every folder root's.
mkdir -p "$work/good/lib/tidemark"
cp /bin/true "$work/good/lib/tidemark/tidemark-capture"
script_for "$work/good/lib/tidemark/tidemark-capture" good.sh
output=$("$work/good.sh") || true
[ -z "$output" ] || { echo "FAIL: the script failed on a root-only layout: $output"; exit 1; }
getcap "$work/good/lib/tidemark/tidemark-capture" | grep -q cap_net_raw || { echo "no capability set"; exit 1; }

# The attack: the user owns $user; the helper's folder is root's, the user's swaps in and out beside it.
user=$work/user
mkdir -p "$user/lib/tidemark" "$user/fake/tidemark"
cp /bin/true "$user/lib/tidemark/tidemark-capture"
cp /bin/true "$user/fake/tidemark/tidemark-capture"
chown -R 65534:65534 "$user/fake"
chown 65534:65534 "$user"
script_for "$user/lib/tidemark/tidemark-capture" race.sh
# Atomic exchanges (renameat2), so that the path always names one of the two files.
setpriv --reuid=65534 --regid=65534 --clear-groups /usr/bin/python3 -c "
import ctypes, os
libc = ctypes.CDLL(None, use_errno=True)
os.chdir('$user')
while True:
    libc.renameat2(-100, b'lib', -100, b'fake', 2)" &
attacker=$!

refused=0
for _ in $(seq 100); do
  if ! output=$("$work/race.sh"); then
    refused=$((refused + 1))
  fi
  for file in "$user"/*/tidemark/tidemark-capture; do
    if [ "$(stat -c %u "$file")" != 0 ] && getcap "$file" | grep -q cap_net_raw; then
      echo "FAIL: the user's own file got the capability"
      exit 1
    fi
  done
done
case $output in
  *"does not belong to root"*) ;;
  *) echo "FAIL: unexpected refusal: $output"; exit 1 ;;
esac
[ "$refused" = 100 ] || { echo "FAIL: the script ran on a user's folder $((100 - refused)) times"; exit 1; }
echo "100 runs against the swapping user: refused every time, no capability given"
