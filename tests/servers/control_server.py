#!/usr/bin/env python3
"""An HTTP server on loopback whose answers the download tests choose by path.

  /bytes/N                  200, N pattern bytes with Content-Length
  /chunked/N                200, N pattern bytes in chunked encoding
  /until-close/N            200, N pattern bytes, no length, then close
  /empty                    200 with an empty body
  /status/CODE              that status with a small error page
  /redirect/CODE?to=PATH    that status pointing at PATH on this server
  /redirect-loop            a redirect to itself
  /cutoff/ANNOUNCED/SENT    Content-Length ANNOUNCED, SENT bytes, then close
  /cutoff-chunked/SENT      SENT bytes in chunks, then close without the end
  /slow/N/PIECES/MS         N pattern bytes in PIECES writes, MS apart
  /counter/NAME             the number of requests for NAME so far, cacheable
  /request                  the request's line and headers as the body
  /cut-release/PATH         the file PATH of the www folder: "updateinfo.txt"
                            and its signature whole, any other file in chunks
                            cut before its last chunk
  /faulty/MODE/TOKEN/PATH   the file PATH of the www folder, with a fault the
                            first time TOKEN asks for it, whole afterwards:
                            cut-once (half its announced length, then close),
                            503-once, stall-once (half, then silence for 10 s);
                            404 (every time, files other than "updateinfo.txt"
                            only), slow (whole, in 40 pieces 250 ms apart)
  /tally/TOKEN/PATH         how often /faulty/.../TOKEN/PATH was asked for

Pattern byte i is ((j*j*7 + j*13 + 5) % 251) with j = i % 65521, so that a
shifted or repeated piece never matches; the tests compute the same.
"""

import argparse
import http.server
import os
import socketserver
import sys
import threading
import time
import urllib.parse

PERIOD = 65521
PATTERN = bytes(((j * j * 7 + j * 13 + 5) % 251) for j in range(PERIOD))


def pattern(start, length):
    """Pattern bytes start .. start+length-1."""
    out = bytearray()
    offset = start % PERIOD
    while len(out) < length:
        take = min(PERIOD - offset, length - len(out))
        out += PATTERN[offset:offset + take]
        offset = 0
    return bytes(out)


counters = {}
tallies = {}
counters_lock = threading.Lock()


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "KorvanTestServer"

    def log_message(self, format, *args):  # noqa: A002 - the base class's name
        sys.stderr.write("%s %s\n" % (self.address_string(), format % args))

    def send_body(self, status, body, content_type="application/octet-stream", extra=()):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        for name, value in extra:
            self.send_header(name, value)
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    def send_pattern(self, length, piece=1 << 16, delay=0.0):
        sent = 0
        while sent < length:
            take = min(piece, length - sent)
            self.wfile.write(pattern(sent, take))
            sent += take
            if delay and sent < length:
                self.wfile.flush()
                time.sleep(delay)

    def do_HEAD(self):
        self.do_GET()

    def do_GET(self):
        url = urllib.parse.urlsplit(self.path)
        parts = [p for p in url.path.split("/") if p]
        query = urllib.parse.parse_qs(url.query)
        route = parts[0] if parts else ""
        args = parts[1:]
        try:
            handler = getattr(self, "route_" + route.replace("-", "_"))
        except AttributeError:
            self.send_body(404, b"no such route\n", "text/plain")
            return
        try:
            handler(args, query)
        except (BrokenPipeError, ConnectionResetError):
            self.close_connection = True

    def route_bytes(self, args, _query):
        length = int(args[0])
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(length))
        self.end_headers()
        self.send_pattern(length)

    def route_chunked(self, args, _query, complete=True):
        length = int(args[0])
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Transfer-Encoding", "chunked")
        self.end_headers()
        sent = 0
        while sent < length:
            take = min(4000, length - sent)
            self.wfile.write(b"%x\r\n" % take + pattern(sent, take) + b"\r\n")
            sent += take
        if complete:
            self.wfile.write(b"0\r\n\r\n")
        else:
            self.wfile.flush()
            self.close_connection = True

    def route_cutoff_chunked(self, args, query):
        self.route_chunked(args, query, complete=False)

    def route_until_close(self, args, _query):
        length = int(args[0])
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Connection", "close")
        self.end_headers()
        self.send_pattern(length)
        self.close_connection = True

    def route_empty(self, _args, _query):
        self.send_body(200, b"")

    def route_status(self, args, _query):
        status = int(args[0])
        body = b"" if status in (204, 304) else (
            b"<html><body>error %d</body></html>\n" % status)
        if status in (204, 304):
            self.send_response(status)
            self.end_headers()
        else:
            self.send_body(status, body, "text/html")

    def route_redirect(self, args, query):
        status = int(args[0])
        target = query.get("to", ["/bytes/10"])[0]
        self.send_body(status, b"moved\n", "text/plain", [("Location", target)])

    def route_redirect_loop(self, _args, _query):
        self.send_body(302, b"moved\n", "text/plain", [("Location", "/redirect-loop")])

    def route_cutoff(self, args, _query):
        announced, sent = int(args[0]), int(args[1])
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(announced))
        self.end_headers()
        self.send_pattern(sent)
        self.wfile.flush()
        self.close_connection = True

    def route_slow(self, args, _query):
        length, pieces, delay_ms = int(args[0]), int(args[1]), int(args[2])
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(length))
        self.end_headers()
        self.wfile.flush()
        piece = max(1, -(-length // max(1, pieces)))
        self.send_pattern(length, piece=piece, delay=delay_ms / 1000.0)

    def route_counter(self, args, _query):
        name = args[0] if args else ""
        with counters_lock:
            counters[name] = counters.get(name, 0) + 1
            value = counters[name]
        self.send_body(200, b"%d" % value, "text/plain",
                       [("Cache-Control", "public, max-age=3600"),
                        ("Last-Modified", "Mon, 01 Jan 2024 00:00:00 GMT")])

    def route_cut_release(self, args, _query):
        path = os.path.realpath(os.path.join(self.server.www, *args))
        if not args or not path.startswith(self.server.www + os.sep) or not os.path.isfile(path):
            self.send_body(404, b"no such file\n", "text/plain")
            return
        with open(path, "rb") as f:
            data = f.read()
        if args[-1].startswith("updateinfo.txt"):
            self.send_body(200, data)
            return
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Transfer-Encoding", "chunked")
        self.end_headers()
        chunks = [data[i:i + 4000] for i in range(0, len(data), 4000)]
        for chunk in chunks[:-1]:
            self.wfile.write(b"%x\r\n" % len(chunk) + chunk + b"\r\n")
        self.wfile.flush()
        self.close_connection = True

    def route_faulty(self, args, _query):
        mode, token, rest = args[0], args[1], args[2:]
        path = os.path.realpath(os.path.join(self.server.www, *rest))
        if not rest or not path.startswith(self.server.www + os.sep) or not os.path.isfile(path):
            self.send_body(404, b"no such file\n", "text/plain")
            return
        key = token + "/" + "/".join(rest)
        with counters_lock:
            tallies[key] = tallies.get(key, 0) + 1
            first = tallies[key] == 1
        with open(path, "rb") as f:
            data = f.read()
        manifest = rest[-1].startswith("updateinfo.txt")
        if mode == "404" and not manifest:
            self.send_body(404, b"no such file\n", "text/plain")
        elif mode == "503-once" and first:
            self.send_body(503, b"busy\n", "text/plain")
        elif mode in ("cut-once", "stall-once") and first:
            self.send_response(200)
            self.send_header("Content-Type", "application/octet-stream")
            self.send_header("Content-Length", str(len(data)))
            self.end_headers()
            self.wfile.write(data[:len(data) // 2])
            self.wfile.flush()
            if mode == "stall-once":
                time.sleep(10)
            self.close_connection = True
        elif mode == "slow" and not manifest:
            self.send_response(200)
            self.send_header("Content-Type", "application/octet-stream")
            self.send_header("Content-Length", str(len(data)))
            self.end_headers()
            piece = max(1, -(-len(data) // 40))
            for start in range(0, len(data), piece):
                self.wfile.write(data[start:start + piece])
                self.wfile.flush()
                time.sleep(0.25)
        else:
            self.send_body(200, data)

    def route_tally(self, args, _query):
        with counters_lock:
            value = tallies.get("/".join(args), 0)
        self.send_body(200, b"%d" % value, "text/plain")

    def route_request(self, _args, _query):
        text = self.requestline + "\r\n" + str(self.headers)
        self.send_body(200, text.encode("latin-1"), "text/plain")


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--www", default=".", help="the folder /cut-release/ serves from")
    options = parser.parse_args()
    server = Server(("127.0.0.1", options.port), Handler)
    server.www = os.path.realpath(options.www)
    sys.stderr.write("control server %d listening on 127.0.0.1:%d\n" % (os.getpid(), options.port))
    sys.stderr.flush()
    server.serve_forever()


if __name__ == "__main__":
    main()
