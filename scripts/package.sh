#!/usr/bin/env bash
# Builds the Debian packages with dpkg-buildpackage (debian/, debhelper) from a copy of the tree, into
# build-package/: tidemark, libzuzizavadidudazorud-dev and their -dbgsym packages. Two builds of one tree
# give the same packages (packaging/check-reproducible.sh checks that).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --test
dir=${PACKAGE_BUILD_DIR:-build-package}
rm -rf "$dir"
mkdir -p "$dir/source"
# The tracked files alone: nothing of a build folder or an editor gets into the package. From a source
# archive (no git), every file but the build folders.
if [ "$(git rev-parse --show-toplevel 2> /dev/null)" = "$PWD" ]; then
  git ls-files -z | xargs -0 --no-run-if-empty cp --parents -t "$dir/source"
else
  find . -mindepth 1 -maxdepth 1 ! -name 'build*' ! -name '.git' -print0 | xargs -0 --no-run-if-empty cp -a -t "$dir/source"
fi
[ -f "$dir/source/debian/control" ] || { echo "package.sh: no source files found to build from (run it from the source tree)" >&2; exit 1; }
# TIDEMARK_PACKAGE_PROFILES: build profiles, such as pkg.tidemark.tests (the tests and benchmarks too).
profiles=${TIDEMARK_PACKAGE_PROFILES:+-P$TIDEMARK_PACKAGE_PROFILES}
(cd "$dir/source" && dpkg-buildpackage -us -uc -b -j"$(nproc)" $profiles > ../build.log 2>&1) || {
  tail -40 "$dir/build.log" >&2
  exit 1
}
ls "$dir"/*.deb
