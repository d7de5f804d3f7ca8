#!/usr/bin/env bash
# Installs what is missing, builds the application and runs it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
build_dir=${BUILD_DIR:-build}
cmake -S . -B "$build_dir" -G Ninja
cmake --build "$build_dir" -j "$(nproc)"
exec "$build_dir/app/tidemark" "$@"
