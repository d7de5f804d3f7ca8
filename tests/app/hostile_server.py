#!/usr/bin/env python3
"""A web service that misbehaves on purpose, as fast as it can, on 127.0.0.1.

Prints its port on the first line of standard output, then serves until killed or until its standard
input ends. Every path writes raw
bytes, so that each phase of an answer (status line, headers, body, encoding) can be made hostile.
"""
import os
import socket
import socketserver
import sys
import threading
import time
import urllib.parse
import zlib

CHUNK = b" " * (1 << 16)
GEO = (b'{"ip":"192.0.2.7","city":"Montreal","region":"Quebec","country":"CA",'
       b'"loc":"45.5088,-73.5878","org":"AS64500"}')


def gzip_zeros():
    """An endless gzip stream of zeros: about a thousand times smaller than what it decodes to."""
    compressor = zlib.compressobj(9, zlib.DEFLATED, 31)
    block = bytes(1 << 20)
    while True:
        out = compressor.compress(block) + compressor.flush(zlib.Z_SYNC_FLUSH)
        if out:
            yield out


def answer(status, body, headers=()):
    lines = [b"HTTP/1.1 " + status, b"Content-Length: " + str(len(body)).encode(), b"Connection: close"]
    lines += list(headers)
    return b"\r\n".join(lines) + b"\r\n\r\n" + body


class Handler(socketserver.BaseRequestHandler):
    def handle(self):
        request = b""
        while b"\r\n\r\n" not in request:
            data = self.request.recv(65536)
            if not data:
                return
            request += data
        path = request.split(b" ", 2)[1].decode()
        send = self.request.sendall
        try:
            if path == "/ok":
                send(answer(b"200 OK", b"[]"))
            elif path == "/geo":
                send(answer(b"200 OK", GEO))
            elif path == "/endless-chunks":
                send(b"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n")
                chunk = b"%x\r\n" % len(CHUNK) + CHUNK + b"\r\n"
                while True:
                    send(chunk)
            elif path == "/huge-chunk":
                send(b"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n7fffffffffffffff\r\n")
                while True:
                    send(CHUNK)
            elif path == "/huge-length":
                send(b"HTTP/1.1 200 OK\r\nContent-Length: 9223372036854775808\r\n\r\n")
                while True:
                    send(CHUNK)
            elif path == "/endless-header-line":
                send(b"HTTP/1.1 200 OK\r\nX-Endless: ")
                while True:
                    send(b"a" * (1 << 16))
            elif path == "/endless-header-lines":
                send(b"HTTP/1.1 200 OK\r\n")
                lines = b"X-Line: a\r\n" * 6000
                while True:
                    send(lines)
            elif path == "/gzip-bomb":
                send(b"HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nConnection: close\r\n\r\n")
                for block in gzip_zeros():
                    send(block)
            elif path == "/broken-gzip":
                send(answer(b"200 OK", b"\x1f\x8b\x08\x00garbage, not deflate" * 10, [b"Content-Encoding: gzip"]))
            elif path == "/redirect-loop":
                send(answer(b"302 Found", b"", [b"Location: /redirect-loop"]))
            elif path.startswith("/hop/"):
                n = int(path[5:])
                send(answer(b"302 Found", b"", [b"Location: /hop/%d" % (n + 1)]))
            elif path.startswith("/to-closed-https"):
                send(answer(b"302 Found", b"", [b"Location: https://127.0.0.1:1/x"]))
            elif path.startswith("/redirect?to="):
                target = urllib.parse.unquote(path[len("/redirect?to="):]).encode()
                send(answer(b"302 Found", b"", [b"Location: " + target]))
            elif path == "/trickle":
                send(b"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n")
                for _ in range(100):
                    time.sleep(1)
                    send(b"[")
            elif path == "/ftp":
                send(answer(b"302 Found", b"", [b"Location: ftp://127.0.0.1/x"]))
            else:
                send(answer(b"404 Not Found", b"no such path"))
        except (BrokenPipeError, ConnectionResetError):
            pass


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True


def end_with_parent():
    """Standard input is the test's pipe: at its end the test is gone, and so is this server."""
    sys.stdin.buffer.read()
    os._exit(0)


if __name__ == "__main__":
    threading.Thread(target=end_with_parent, daemon=True).start()
    with Server(("127.0.0.1", 0), Handler) as server:
        server.socket.setsockopt(socket.SOL_SOCKET, socket.SO_SNDBUF, 1 << 20)
        print(server.server_address[1], flush=True)
        server.serve_forever()
        sys.exit(0)
