#!/usr/bin/env bash
# Installs what is missing, builds the application (and nothing of the tests) and runs it, in a window
# when there is a display, else in the terminal. Arguments go to tidemark (tidemark --help lists them).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
build_dir=${BUILD_DIR:-build-run}
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTIDEMARK_BUILD_TESTS=OFF \
  -DTIDEMARK_BUILD_BENCHMARKS=OFF > /dev/null
cmake --build "$build_dir" -j "$(nproc)" --target tidemark tidemark-capture
exec "$build_dir/app/tidemark" "$@"
