#!/usr/bin/env bash
# Times etherdump, tcpdump and a bare libpcap read loop over the same generated capture file.
# usage: benchmarks/whole-process/compare.sh [FRAMES]   (default 1000000)
set -euo pipefail
cd "$(dirname "$0")/../.."
frames=${1:-1000000}
build_dir=${BUILD_DIR:-build}
bash scripts/install-deps.sh
if ! command -v tcpdump > /dev/null; then
  if [ "$(id -u)" -ne 0 ]; then sudo apt-get install -y -q tcpdump; else apt-get install -y -q tcpdump; fi
fi
cmake -S . -B "$build_dir" -G Ninja -DTIDEMARK_BUILD_BENCHMARKS=ON > /dev/null
cmake --build "$build_dir" --target etherdump pcap-read-loop > /dev/null

file="$build_dir/mixed-$frames.pcap"
[ -f "$file" ] || python3 benchmarks/whole-process/make_mixed_pcap.py "$file" "$frames"

seconds() {  # best of three wall-clock times of a command, in seconds
  local best=
  for _ in 1 2 3; do
    local start end t
    start=$(date +%s.%N)
    "$@" > /dev/null 2>&1
    end=$(date +%s.%N)
    t=$(echo "$end - $start" | bc -l)
    if [ -z "$best" ] || [ "$(echo "$t < $best" | bc -l)" = 1 ]; then best=$t; fi
  done
  echo "$best"
}

bare=$(seconds "$build_dir/benchmarks/pcap-read-loop" "$file")
ours=$(seconds "$build_dir/tools/etherdump" -r "$file")
theirs=$(seconds tcpdump -nr "$file")

printf '%-22s %10s %14s\n' "reader" "seconds" "frames/s"
for row in "bare libpcap loop:$bare" "etherdump -r:$ours" "tcpdump -nr:$theirs"; do
  name=${row%%:*}; t=${row#*:}
  printf '%-22s %10.3f %14.0f\n' "$name" "$t" "$(echo "$frames / $t" | bc -l)"
done
printf 'etherdump vs tcpdump: %.2fx the frames per second\n' "$(echo "$theirs / $ours" | bc -l)"
printf 'etherdump vs bare read: %.2fx the time\n' "$(echo "$ours / $bare" | bc -l)"
