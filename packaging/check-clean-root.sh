#!/usr/bin/env bash
# Installs the tidemark package into a clean Debian root made with debootstrap, and captures one datagram
# on lo as a normal user through the installed helper, with no prompt: the package's postinst must have
# given the helper its capability. Needs root, network access to a Debian mirror, and the packages from
# scripts/package.sh. Run by hand.
# usage: packaging/check-clean-root.sh [ROOT_DIR]   (default build-clean-root)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(realpath -m "${1:-build-clean-root}")
deb=$(ls build-package/tidemark_*.deb)
command -v debootstrap > /dev/null || apt-get install -y -q debootstrap
mounted=()
cleanup() {
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount -l "${mounted[$i]}" || true; done
}
trap cleanup EXIT

if [ ! -x "$root/usr/bin/apt-get" ]; then
  rm -rf "$root"
  debootstrap --variant=minbase bookworm "$root" http://deb.debian.org/debian
fi
for fs in proc sys dev; do
  mount --rbind "/$fs" "$root/$fs"
  mounted+=("$root/$fs")
done
cp /etc/resolv.conf "$root/etc/resolv.conf"
cp "$deb" "$root/tmp/"
chroot "$root" apt-get update -q
chroot "$root" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "/tmp/$(basename "$deb")"
chroot "$root" id ada > /dev/null 2>&1 || chroot "$root" useradd --create-home ada
echo "capabilities of the installed helper: $(chroot "$root" getcap /usr/libexec/tidemark/tidemark-capture)"

# As ada: the helper captures one datagram from port 8801 on lo (the root shares this machine's network).
out="$root/home/ada/capture.pcap"
chroot --userspec=ada:ada "$root" /usr/libexec/tidemark/tidemark-capture --interface lo > "$out" &
helper=$!
for _ in $(seq 50); do
  kill -0 $helper 2> /dev/null || break
  python3 -c 'import socket; s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM); s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1); s.bind(("127.0.0.1", 8801)); s.sendto(b"tidemark", ("127.0.0.1", 41777))'
  sleep 0.2
done
wait $helper
echo "helper exit code: $?"
chroot "$root" tmdump -r /home/ada/capture.pcap
echo "as ada, through the installed helper, with no prompt: ok"
