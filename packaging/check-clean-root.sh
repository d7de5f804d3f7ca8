#!/usr/bin/env bash
# Installs the packages from scripts/package.sh into a clean Debian root (debootstrap, minbase) the way an
# administrator would, and checks who may capture:
#  1. apt install --no-install-recommends, with the debconf answer "no": a user outside the tidemark group is
#     told to ask for the group, a member captures a datagram on lo with no prompt, and the window's
#     platform plugin is there (tidemark --version on the offscreen platform);
#  2. dpkg-reconfigure to "yes": every user captures;
#  3. the helper's folder on ramfs, which keeps no file capabilities: the helper becomes setuid root for the
#     tidemark group and captures for a member alone;
#  4. purge leaves no override behind, and removes the group it made;
#  5. a tidemark group made before (not a system group) is used with a note, and purge keeps it.
# Needs root and access to a Debian mirror (debootstrap's default, or DEBOOTSTRAP_MIRROR). Run by hand.
# usage: packaging/check-clean-root.sh [ROOT_DIR]   (default build-clean-root)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(realpath -m "${1:-build-clean-root}")
app=$(ls build-package/tidemark_*.deb)
command -v debootstrap > /dev/null || apt-get install -y -q debootstrap
mounted=()
cleanup() {
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount -l "${mounted[$i]}" || true; done
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
in_root() { chroot "$root" "$@"; }
as() { local user=$1; shift; chroot "$root" runuser -u "$user" -- "$@"; }

if [ ! -x "$root/usr/bin/apt-get" ]; then
  rm -rf "$root"
  debootstrap --variant=minbase bookworm "$root" ${DEBOOTSTRAP_MIRROR:+"$DEBOOTSTRAP_MIRROR"}
fi
for fs in proc sys dev; do
  mount --rbind "/$fs" "$root/$fs"
  mounted+=("$root/$fs")
done
cp /etc/resolv.conf "$root/etc/resolv.conf"
cp "$app" "$root/tmp/"
package=/tmp/$(basename "$app")
helper=/usr/libexec/tidemark/tidemark-capture
for user in ada bob; do in_root id "$user" > /dev/null 2>&1 || in_root useradd --create-home "$user"; done

# Captures one connectivity check to port 3478 on lo as USER through the installed helper; prints its exit code.
capture() {
  local user=$1
  as "$user" sh -c "$helper --interface lo --count 1 > /tmp/capture-$user.out 2> /tmp/capture-$user.err < /dev/zero" &
  local runner=$!
  for _ in $(seq 30); do
    kill -0 $runner 2> /dev/null || break
    python3 -c 'import socket; s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM); s.sendto(bytes.fromhex("000100002112a442000102030405060708090a0b"), ("127.0.0.1", 3478))'
    sleep 0.3
  done
  wait $runner && echo 0 || echo $?
}

echo "== 1. --no-install-recommends, only the tidemark group may capture"
in_root apt-get update -q
echo "tidemark tidemark/allow-users boolean false" | in_root debconf-set-selections
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$package"
in_root adduser --quiet bob tidemark
echo "helper: $(in_root stat -c '%U:%G %a' "$helper"), $(in_root getcap "$helper")"
[ "$(in_root stat -c '%U:%G %a' "$helper")" = "root:tidemark 754" ] || fail "the helper is not root:tidemark 0754"
[ "$(capture bob)" = 0 ] || fail "bob, in the group, cannot capture: $(cat "$root/tmp/capture-bob.err")"
[ "$(capture ada)" != 0 ] || fail "ada, outside the group, captured"
told=$(as ada env QT_QPA_PLATFORM=offscreen timeout 4 tidemark --terminal --interface lo < /dev/null || true)
grep -q "ask an administrator to add you to the tidemark group\|Ask an administrator to add you to the tidemark group" <<< "$told" ||
  fail "ada is not told about the group: $told"
version=$(as ada env QT_QPA_PLATFORM=offscreen tidemark --version) || true
[ "$version" = "Tidemark 0.1.0" ] || fail "tidemark --version with --no-install-recommends: $version"

echo "== 2. every user may capture"
echo "tidemark tidemark/allow-users boolean true" | in_root debconf-set-selections
in_root env DEBIAN_FRONTEND=noninteractive dpkg-reconfigure tidemark
echo "helper: $(in_root stat -c '%U:%G %a' "$helper"), $(in_root getcap "$helper")"
[ "$(capture ada)" = 0 ] || fail "ada cannot capture: $(cat "$root/tmp/capture-ada.err")"

echo "== 3. no file capabilities (ramfs): setuid root for the group"
echo "tidemark tidemark/allow-users boolean false" | in_root debconf-set-selections
mount -t ramfs ramfs "$root/usr/libexec/tidemark"
mounted+=("$root/usr/libexec/tidemark")
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --reinstall --no-install-recommends "$package"
echo "helper: $(in_root stat -c '%U:%G %a' "$helper")"
[ "$(in_root stat -c '%U:%G %a' "$helper")" = "root:tidemark 4754" ] || fail "the helper is not setuid root:tidemark 4754"
[ "$(capture bob)" = 0 ] || fail "bob cannot capture through the setuid helper: $(cat "$root/tmp/capture-bob.err")"
[ "$(capture ada)" != 0 ] || fail "ada, outside the group, captured through the setuid helper"
umount "$root/usr/libexec/tidemark"
unset 'mounted[${#mounted[@]}-1]'

echo "== 4. purge"
in_root env DEBIAN_FRONTEND=noninteractive apt-get purge -y -q tidemark
[ -z "$(in_root dpkg-statoverride --list "$helper")" ] || fail "an override is left behind"
[ ! -e "$root/var/lib/tidemark" ] || fail "/var/lib/tidemark is left behind"
! in_root getent group tidemark > /dev/null || fail "the tidemark group the package made is left behind"

echo "== 5. a tidemark group that was there before: used with a note, and kept by purge"
in_root groupadd --gid 1500 tidemark
in_root adduser --quiet bob tidemark
installed=$(in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$package" 2>&1) ||
  fail "install with an existing group: $installed"
grep -q "using the tidemark group that already exists" <<< "$installed" || fail "no note about the existing group: $installed"
[ "$(in_root dpkg-query -W -f='${db:Status-Status}' tidemark)" = installed ] || fail "tidemark is not configured"
[ "$(capture bob)" = 0 ] || fail "bob, in the existing group, cannot capture: $(cat "$root/tmp/capture-bob.err")"
in_root env DEBIAN_FRONTEND=noninteractive apt-get purge -y -q tidemark
[ "$(in_root getent group tidemark | cut -d: -f3,4)" = "1500:bob" ] || fail "purge removed or changed a group it did not make"
in_root groupdel tidemark

[ "$failures" -eq 0 ] || exit 1
echo "clean root: ok"
