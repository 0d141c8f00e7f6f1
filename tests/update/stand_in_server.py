#!/usr/bin/env python3
"""Stand-in for our update site in tests: https and plain http on 127.0.0.1, from one process.

  GET /site/NAME           the file NAME of the site folder (404 when missing)
  GET /truncated/NAME      announces NAME's full length, sends half of it, closes
  GET /status/CODE         answers with that status
  GET /redirect?to=URL     302 to URL (percent-encoded in the query)
  GET /endless             a body without a length that goes on for 32 MiB

Every request's path and query is appended to the log file, one per line. When both servers
listen, their ports go into the ports file as "HTTPS HTTP"."""
import argparse
import http.server
import os
import signal
import ssl
import sys
import threading
import urllib.parse


class Handler(http.server.BaseHTTPRequestHandler):
    site = ""
    log_file = ""

    def log_message(self, *args):
        pass

    def record(self):
        with open(self.log_file, "a", encoding="utf-8") as log:
            log.write(self.path + "\n")

    def send_body(self, status, body, length=None):
        self.send_response(status)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(len(body) if length is None else length))
        self.end_headers()
        self.wfile.write(body)

    def site_file(self, name):
        path = os.path.join(self.site, os.path.basename(urllib.parse.unquote(name)))
        try:
            with open(path, "rb") as f:
                return f.read()
        except OSError:
            return None

    def do_GET(self):
        self.record()
        url = urllib.parse.urlsplit(self.path)
        parts = url.path.split("/", 2)
        kind = parts[1] if len(parts) > 1 else ""
        rest = parts[2] if len(parts) > 2 else ""
        if kind == "site":
            body = self.site_file(rest)
            if body is None:
                self.send_body(404, b"not found")
            else:
                self.send_body(200, body)
        elif kind == "truncated":
            body = self.site_file(rest) or b""
            self.send_body(200, body[: len(body) // 2], length=len(body))
            self.close_connection = True
        elif kind == "status":
            self.send_body(int(rest), b"stand-in status")
        elif kind == "redirect":
            target = urllib.parse.parse_qs(url.query).get("to", [""])[0]
            self.send_response(302)
            self.send_header("Location", target)
            self.send_header("Content-Length", "0")
            self.end_headers()
        elif kind == "endless":
            self.send_response(200)
            self.send_header("Content-Type", "application/octet-stream")
            self.end_headers()
            block = b"x" * (1024 * 1024)
            try:
                for _ in range(32):
                    self.wfile.write(block)
            except OSError:
                pass
            self.close_connection = True
        else:
            self.send_body(404, b"unknown")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--site", required=True)
    parser.add_argument("--cert", required=True)
    parser.add_argument("--key", required=True)
    parser.add_argument("--ports", required=True)
    parser.add_argument("--log", required=True)
    args = parser.parse_args()
    Handler.site = args.site
    Handler.log_file = args.log

    secure = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(args.cert, args.key)
    secure.socket = context.wrap_socket(secure.socket, server_side=True)
    plain = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    for server in (secure, plain):
        server.daemon_threads = True
        threading.Thread(target=server.serve_forever, daemon=True).start()

    ports = "%d %d\n" % (secure.server_address[1], plain.server_address[1])
    with open(args.ports + ".tmp", "w") as f:
        f.write(ports)
    os.replace(args.ports + ".tmp", args.ports)

    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    signal.signal(signal.SIGINT, lambda *_: stop.set())
    stop.wait()
    secure.shutdown()
    plain.shutdown()
    return 0


if __name__ == "__main__":
    sys.exit(main())
