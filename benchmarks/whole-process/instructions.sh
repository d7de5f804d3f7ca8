#!/usr/bin/env bash
# Counts instructions with callgrind (repeatable on a shared, noisy machine): the marginal instructions
# per frame of the bare libpcap read, of reading and decoding, of tmdump's one-line output and of
# tmdump -v, each the difference between runs over FRAMES and FRAMES/10 frames of the mixed capture.
# usage: benchmarks/whole-process/instructions.sh [FRAMES]   (default 1000000; BUILD_DIR, default build)
set -euo pipefail
cd "$(dirname "$0")/../.."
frames=${1:-1000000}
small=$((frames / 10))
build_dir=${BUILD_DIR:-build}
cmake -S . -B "$build_dir" -G Ninja -DTIDEMARK_BUILD_BENCHMARKS=ON > /dev/null
cmake --build "$build_dir" --target tmdump pcap-read-loop pcap-decode-loop > /dev/null
for n in "$frames" "$small"; do
  [ -f "$build_dir/mixed-$n.pcap" ] || python3 benchmarks/whole-process/make_mixed_pcap.py "$build_dir/mixed-$n.pcap" "$n"
done

instructions() {  # command... -> total instructions
  local out
  out=$(mktemp)
  TZ=UTC valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" > /dev/null 2> "$out"
  sed -n 's/.*Collected : \([0-9]*\).*/\1/p' "$out"
  rm -f "$out"
}

names=("bare libpcap read" "read and decode" "tmdump -r" "tmdump -v -r")
programs=("$build_dir/benchmarks/pcap-read-loop" "$build_dir/benchmarks/pcap-decode-loop"
          "$build_dir/tools/tmdump -r" "$build_dir/tools/tmdump -v -r")
"$build_dir/benchmarks/pcap-decode-loop" "$build_dir/mixed-$frames.pcap" | tail -1
printf '%-20s %14s\n' "reader" "Ir per frame"
for i in "${!names[@]}"; do
  big=$(instructions ${programs[$i]} "$build_dir/mixed-$frames.pcap")
  little=$(instructions ${programs[$i]} "$build_dir/mixed-$small.pcap")
  printf '%-20s %14.1f\n' "${names[$i]}" "$(echo "($big - $little) / ($frames - $small)" | bc -l)"
  [ "$i" -eq 0 ] && bare=$(echo "($big - $little) / ($frames - $small)" | bc -l)
  [ "$i" -eq 1 ] && decode=$(echo "($big - $little) / ($frames - $small)" | bc -l)
done
printf 'read and decode / bare read: %.2f (the aim: 2 or less)\n' "$(echo "$decode / $bare" | bc -l)"
