#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: once in the optimised build the Debian
# packages are made from (which are then checked), then again built with AddressSanitizer and
# UndefinedBehaviorSanitizer (TIDEMARK_SKIP_SANITIZERS=1 skips that), and the logging, capture and
# application tests built with ThreadSanitizer (TIDEMARK_SKIP_TSAN=1 skips that). While one build's tests
# wait on the network and on timers, the next build takes what the processor has to spare (at a lower
# priority). Each phase's time is printed at the end.
set -euo pipefail
cd "$(dirname "$0")/.."

phases=()
phase_start=$SECONDS
phase() {  # name: ends the phase begun last
  phases+=("$(printf '%-48s %4d:%02d' "$1" $(((SECONDS - phase_start) / 60)) $(((SECONDS - phase_start) % 60)))")
  phase_start=$SECONDS
}
background=()
cleanup() {
  for pid in "${background[@]}"; do kill -- "-$pid" 2> /dev/null || true; done
  [ -z "${suppressions:-}" ] || rm -rf "$suppressions"
  echo "== time per phase"
  for line in "${phases[@]}"; do echo "$line"; done
  printf '%-48s %4d:%02d\n' "total" $((SECONDS / 60)) $((SECONDS % 60))
}
trap cleanup EXIT

bash scripts/install-deps.sh --test
phase "packages"
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)

# Starts a build in the background at a lower priority (NICE), in a process group of its own, its output in
# FOLDER/build.log.
build_behind() {  # folder nice cmake-arguments... -- build-arguments...
  local dir=$1 nice=$2
  shift 2
  mkdir -p "$dir"
  # A session of its own is a scheduling group of its own (autogroup): its niceness is set there too, or
  # the build would take an equal share beside the tests.
  setsid nice -n "$nice" bash -c 'dir=$1 jobs=$2 configure=()
    echo "$3" > /proc/self/autogroup 2> /dev/null || true
    shift 3
    while [ "$1" != -- ]; do configure+=("$1"); shift; done
    shift
    cmake -S . -B "$dir" -G Ninja -DTIDEMARK_BUILD_TESTS=ON -DTIDEMARK_BUILD_BENCHMARKS=OFF "${configure[@]}" &&
      cmake --build "$dir" -j "$jobs" "$@"' build "$dir" "$jobs" "$nice" "$@" > "$dir/build.log" 2>&1 &
  background+=($!)
  builds[$dir]=$!
}
# Waits for a build started behind; its log when it failed.
wait_for_build() {  # folder
  if ! wait "${builds[$1]}"; then
    tail -60 "$1/build.log"
    echo "the build in $1 failed" >&2
    exit 1
  fi
}
declare -A builds

sanitize_dir=${SANITIZE_BUILD_DIR:-build-sanitize}
tsan_dir=${TSAN_BUILD_DIR:-build-tsan}
tsan_tests=(logging_tests capture_tests app_tests hostile_tests app_capture_tests)
sanitizers=0; [ "${TIDEMARK_SKIP_SANITIZERS:-0}" = 1 ] || sanitizers=1
tsan=0; [ "${TIDEMARK_SKIP_TSAN:-0}" = 1 ] || tsan=1

# Both sanitizer builds start now, behind the package build and the tests (which leave a processor idle
# while they compress, check or wait); the one whose tests come first has the larger share. Line tables
# (-g1) are all a sanitizer's reports need.
[ $sanitizers = 0 ] || build_behind "$sanitize_dir" 10 -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-g1 -DTIDEMARK_SANITIZE=ON --
[ $tsan = 0 ] || build_behind "$tsan_dir" 15 -DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG" -DTIDEMARK_TSAN=ON -- \
  --target "${tsan_tests[@]}" tidemark-capture
# One optimised build for the packages and the tests: dpkg-buildpackage builds the tests and benchmarks
# too (build profile pkg.tidemark.tests), and the tests run in its build tree.
package_dir=${PACKAGE_BUILD_DIR:-build-package}
TIDEMARK_PACKAGE_PROFILES=pkg.tidemark.tests bash scripts/package.sh
bash packaging/check-package.sh "$package_dir"
build_dir=$package_dir/source/obj-$(dpkg-architecture -qDEB_HOST_GNU_TYPE)
phase "build, Debian packages and their checks"

ctest --test-dir "$build_dir" --output-on-failure -j "$jobs"
phase "tests"

if [ $sanitizers = 1 ]; then
  wait_for_build "$sanitize_dir"
  phase "rest of the build with ASan+UBSan"
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir "$sanitize_dir" --output-on-failure -j "$jobs"
  phase "tests with ASan+UBSan"
fi

if [ $tsan = 1 ]; then
  wait_for_build "$tsan_dir"
  phase "rest of the build with TSan"
  # Suppressions cover Qt's (and the test servers') uninstrumented internals only; see the file. The
  # helper runs as nobody in some tests and reads them too, so they go where every user can read them
  # (the checkout may be in a folder only its owner can enter).
  suppressions=$(mktemp -d)
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
