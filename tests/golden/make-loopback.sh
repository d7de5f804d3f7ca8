#!/usr/bin/env bash
# Captures a little real traffic on the loopback of a network namespace of its own (so nothing else is on
# the wire): pings over IPv4 and IPv6, UDP from port 8801, and a TCP connection with data and a close.
# Needs root, tcpdump and python3. Run by hand; the file is committed.
set -euo pipefail
out=$(cd "$(dirname "$0")" && pwd)/loopback.pcap
exec unshare --net bash -s "$out" <<'INNER'
set -euo pipefail
ip link set lo up
tcpdump -q -U -i lo -w "$1" 2>/dev/null &
pid=$!
sleep 1
ping -c 2 -i 0.2 127.0.0.1 > /dev/null
ping -6 -c 1 ::1 > /dev/null
python3 - <<'PY'
import socket, threading
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind(('127.0.0.1', 8801))
for payload in (b'media 1', b'media 2'):
    s.sendto(payload, ('127.0.0.1', 40000))
server = socket.socket(socket.AF_INET6, socket.SOCK_STREAM)
server.bind(('::1', 5555))
server.listen(1)
def serve():
    conn, _ = server.accept()
    conn.sendall(conn.recv(100).upper())
    conn.close()
t = threading.Thread(target=serve)
t.start()
c = socket.create_connection(('::1', 5555))
c.sendall(b'hello tidemark')
c.recv(100)
c.close()
t.join()
PY
sleep 1
kill -INT $pid
wait $pid || true
INNER
