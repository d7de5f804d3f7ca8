#!/usr/bin/env bash
# Checks the Debian packages that scripts/package.sh built: their files and control fields, the debug
# symbols apart, the maintainer scripts and debconf question, the desktop entry and AppStream metadata, and
# lintian (no errors, no warnings).
# usage: packaging/check-package.sh [BUILD_DIR]   (default build-package)
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-package}
app=$(ls "$dir"/tidemark_*.deb)
dev=$(ls "$dir"/libzuzizavadidudazorud-dev_*.deb)
dbgsym=$(ls "$dir"/tidemark-dbgsym_*.deb)
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

contents=$(dpkg-deb --contents "$app")
for path in usr/bin/tidemark usr/bin/tmdump usr/libexec/tidemark/tidemark-capture \
            usr/libexec/tidemark/BPF_Permission.sh usr/share/tidemark/Info.json \
            usr/share/applications/org.tidemark.Tidemark.desktop \
            usr/share/icons/hicolor/scalable/apps/org.tidemark.Tidemark.svg \
            usr/share/icons/hicolor/128x128/apps/org.tidemark.Tidemark.png \
            usr/share/metainfo/org.tidemark.Tidemark.metainfo.xml \
            usr/share/polkit-1/actions/org.tidemark.Tidemark.policy \
            usr/share/man/man1/tidemark.1.gz usr/share/man/man1/tmdump.1.gz \
            usr/share/doc/tidemark/copyright usr/share/doc/tidemark/changelog.gz \
            usr/share/doc/tidemark/README.Debian; do
  grep -q " ./$path\$" <<< "$contents" || fail "tidemark lacks /$path"
done
grep -q "^-rwxr-xr-x root/root .* ./usr/libexec/tidemark/BPF_Permission.sh$" <<< "$contents" ||
  fail "the permission script is not root's and executable"
devContents=$(dpkg-deb --contents "$dev")
for path in usr/include/ZuzizavAdiduDazorud/DataStructure/Frame.h usr/include/ZuzizavAdiduDazorud/EtherCapture.h \
            usr/include/ZuzizavAdiduDazorud/logging/Logger.h usr/include/ZuzizavAdiduDazorud/Version.h \
            usr/lib/x86_64-linux-gnu/libZuzizavAdiduDazorud_decode.a \
            usr/lib/x86_64-linux-gnu/cmake/ZuzizavAdiduDazorud/ZuzizavAdiduDazorudConfig.cmake \
            usr/lib/x86_64-linux-gnu/pkgconfig/ZuzizavAdiduDazorud.pc \
            usr/share/doc/libzuzizavadidudazorud-dev/copyright; do
  grep -q " ./$path\$" <<< "$devContents" || fail "libzuzizavadidudazorud-dev lacks /$path"
done

info=$(dpkg-deb --info "$app")
depends=$(dpkg-deb --field "$app" Depends)
for dependency in libcap2-bin libpcap0.8 libqt6core6 libc6 qt6-qpa-plugins libqt6sql6-sqlite adduser debconf; do
  grep -q "$dependency" <<< "$depends" || fail "Depends lacks $dependency: $depends"
done
# Debug symbols in their own package; the archives of the -dev package without them.
grep -q "usr/lib/debug/.build-id/" <<< "$(dpkg-deb --contents "$dbgsym")" || fail "no debug symbols in tidemark-dbgsym"
[ "$(dpkg-deb --field "$app" Recommends)" = "pkexec, qt6-translations-l10n" ] || fail "Recommends is not pkexec and Qt's translations"
grep -q "libpcap-dev" <<< "$(dpkg-deb --field "$dev" Depends)" || fail "the -dev package does not depend on libpcap-dev"
for script in postinst postrm config templates; do grep -q " $script" <<< "$info" || fail "no $script"; done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
dpkg-deb --control "$app" "$work/control"
grep -q 'setcap cap_net_raw+ep "$helper"' "$work/control/postinst" || fail "postinst does not give the helper its capability"
grep -q 'dpkg-statoverride --quiet --update --add root tidemark "$1" "$helper"' "$work/control/postinst" ||
  fail "postinst does not limit the helper to the tidemark group"
grep -q "Should non-superusers be able to capture meeting streams?" "$work/control/templates" || fail "no debconf question"
dpkg-deb --extract "$dev" "$work/dev"
for archive in "$work"/dev/usr/lib/*/libZuzizavAdiduDazorud_*.a; do
  if objdump -h "$archive" | grep -q '[.]debug_info'; then fail "$(basename "$archive") keeps debug information"; fi
done
dpkg-deb --extract "$app" "$work/root"
grep -q "helper='/usr/libexec/tidemark/tidemark-capture'" "$work/root/usr/libexec/tidemark/BPF_Permission.sh" ||
  fail "the permission script does not name the installed helper"
grep -q "/usr/libexec/tidemark/BPF_Permission.sh" "$work/root/usr/share/polkit-1/actions/org.tidemark.Tidemark.policy" ||
  fail "the polkit policy does not name the permission script"

desktop-file-validate "$work/root/usr/share/applications/org.tidemark.Tidemark.desktop" || fail "desktop-file-validate"
grep -q '^Comment\[fr\]=' "$work/root/usr/share/applications/org.tidemark.Tidemark.desktop" || fail "no French comment in the desktop entry"
grep -q 'xml:lang="fr"' "$work/root/usr/share/metainfo/org.tidemark.Tidemark.metainfo.xml" || fail "no French summary in the metadata"
LANG=fr_CA.UTF-8 LC_ALL= LANGUAGE= "$work/root/usr/bin/tidemark" --help | grep -q "Afficher cette aide" ||
  fail "the program carries no French translation"
appstreamcli validate --no-net --pedantic "$work/root/usr/share/metainfo/org.tidemark.Tidemark.metainfo.xml" ||
  fail "appstreamcli validate"
if lintian --tag-display-limit 0 "$app" "$dev" "$dbgsym" 2>/dev/null | grep -E '^(E|W):'; then
  fail "lintian reports errors or warnings"
fi

[ "$failures" -eq 0 ] || exit 1
echo "packages: ok"
