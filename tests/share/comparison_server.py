#!/usr/bin/env python3
"""Stand-in for the comparison web page: an https server on 127.0.0.1 that takes one POST, decodes
its two fields on its own (Python's base64 and zlib, nothing of the program's) and writes what it
found into a folder:

  host.txt, path.txt       the Host header and the request path
  brindlecrestdata.txt     the two field values as they arrived
  brindlecrestdataI.txt
  record.txt               "brindlecrestdata" decoded: Base64, reversed, Base64 (UTF-8 bytes)
  image.png                "brindlecrestdataI" decoded
  image.txt                "<width> <height> <distinct colours>" from a full PNG decode, or "error: ..."
  done.txt                 written last

It writes its port into --port-file once it listens, and ends after the POST or after --timeout
seconds, whichever comes first.
"""
import argparse
import base64
import http.server
import os
import ssl
import struct
import sys
import threading
import urllib.parse
import zlib


def decode_png(data):
    """Width, height and the number of distinct pixel values of an 8-bit RGB or RGBA PNG."""
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("no PNG signature")
    at, header, idat = 8, None, b""
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        (crc,) = struct.unpack(">I", data[at + 8 + length:at + 12 + length])
        if zlib.crc32(kind + body) != crc:
            raise ValueError("bad CRC in %r" % kind)
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        elif kind == b"IEND":
            break
        at += 12 + length
    if header is None:
        raise ValueError("no IHDR")
    width, height, depth, colour, _, _, interlace = header
    if depth != 8 or colour not in (2, 6) or interlace != 0:
        raise ValueError("unexpected format depth=%d colour=%d interlace=%d" % (depth, colour, interlace))
    channels = 3 if colour == 2 else 4
    raw = zlib.decompress(idat)
    stride = width * channels
    if len(raw) != height * (stride + 1):
        raise ValueError("image data of %d bytes for %dx%d" % (len(raw), width, height))
    previous = bytearray(stride)
    colours = set()
    for row in range(height):
        start = row * (stride + 1)
        kind, line = raw[start], bytearray(raw[start + 1:start + 1 + stride])
        for i in range(stride):
            left = line[i - channels] if i >= channels else 0
            up = previous[i]
            upper_left = previous[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + left) & 0xFF
            elif kind == 2:
                line[i] = (line[i] + up) & 0xFF
            elif kind == 3:
                line[i] = (line[i] + ((left + up) >> 1)) & 0xFF
            elif kind == 4:
                p = left + up - upper_left
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - upper_left)
                predictor = left if pa <= pb and pa <= pc else (up if pb <= pc else upper_left)
                line[i] = (line[i] + predictor) & 0xFF
            elif kind != 0:
                raise ValueError("filter type %d" % kind)
        for x in range(0, stride, channels):
            colours.add(bytes(line[x:x + channels]))
        previous = line
    return width, height, len(colours)


def write(folder, name, data):
    mode = "wb" if isinstance(data, bytes) else "w"
    with open(os.path.join(folder, name), mode) as out:
        out.write(data)


class Handler(http.server.BaseHTTPRequestHandler):
    # Chromium opens spare connections it may never use: none of them may hold up the others.
    timeout = 10

    def do_POST(self):
        length = int(self.headers.get("Content-Length", "0"))
        body = self.rfile.read(length).decode("ascii")
        fields = urllib.parse.parse_qs(body, keep_blank_values=True)
        folder = self.server.folder
        write(folder, "host.txt", self.headers.get("Host", ""))
        write(folder, "path.txt", self.path)
        record = fields.get("brindlecrestdata", [""])[0]
        image = fields.get("brindlecrestdataI", [""])[0]
        write(folder, "brindlecrestdata.txt", record)
        write(folder, "brindlecrestdataI.txt", image)
        try:
            reversed_once = base64.b64decode(record, validate=True).decode("ascii")
            write(folder, "record.txt", base64.b64decode(reversed_once[::-1], validate=True))
        except Exception as error:  # reported to the test, which fails on it
            write(folder, "record.txt", ("error: %s" % error).encode())
        try:
            png = base64.b64decode(image, validate=True)
            write(folder, "image.png", png)
            write(folder, "image.txt", "%d %d %d" % decode_png(png))
        except Exception as error:
            write(folder, "image.txt", "error: %s" % error)
        reply = b"<html><body>received</body></html>"
        self.send_response(200)
        self.send_header("Content-Type", "text/html")
        self.send_header("Content-Length", str(len(reply)))
        self.end_headers()
        self.wfile.write(reply)
        write(folder, "done.txt", "done")
        self.server.received.set()

    def log_message(self, *args):
        pass


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--folder", required=True)
    parser.add_argument("--cert", required=True)
    parser.add_argument("--key", required=True)
    parser.add_argument("--port-file", required=True)
    parser.add_argument("--timeout", type=float, default=45)
    args = parser.parse_args()

    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    server.folder = args.folder
    server.received = threading.Event()
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(args.cert, args.key)
    # The handshake happens in each connection's own thread, under the handler's time-out.
    server.socket = context.wrap_socket(server.socket, server_side=True, do_handshake_on_connect=False)
    with open(args.port_file + ".tmp", "w") as out:
        out.write(str(server.server_address[1]))
    os.replace(args.port_file + ".tmp", args.port_file)
    serving = threading.Thread(target=server.serve_forever, kwargs={"poll_interval": 0.1}, daemon=True)
    serving.start()
    received = server.received.wait(args.timeout)
    server.shutdown()
    server.server_close()
    return 0 if received else 1


if __name__ == "__main__":
    sys.exit(main())
