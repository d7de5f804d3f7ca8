#!/usr/bin/env bash
# Makes the real captures under tests/data/ with the kernel's own protocol stacks, in network namespaces
# of its own (needs root, tcpdump, iproute2 and python3). Run by hand; the files are committed.
#   fragmented-ping.pcap  a 3000-byte ping over a 1500-byte MTU: three IPv4 fragments each way
#   mld.pcap              MLDv2 and MLDv1 reports behind hop-by-hop options, sent as an interface comes up
#   igmp.pcap             an IGMPv3 report with two group records answering a general query, and an
#                         IGMPv1 report
#   stp.pcap              spanning-tree configuration BPDUs and a topology change notification between
#                         two bridges
set -euo pipefail
out=$(cd "$(dirname "$0")" && pwd)
a=tmcap-a b=tmcap-b
cleanup() { ip netns del $a 2>/dev/null || true; ip netns del $b 2>/dev/null || true; }
trap cleanup EXIT
cleanup
ip netns add $a
ip netns add $b

capture() {  # namespace interface file filter... -- run the rest while capturing
  local ns=$1 dev=$2 file=$3
  shift 3
  local filter=()
  while [ "$1" != "--" ]; do filter+=("$1"); shift; done
  shift
  ip netns exec "$ns" tcpdump -q -U -i "$dev" -w "$out/$file" "${filter[@]}" 2>/dev/null &
  local pid=$!
  sleep 1
  "$@"
  sleep 2
  kill -INT $pid
  wait $pid || true
}

# Fragmented ping on a loopback with an Ethernet-sized MTU.
ip -n $a link set lo mtu 1500 up
capture $a lo fragmented-ping.pcap icmp -- ip netns exec $a ping -c 1 -s 3000 127.0.0.1 > /dev/null

# MLD: the reports a host sends for its solicited-node groups when an interface comes up.
ip -n $a link add v0 type veth peer name v1 netns $b
ip -n $b link set v1 up
ip netns exec $a sysctl -q net.ipv6.conf.v0.force_mld_version=0
mld() {
  ip -n $a link set v0 up
  sleep 2
  ip -n $a link set v0 down
  ip netns exec $a sysctl -q net.ipv6.conf.v0.force_mld_version=1
  ip -n $a link set v0 up
  sleep 2
}
capture $b v1 mld.pcap "ip6 and ip6[6] == 0" -- mld

# IGMP: join two groups, answer a general query with one IGMPv3 report, then report as IGMPv1.
ip -n $a addr add 10.77.0.1/24 dev v0
ip -n $b addr add 10.77.0.2/24 dev v1
igmp() {
  ip netns exec $a python3 - <<'PY' &
import socket, struct, time
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
for group in ("239.1.1.1", "239.2.2.2"):
    s.setsockopt(socket.IPPROTO_IP, socket.IP_ADD_MEMBERSHIP,
                 socket.inet_aton(group) + socket.inet_aton("10.77.0.1"))
time.sleep(8)
PY
  local joiner=$!
  sleep 4
  # A general IGMPv3 query (with the router alert option), from the other side.
  ip netns exec $b python3 - <<'PY'
import socket, struct
def checksum(b):
    s = sum(struct.unpack("!%dH" % (len(b) // 2), b))
    s = (s >> 16) + (s & 0xffff); s += s >> 16
    return (~s) & 0xffff
query = bytearray(struct.pack("!BBH4sBBH", 0x11, 100, 0, socket.inet_aton("0.0.0.0"), 2, 125, 0))
struct.pack_into("!H", query, 2, checksum(bytes(query)))
s = socket.socket(socket.AF_INET, socket.SOCK_RAW, socket.IPPROTO_IGMP)
s.setsockopt(socket.IPPROTO_IP, socket.IP_OPTIONS, bytes([0x94, 4, 0, 0]))
s.setsockopt(socket.IPPROTO_IP, socket.IP_MULTICAST_IF, socket.inet_aton("10.77.0.2"))
s.sendto(bytes(query), ("224.0.0.1", 0))
PY
  wait $joiner
  ip netns exec $a sysctl -q net.ipv4.conf.v0.force_igmp_version=1
  ip netns exec $a python3 -c '
import socket, time
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.setsockopt(socket.IPPROTO_IP, socket.IP_ADD_MEMBERSHIP, socket.inet_aton("239.3.3.3") + socket.inet_aton("10.77.0.1"))
time.sleep(1)'
}
capture $b v1 igmp.pcap igmp -- igmp

# Spanning tree: two bridges, the second becomes non-root and reports a topology change.
ip -n $a link set v0 down
ip -n $a link add br0 type bridge forward_delay 200 hello_time 100 stp_state 1 priority 4096
ip -n $b link add br1 type bridge forward_delay 200 hello_time 100 stp_state 1 priority 32768
ip -n $a link set v0 master br0
ip -n $b link set v1 master br1
# A second port, which becomes designated: its move to forwarding is the topology change.
ip -n $b link add v2 type veth peer name v3
ip -n $b link set v2 master br1
ip -n $b link set v3 up
ip -n $a link set br0 up
ip -n $b link set br1 up
stp() {
  ip -n $b link set v2 up
  ip -n $a link set v0 up
  sleep 8
}
capture $b v1 stp.pcap stp -- stp
ls -l "$out"/*.pcap
