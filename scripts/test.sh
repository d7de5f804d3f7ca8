#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: once in an optimised build, then
# again built with AddressSanitizer and UndefinedBehaviorSanitizer (TIDEMARK_SKIP_SANITIZERS=1 skips that);
# builds the Debian packages and checks them; runs the logging, capture and application tests again built with
# ThreadSanitizer (TIDEMARK_SKIP_TSAN=1 skips that).
set -euo pipefail
cd "$(dirname "$0")/.."

# Each phase's time, printed at the end (and when a phase fails).
phases=()
phase_start=$SECONDS
phase() {  # name: ends the phase begun last
  phases+=("$(printf '%-40s %4d:%02d' "$1" $(((SECONDS - phase_start) / 60)) $(((SECONDS - phase_start) % 60)))")
  phase_start=$SECONDS
}
report() {
  echo "== time per phase"
  for line in "${phases[@]}"; do echo "$line"; done
  printf '%-40s %4d:%02d\n' "total" $((SECONDS / 60)) $((SECONDS % 60))
}
trap report EXIT

bash scripts/install-deps.sh --test
phase "packages"
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)

build_dir=${BUILD_DIR:-build}
cmake -S . -B "$build_dir" -G Ninja -DTIDEMARK_BUILD_TESTS=ON
cmake --build "$build_dir" -j "$jobs"
phase "build"
ctest --test-dir "$build_dir" --output-on-failure -j "$jobs"
phase "tests"

bash scripts/package.sh
bash packaging/check-package.sh
phase "Debian packages and their checks"

if [ "${TIDEMARK_SKIP_SANITIZERS:-0}" != 1 ]; then
  sanitize_dir=${SANITIZE_BUILD_DIR:-build-sanitize}
  cmake -S . -B "$sanitize_dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTIDEMARK_SANITIZE=ON \
    -DTIDEMARK_BUILD_TESTS=ON -DTIDEMARK_BUILD_BENCHMARKS=OFF
  cmake --build "$sanitize_dir" -j "$jobs"
  phase "build with ASan+UBSan"
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir "$sanitize_dir" --output-on-failure -j "$jobs"
  phase "tests with ASan+UBSan"
fi

if [ "${TIDEMARK_SKIP_TSAN:-0}" != 1 ]; then
  tsan_dir=${TSAN_BUILD_DIR:-build-tsan}
  cmake -S . -B "$tsan_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTIDEMARK_TSAN=ON \
    -DTIDEMARK_BUILD_TESTS=ON -DTIDEMARK_BUILD_BENCHMARKS=OFF
  tsan_tests=(logging_tests capture_tests app_tests hostile_tests app_capture_tests)
  cmake --build "$tsan_dir" -j "$jobs" --target "${tsan_tests[@]}" tidemark-capture
  phase "build with TSan"
  # Suppressions cover Qt's (and the test servers') uninstrumented internals only; see the file. The
  # helper runs as nobody in some tests and reads them too, so they go where every user can read them
  # (the checkout may be in a folder only its owner can enter).
  suppressions=$(mktemp -d)
  trap 'rm -rf "$suppressions"; report' EXIT
  chmod 755 "$suppressions"
  install -m 644 tests/tsan.supp "$suppressions/tsan.supp"
  # One process per test: once a QProcess has started a program, ThreadSanitizer no longer sees the
  # process's mutexes (Qt starts children with a raw clone it cannot follow), and would report every
  # later hand-over between threads as a race.
  export TSAN_OPTIONS="suppressions=$suppressions/tsan.supp halt_on_error=1 second_deadlock_stack=1"
  for tests in "${tsan_tests[@]}"; do
    parallel=$jobs
    case $tests in *capture*) parallel=1 ;; esac  # the loopback interface and port 8801 are shared
    "$tsan_dir/tests/$tests" --gtest_list_tests | awk '/^[^ ]/ { suite = $1 } /^  / { print suite $1 }' |
      xargs -P "$parallel" -I{} sh -c 'out=$("$0" --gtest_filter="$1" 2>&1) || { printf "%s\n" "$out"; exit 255; }' \
        "$tsan_dir/tests/$tests" {}
  done
  phase "tests with TSan"
fi
