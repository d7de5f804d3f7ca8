#!/usr/bin/env bash
# The capture helper's CPU while 10,000 datagrams a second that have nothing to do with a meeting reach
# the computer (DNS and NTP answers, QUIC, and a game's datagrams of random bytes on high ports), measured
# from its own user and system time over SECONDS (default 20). Needs root: it makes two network
# namespaces, "computer" (where the helper captures on every interface) and "internet".
# usage: benchmarks/helper-cpu.sh [HELPER] [SECONDS] [RATE]
set -euo pipefail
cd "$(dirname "$0")/.."
helper=${1:-build/app/tidemark-capture}
seconds=${2:-30}
rate=${3:-10000}
[ "$(id -u)" -eq 0 ] || { echo "helper-cpu.sh: needs root (network namespaces)" >&2; exit 1; }
[ -x "$helper" ] || { echo "helper-cpu.sh: no helper at $helper (build it first)" >&2; exit 1; }

computer=tidemark-bench-c-$$
internet=tidemark-bench-i-$$
cleanup() {
  [ -n "${pid:-}" ] && kill "$pid" 2> /dev/null || true
  ip netns delete "$computer" 2> /dev/null || true
  ip netns delete "$internet" 2> /dev/null || true
}
trap cleanup EXIT
ip netns add "$computer"
ip netns add "$internet"
ip link add c0 netns "$computer" type veth peer name i0 netns "$internet"
ip -n "$computer" addr add 10.250.0.2/24 dev c0
ip -n "$computer" link set c0 up
ip -n "$computer" link set lo up
ip -n "$internet" addr add 10.250.0.1/24 dev i0
ip -n "$internet" link set i0 up

ip netns exec "$computer" "$helper" < /dev/zero > "${HELPER_OUT:-/dev/null}" &
pid=$!
sleep 1
kill -0 "$pid" || { echo "helper-cpu.sh: the helper did not start" >&2; exit 1; }

ticks() { awk '{ print $14 + $15 }' "/proc/$pid/stat"; }
before=$(ticks)
ip netns exec "$internet" python3 - "$seconds" "$rate" <<'EOF'
import os, random, socket, sys, time
seconds, rate = float(sys.argv[1]), int(sys.argv[2])
random.seed(1)
def bound(port):
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.bind(("10.250.0.1", port))
    return s
dns, ntp, quic = bound(53), bound(123), bound(443)
games = [bound(27000 + i) for i in range(8)]
kinds = [
    (dns, lambda: os.urandom(2) + b"\x81\x80\x00\x01\x00\x01" + os.urandom(60)),
    (ntp, lambda: b"\x24\x02\x00\xe7" + os.urandom(44)),
    (quic, lambda: bytes([0x40 | random.randrange(64)]) + os.urandom(1199)),
    (None, lambda: os.urandom(random.randrange(40, 400))),
]
batch = max(1, rate // 100)
sent, start = 0, time.monotonic()
while time.monotonic() - start < seconds:
    for i in range(batch):
        sock, payload = kinds[i % 4]
        sock = sock or games[i % 8]
        sock.sendto(payload(), ("10.250.0.2", 50000 + i % 16))
    sent += batch
    ahead = sent / rate - (time.monotonic() - start)
    if ahead > 0:
        time.sleep(ahead)
print(f"sent {sent} datagrams in {time.monotonic() - start:.1f} s")
EOF
after=$(ticks)
hz=$(getconf CLK_TCK)
awk -v t=$((after - before)) -v hz="$hz" -v s="$seconds" -v r="$rate" 'BEGIN {
  printf "helper CPU at %d unrelated datagrams/s: %.2f%% of one core (%.2f s over %d s)\n", r, 100 * t / hz / s, t / hz, s }'
echo "helper memory: $(awk '/VmRSS/ { print $2, $3 }' "/proc/$pid/status")"
