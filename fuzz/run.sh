#!/usr/bin/env bash
# Builds the fuzz targets with clang, AddressSanitizer and UndefinedBehaviorSanitizer, and runs each
# for a number of executions (default 10 million) on a copy of the seed corpus.
# usage: fuzz/run.sh [RUNS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-10000000}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(FrameFuzzer FrameReuseFuzzer MakeDataFuzzer RecordsFuzzer CaptureFileFuzzer AppTextFuzzer)
build_dir=${BUILD_DIR:-build-fuzz}
bash scripts/install-deps.sh
if ! command -v clang++ > /dev/null || ! dpkg-query -W -f='${Status}' libclang-rt-14-dev 2>/dev/null | grep -q "ok installed"; then
  if [ "$(id -u)" -ne 0 ]; then sudo apt-get install -y -q clang libclang-rt-14-dev; else apt-get install -y -q clang libclang-rt-14-dev; fi
fi
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTIDEMARK_FUZZ=ON -DTIDEMARK_BUILD_TESTS=OFF -DTIDEMARK_BUILD_BENCHMARKS=OFF > /dev/null
cmake --build "$build_dir" --target "${targets[@]}"
for target in "${targets[@]}"; do
  case $target in
    FrameFuzzer) seeds=fuzz/corpus/frame ;;
    FrameReuseFuzzer) seeds=fuzz/corpus/framereuse ;;
    MakeDataFuzzer) seeds=fuzz/corpus/makedata ;;
    RecordsFuzzer) seeds=fuzz/corpus/records ;;
    CaptureFileFuzzer) seeds=fuzz/corpus/capturefile ;;
    AppTextFuzzer) seeds=fuzz/corpus/apptext ;;
  esac
  work="$build_dir/corpus-$target"
  mkdir -p "$work"
  cp -n "$seeds"/* "fuzz/regressions/${target%Fuzzer}"/* "$work"/ 2>/dev/null || true
  echo "== $target: $runs runs"
  QT_QPA_PLATFORM=offscreen "$build_dir/fuzz/$target" -runs="$runs" -max_len=2048 -print_final_stats=1 \
    -artifact_prefix="$build_dir/$target-" "$work" 2>&1 | grep -E "stat::|Done|cov:|ERROR|SUMMARY|crash-|leak-|timeout-" | tail -12 || true
done
