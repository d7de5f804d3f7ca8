#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: once in an optimised build, then
# again built with AddressSanitizer and UndefinedBehaviorSanitizer (TIDEMARK_SKIP_SANITIZERS=1 skips that);
# builds the Debian packages and checks them.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)

build_dir=${BUILD_DIR:-build}
cmake -S . -B "$build_dir" -G Ninja -DTIDEMARK_BUILD_TESTS=ON
cmake --build "$build_dir" -j "$jobs"
ctest --test-dir "$build_dir" --output-on-failure -j "$jobs"

bash scripts/package.sh
bash packaging/check-package.sh

if [ "${TIDEMARK_SKIP_SANITIZERS:-0}" != 1 ]; then
  sanitize_dir=${SANITIZE_BUILD_DIR:-build-sanitize}
  cmake -S . -B "$sanitize_dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTIDEMARK_SANITIZE=ON \
    -DTIDEMARK_BUILD_TESTS=ON -DTIDEMARK_BUILD_BENCHMARKS=OFF
  cmake --build "$sanitize_dir" -j "$jobs"
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir "$sanitize_dir" --output-on-failure -j "$jobs"
fi
