#!/usr/bin/env python3
"""Writes a classic pcap file of mixed frames (fixed seed): mostly IPv4 UDP, also TCP, IPv6, ICMP,
ARP, IGMP, LLDP, BPDU and CDP."""
import random
import struct
import sys


def mac(rng):
    return bytes([rng.randrange(256) & 0xFE] + [rng.randrange(256) for _ in range(5)])


# Traffic comes in flows, as on a real link: a few hundred address and port pairs.
FLOWS = 256


def flow(rng):
    return rng.randrange(FLOWS)


def ipv4(rng, proto, payload, dst=None):
    f = flow(rng)
    src = bytes([10, 0, f // 16, f % 16 + 1])
    dst = dst or bytes([192, 168, 0, f % 64 + 1])
    header = struct.pack('!BBHHHBBH4s4s', 0x45, 0, 20 + len(payload), rng.randrange(65536), 0x4000, 64, proto, 0,
                         src, dst)
    return header + payload


def udp(rng):
    data = bytes(rng.randrange(256) for _ in range(rng.choice((12, 40, 160))))
    return struct.pack('!HHHH', 8801, 40000 + flow(rng), 8 + len(data), 0) + data


def tcp(rng):
    data = bytes(rng.randrange(256) for _ in range(rng.choice((0, 12, 100))))
    return struct.pack('!HHIIBBHHH', 50000 + flow(rng) % 64, 443, rng.randrange(2**32), rng.randrange(2**32),
                       0x50, rng.choice((0x10, 0x18, 0x02, 0x12)), 65535, 0, 0) + data


def ethernet(rng, ethertype, payload, dst=None):
    frame = (dst or mac(rng)) + mac(rng) + struct.pack('!H', ethertype) + payload
    return frame + bytes(max(0, 60 - len(frame)))


def ieee8023(rng, dst, llc_payload):
    frame = dst + mac(rng) + struct.pack('!H', len(llc_payload)) + llc_payload
    return frame + bytes(max(0, 60 - len(frame)))


def make_frame(rng):
    kind = rng.random()
    if kind < 0.70:
        return ethernet(rng, 0x0800, ipv4(rng, 17, udp(rng)))
    if kind < 0.82:
        return ethernet(rng, 0x0800, ipv4(rng, 6, tcp(rng)))
    if kind < 0.88:
        src = bytes.fromhex('20010db8') + bytes(11) + bytes([flow(rng) % 32 + 1])
        dst = bytes.fromhex('20010db8') + bytes(11) + bytes([0xfe])
        transport, nh = (tcp(rng), 6) if rng.random() < 0.5 else (udp(rng), 17)
        return ethernet(rng, 0x86DD, struct.pack('!IHBB', 0x60000000, len(transport), nh, 64) + src + dst + transport)
    if kind < 0.92:
        echo = struct.pack('!BBHHH', 8, 0, 0, rng.randrange(65536), rng.randrange(65536)) + bytes(range(56))
        return ethernet(rng, 0x0800, ipv4(rng, 1, echo))
    if kind < 0.95:
        arp = struct.pack('!HHBBH6s4s6s4s', 1, 0x0800, 6, 4, 1, mac(rng), bytes([10, 0, 0, 1]), bytes(6),
                          bytes([10, 0, 0, rng.randrange(2, 255)]))
        return ethernet(rng, 0x0806, arp, dst=b'\xff' * 6)
    if kind < 0.97:
        igmp = struct.pack('!BBH4s', 0x16, 0, 0, bytes([224, 0, 0, rng.randrange(1, 255)]))
        return ethernet(rng, 0x0800, ipv4(rng, 2, igmp, dst=bytes([224, 0, 0, 22])))
    if kind < 0.98:
        def tlv(t, v):
            return struct.pack('!H', (t << 9) | len(v)) + v
        lldp = (tlv(1, b'\x04' + mac(rng)) + tlv(2, b'\x05ge-0/0/1') + tlv(3, struct.pack('!H', 120)) +
                tlv(5, b'core-sw1') + tlv(7, struct.pack('!HH', 0x14, 0x14)) + tlv(0, b''))
        return ethernet(rng, 0x88CC, lldp, dst=bytes.fromhex('0180c200000e'))
    if kind < 0.99:
        bpdu = bytes.fromhex('000002027c8000001122334455000000048000665544332211800101001400020000f0000'[:70] + '00')
        return ieee8023(rng, bytes.fromhex('0180c2000000'), b'\x42\x42\x03' + bpdu)
    def cdp_tlv(t, v):
        return struct.pack('!HH', t, len(v) + 4) + v
    cdp = (b'\x02\xb4\x00\x00' + cdp_tlv(1, b'switch1') + cdp_tlv(3, b'Gi0/1') + cdp_tlv(4, struct.pack('!I', 0x28)) +
           cdp_tlv(6, b'cisco WS-C2960X') + cdp_tlv(11, b'\x01'))
    return ieee8023(rng, bytes.fromhex('01000ccccccc'), b'\xaa\xaa\x03\x00\x00\x0c\x20\x00' + cdp)


def main():
    path = sys.argv[1]
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 1_000_000
    rng = random.Random(20261207)
    with open(path, 'wb') as out:
        out.write(struct.pack('=IHHiIII', 0xa1b2c3d4, 2, 4, 0, 0, 65535, 1))
        seconds = 1_700_000_000
        for i in range(count):
            frame = make_frame(rng)
            out.write(struct.pack('=IIII', seconds + i // 1000, (i % 1000) * 1000, len(frame), len(frame)))
            out.write(frame)


if __name__ == '__main__':
    main()
