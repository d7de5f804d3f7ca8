#!/usr/bin/env bash
# Times a bare libpcap read loop, a read-and-decode loop, tmdump and tcpdump over the same generated
# capture file. tcpdump runs twice: as it comes, and with TZ=UTC (without TZ it stats /etc/localtime for
# every packet).
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
cmake --build "$build_dir" --target tmdump pcap-read-loop pcap-decode-loop > /dev/null

file="$build_dir/mixed-$frames.pcap"
[ -f "$file" ] || python3 benchmarks/whole-process/make_mixed_pcap.py "$file" "$frames"

# Best wall-clock time of each reader over five rounds, the readers taking turns within a round so that
# a slow spell of the machine falls on all of them alike.
names=("bare libpcap loop" "read and decode" "tmdump -r" "tcpdump -nr" "tcpdump -nr, TZ=UTC")
commands=("$build_dir/benchmarks/pcap-read-loop $file" "$build_dir/benchmarks/pcap-decode-loop $file"
          "$build_dir/tools/tmdump -r $file" "tcpdump -nr $file" "env TZ=UTC tcpdump -nr $file")
best=()
for _ in 1 2 3 4 5; do
  for i in "${!commands[@]}"; do
    start=$(date +%s.%N)
    ${commands[$i]} > /dev/null 2>&1
    end=$(date +%s.%N)
    t=$(echo "$end - $start" | bc -l)
    if [ -z "${best[$i]:-}" ] || [ "$(echo "$t < ${best[$i]}" | bc -l)" = 1 ]; then best[$i]=$t; fi
  done
done

printf '%-22s %10s %14s\n' "reader" "seconds" "frames/s"
for i in "${!names[@]}"; do
  printf '%-22s %10.3f %14.0f\n' "${names[$i]}" "${best[$i]}" "$(echo "$frames / ${best[$i]}" | bc -l)"
done
bare=${best[0]} decode=${best[1]} ours=${best[2]} theirs=${best[3]} theirsUtc=${best[4]}
printf 'tmdump vs tcpdump:            %.2fx the frames per second\n' "$(echo "$theirs / $ours" | bc -l)"
printf 'tmdump vs tcpdump, TZ=UTC:    %.2fx the frames per second\n' "$(echo "$theirsUtc / $ours" | bc -l)"
printf 'read and decode vs bare read: %.2fx the time\n' "$(echo "$decode / $bare" | bc -l)"
printf 'tmdump vs bare read:          %.2fx the time\n' "$(echo "$ours / $bare" | bc -l)"
