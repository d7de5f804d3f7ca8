#!/usr/bin/env bash
# Installs the Debian packages Tidemark needs to build and run; with --test, also those the tests and the
# packages need.
# Does nothing when everything is already present; uses sudo only when not root.
set -euo pipefail

# What building and running need (scripts/run.sh). Not Qt's translation tools: with their CMake package
# they bring 20 packages, 127 MB installed (libclang for lupdate, Qt Designer, Assistant and QML), and the
# build uses the compiled translations kept in the tree instead.
packages=(
  build-essential cmake ninja-build pkg-config
  libpcap-dev libcurl4-openssl-dev qtkeychain-qt6-dev libqt6sql6-sqlite
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins qt6-translations-l10n
  libcap2-bin
)
# What the tests and the packages need besides (scripts/test.sh, scripts/package.sh): --test. The
# translation tools compile the translations from their sources and check that they are complete.
if [ "${1:-}" = --test ]; then
  packages+=(
    qt6-l10n-tools qt6-tools-dev
    googletest libgtest-dev libgmock-dev libbenchmark-dev libcpp-httplib-dev python3
    iproute2 iputils-ping util-linux tcpdump binutils
    dpkg-dev debhelper po-debconf lintian desktop-file-utils appstream git
    dbus gnome-keyring
  )
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

[ ${#missing[@]} -eq 0 ] && exit 0

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi

echo "Installing: ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
