#!/usr/bin/env python3
"""Writes the golden capture files of made frames: every protocol the library decodes, every message kind,
and the malformed and cut-short cases, one file per link type. Run by hand; the files are committed, and
tmdump's texts of them (tests/golden/*.txt) must not change unless a change means to change them.
usage: tests/golden/make-frames.py"""
import os
import struct

here = os.path.dirname(os.path.abspath(__file__))


def h(text):
    return bytes.fromhex(text.replace(' ', '').replace('\n', ''))


def pcap(name, linktype, frames):
    out = struct.pack('<IHHiIII', 0xa1b2c3d4, 2, 4, 0, 0, 65535, linktype)
    for i, frame in enumerate(frames):
        out += struct.pack('<IIII', 1700000000 + i, 1000 * i, len(frame), max(len(frame), 60))
        out += frame
    with open(os.path.join(here, name), 'wb') as f:
        f.write(out)


MACS = h('020000000001 020000000002')


def eth(ethertype, payload):
    return MACS + struct.pack('!H', ethertype) + payload


def ipv4(proto, payload, src='0a000001', dst='0a000002', flags_offset=0x4000, ihl=5, options=b'', total=None):
    header_len = ihl * 4
    total = total if total is not None else header_len + len(payload)
    header = struct.pack('!BBHHHBBH', 0x40 | ihl, 0xb8, total, 0x1234, flags_offset, 64, proto, 0xbeef)
    return header + h(src) + h(dst) + options + payload


def ipv6(next_header, payload, src='fe800000000000000000000000000001', dst='ff020000000000000000000000000001',
         length=None):
    length = length if length is not None else len(payload)
    return struct.pack('!IHBB', 0x6a0cdef1, length, next_header, 255) + h(src) + h(dst) + payload


def icmp4(type_, code, rest):
    return struct.pack('!BBH', type_, code, 0xabcd) + rest


def icmp6(type_, code, rest):
    return struct.pack('!BBH', type_, code, 0x1234) + rest


UDP = h('1f41 0050 0010 0000') + b'tidemark'
TCP_SYN = h('c001 01bb 00000001 00000000 a002 ffff 1234 0000') + h('020405b4 0402 080a 00000001 00000000 01 030307')
IPHDR_SAMPLE = h('4500 001c 0001 0000 4011 0000 0a000001 0a000002') + h('1f41 0050 0008 0000')

ethernet = [
    # The library's sample frames.
    h('685b35890a04c869cd2c0d500800450000341c46400040069d13c0a80010c0a8000ac001de7e2d3a1e6b8f6a2c11801008040a2c'
      '00000101080a0011a2b33c4d5e6f'),
    h('01005e0000fbc869cd2c0d5008004500005f3a210000ff11dfa5c0a80023e00000fb14e914e9004b0a7e000084000000000100000000'
      '055f68747470045f746370056c6f63616c00000c000100001194001b184f6666696365205072696e746572206f6e204465736b2032'
      'c00c'),
    h('b07fb95d8ed2685b35890a040800450000546b2f000040010000c0a8000a04020201080030b3138500005f6a1b2c000d4e2108090a0b'
      '0c0d0e0f101112131415161718191a1b1c1d1e1f202122232425262728292a2b2c2d2e2f3031323334353637'),
    h('b07fb95d8ed2685b35890a0486dd6000000000183afffe800000000000001867ff5dd25bad67fe80000000000000b27fb9fffe5d8ed2'
      '8800136940000000fe800000000000001867ff5dd25bad67'),
    # TCP and UDP.
    eth(0x0800, ipv4(6, TCP_SYN)),
    eth(0x0800, ipv4(6, h('01bb c001 00000010 00000002 5019 0100 0000 0000') + b'bye')),
    eth(0x0800, ipv4(6, h('01bb c001 0000'))),                      # TCP cut short
    eth(0x0800, ipv4(17, UDP)),
    eth(0x0800, ipv4(17, h('1f41 0050 0030 0000') + b'x')),       # UDP length says more
    eth(0x0800, ipv4(17, h('1f41 0050'))),                          # UDP cut short
    # IPv4 corners: options, padding, later fragment, wrong version, bad header length, total length lies.
    eth(0x0800, ipv4(17, UDP, ihl=6, options=h('94040000'))),
    eth(0x0800, ipv4(17, UDP) + bytes(10)),
    eth(0x0800, ipv4(1, icmp4(8, 0, h('0001 0001') + b'abcd'), flags_offset=0x20b9)),
    eth(0x0800, h('6500 001c 0001 0000 4011 0000 0a000001 0a000002') + bytes(8)),
    eth(0x0800, h('4300 001c 0001 0000 4011 0000 0a000001 0a000002') + bytes(8)),
    eth(0x0800, ipv4(17, UDP, total=200)),
    # ICMPv4: every kind.
    *[eth(0x0800, ipv4(1, icmp4(t, c, rest))) for t, c, rest in [
        (0, 0, h('1385 0007') + b'ping'), (8, 0, h('1385 0008')), (8, 1, h('1385 0008')),
        *[(3, code, h('0000 0000') + IPHDR_SAMPLE) for code in (0, 1, 2, 3, 4, 5, 9)],
        (3, 3, h('0008 0000') + IPHDR_SAMPLE), (4, 0, h('00000000') + IPHDR_SAMPLE),
        *[(5, code, h('c0a80001') + IPHDR_SAMPLE) for code in (0, 1, 2, 3, 4)],
        (11, 0, h('00000000') + IPHDR_SAMPLE), (11, 1, h('00000000')), (11, 2, h('00000000')),
        (12, 0, h('14000000') + IPHDR_SAMPLE), (13, 0, h('0001 0002 00000001 00000002 00000003')),
        (14, 0, h('0001 0002 00000001 00000002 00000003')), (13, 0, h('0001 0002 00000001')),
        (15, 0, h('0001 0002')), (16, 0, h('0001 0002')), (17, 0, h('0001 0002 ffffff00')),
        (18, 0, h('0001 0002 ffff0000')), (42, 3, b''), (0, 0, h('13')),
    ]],
    # IGMP: v1, v2, v3 queries and reports, leave, unknown; a v3 report cut in a record.
    *[eth(0x0800, ipv4(2, payload, dst='e0000001')) for payload in [
        h('1100 eeff 00000000'), h('1164 ee9b 00000000'), h('1164 ee9b e00000fb'), h('1200 0000 e00000fb'),
        h('1600 0000 e00000fb'), h('1700 0000 e00000fb'), h('1300 0000 00000000'),
        h('1180 ee9b e00000fb 0a8c 0002 c0a80001 c0a80002'), h('1164 ee9b 00000000 0000 0002'),
        h('2200 f4f5 0000 0002 04 00 0000 ef010101 05 01 0002 ef020202 0a000001 0a000002 deadbeef'),
        h('2200 f4f5 0000 0002 04 00 0000 ef010101 05 00 0002 ef020202 0a000001'),
    ]],
    # ICMPv6: every kind, neighbour discovery with every option, MLD behind hop-by-hop.
    *[eth(0x86dd, ipv6(58, icmp6(t, c, rest))) for t, c, rest in [
        *[(1, code, h('00000000') + b'data') for code in (0, 1, 2, 3, 4, 5, 6, 9)],
        (2, 0, h('000005dc') + b'data'), (3, 0, h('00000000')), (3, 1, h('00000000')), (3, 5, h('00000000')),
        *[(4, code, h('00000028') + b'x') for code in (0, 1, 2, 7)],
        (128, 0, h('0007 0001') + b'ping'), (129, 0, h('0007 0001')), (128, 2, h('0007 0001')),
        (135, 0, h('00000000') + h('fe800000000000000000000000000002') + h('01 01 020000000001')),
        (136, 0, h('60000000') + h('fe800000000000000000000000000002') + h('02 01 020000000002')),
        (136, 0, h('e0000000') + h('fe800000000000000000000000000002')),
        (137, 0, h('00000000') + h('fe800000000000000000000000000003') + h('20010db8000000000000000000000001')
         + h('03 04 40 c0 00278d00 00093a80 00000000 20010db8000000000000000000000000')
         + h('05 01 0000 000005dc') + h('04 01 000000000000') + h('7f 01 000000000000') + h('01 00 0000')),
        (137, 0, h('00000000') + h('fe800000000000000000000000000003')),
        (134, 0, h('40 00 0708 00000000 00000000')), (135, 0, h('00000000')),
        (135, 0, h('00000000') + h('fe800000000000000000000000000002') + h('03 03 40c0')),
    ]],
    eth(0x86dd, ipv6(0, h('3a00 0502 0000 0100') + icmp6(131, 0, h('0000 0000') + h('ff0200000000000000000001ffa48ad8')),
                     src='00000000000000000000000000000000')),
    eth(0x86dd, ipv6(0, h('3a00 0502 0000 0100') + icmp6(143, 0, h('0000 0001') + h('04 00 0000 ff0200000000000000000001ff680001')))),
    eth(0x86dd, ipv6(0, h('3a00 0502 0000 0100') + icmp6(130, 0, h('2710 0000') + bytes(16)))),
    eth(0x86dd, ipv6(0, h('3a00 0502 0000 0100') + icmp6(132, 0, h('0000 0000') + h('ff0200000000000000000001ff680001')))),
    # IPv6 extension headers: routing, fragments, destination options, ESP, no next header, too many, cut.
    eth(0x86dd, ipv6(43, h('1102 0401 00000000') + bytes(16) + UDP)),
    eth(0x86dd, ipv6(44, h('1100 0001 12345678') + UDP)),
    eth(0x86dd, ipv6(44, h('1100 05c9 12345678') + UDP)),
    eth(0x86dd, ipv6(60, h('3200 0100 00000000') + h('deadbeef'))),
    eth(0x86dd, ipv6(0, h('3b00 0100 00000000 0102'))),
    eth(0x86dd, ipv6(0, h('0000 0000 00000000') * 10)),
    eth(0x86dd, ipv6(0, h('1101 0100 00000000'))),
    eth(0x86dd, ipv6(17, UDP, length=60)),
    eth(0x86dd, h('4a0c def1 0010 1140') + bytes(32)),
    eth(0x86dd, bytes(20)),
    # ARP and RARP, IEEE 802 and InfiniBand addresses, refusals.
    eth(0x0806, h('0001 0800 06 04 0001 001122334455 0a000001 000000000000 0a000002') + bytes(18)),
    eth(0x0806, h('0001 0800 06 04 0002 001122334455 0a000001 665544332211 0a000002')),
    eth(0x8035, h('0001 0800 06 04 0003 020000000002 00000000 020000000002 00000000')),
    eth(0x0806, h('0006 0800 06 04 0004 001122334455 0a000001 665544332211 0a000002')),
    eth(0x0806, h('0020 0800 14 04 0001') + bytes(20) + h('0a000001') + bytes(20) + h('0a000002')),
    eth(0x0806, h('0001 0800 06 04 0005 001122334455 0a000001 665544332211 0a000002')),
    eth(0x0806, h('0001 86dd 06 04 0001 001122334455 0a000001 665544332211 0a000002')),
    eth(0x0806, h('0001 0800 06 04 0001 0011')),
    # Spanning tree: rapid (padded), configuration (unpadded), notification (padded), too short.
    h('0180c2000000001122334455 0027 424203 0000 02 02 7c 8000001122334455 00000004 8000665544332211 8001 0100 1400'
      '0200 0f00 00 00000000000000'),
    h('0180c2000000001122334455 0026 424203 0000 00 00 81 8000001122334455 00000004 8000665544332211 8001 0000 1400'
      '0200 0f00'),
    h('0180c2000000001122334455 0007 424203 0000 00 80') + bytes(39),
    h('0180c2000000001122334455 0010 424203 0000 02 02 7c 8000001122334455'),
    # CDP, with a device id that carries control characters.
    h('01000ccccccc0011223344550094aaaa0300000c200002b4000000010013737769746368312e6578616d706c6500020011000000010'
      '101cc0004c0a80001000300164769676162697445746865726e6574302f31000400080000002800050028436973636f20494f5320'
      '536f6674776172652c2056657273696f6e2031352e322837294500060013636973636f2057532d433239363058000a00060001000b'
      '000501'),
    h('01000ccccccc001122334455 002e aaaa03 00000c 2000 02b40000 0001000a73770a1b5d30 0006000acebbceb1cf8c'
      '000b000501 0012000501 0013000500 0099000401'),
    h('01000ccccccc001122334455 0010 aaaa03 00000c 2000 02b40000 0001000a73'),
    # LLDP, with a system name that would set the terminal's clipboard.
    h('0180c200000e00112233445588cc02070400112233445504090567652d302f302f31060200780a08636f72652d7377310c0e457861'
      '6d706c65204f5320312e300e0400140014100c05010a000001020000000300fe060080c20100640000'),
    h('0180c200000e00112233445588cc 0207 04 001122334455 0409 05 6574683009c3a900 0602 0078 0a0b 1b5d35323b633b5a6d0707'
      '1018 11 02 20010db8000000000000000000000001 02 00000007 00 fe08 0012bb 01 01020304 0e04 1800 0800 0000 0000'),
    h('0180c200000e00112233445588cc 0207 04 001122334455 0430 05 6574'),
    # Link-layer corners: VLANs, SNAP carrying IPv4, another LLC, an unknown ethertype, a short frame.
    MACS + h('8100 2064 0800') + ipv4(17, UDP),
    MACS + h('88a8 00c8 8100 3064 86dd') + ipv6(17, UDP),
    MACS + h('8100 0001 8100 0002 8100 0003 0800') + ipv4(17, UDP),
    MACS + h('0024 aaaa03 000000 0800') + ipv4(17, UDP)[:28],
    MACS + h('0010 f0f003 0102030405060708 090a0b0c0d'),
    MACS + h('88b5 0102030405'),
    h('0102030405060708090a0b0c0d0e0f1011'),
]

sll = [
    h('0000 0001 0006 02000000000a 0000 0800') + ipv4(17, UDP),
    h('0004 fffe 0000 0000000000000000 86dd') + ipv6(17, UDP),
    h('0001 0001 0006 0180c2000000 0000 0004 424203 0000 00 80'),
    h('0003 0001 0006 02000000000a 0000 0806 0001 0800 06 04 0001 001122334455 0a000001 000000000000 0a000002'),
    h('0000 0001 0006 02000000000a 0000 8100 2064 0800') + ipv4(17, UDP),
    h('0000 0338 0000 0000000000000000 0010 0102030405'),
    h('0000 0001 0006 02000000'),
]
sll2 = [
    h('0800 0000 00000003 0001 00 06 02000000000a 0000') + ipv4(17, UDP),
    h('86dd 0000 00000002 0001 04 06 020000000001 0000') + ipv6(58, icmp6(128, 0, h('0001 0001'))),
    h('0800 0000 00000003 0001 00 06 02000000'),
]
raw = [ipv4(17, UDP), ipv6(6, h('c001 01bb 00000001 00000000 5002 ffff 1234 0000')), h('5500 0000'), ipv4(1, h('0800'))]
null = [h('02000000') + ipv4(17, UDP), h('0000001e') + ipv6(17, UDP), h('18000000') + ipv6(17, UDP),
        h('63000000 0102'), h('0200')]

pcap('made-ethernet.pcap', 1, ethernet)
pcap('made-linux-cooked.pcap', 113, sll)
pcap('made-linux-cooked-v2.pcap', 276, sll2)
pcap('made-raw-ip.pcap', 101, raw)
pcap('made-bsd-loopback.pcap', 0, null)
print('%d frames' % (len(ethernet) + len(sll) + len(sll2) + len(raw) + len(null)))
