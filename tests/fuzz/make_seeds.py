"""Rebuilds the fuzz targets' seeds from the language archive the build packs.

usage: make_seeds.py ARCHIVE LZARI-FILE-TOOL SEED-FOLDER
  ARCHIVE          build/mingw/host/tests/host/LanguageArchive.bin
  LZARI-FILE-TOOL  build/mingw/host/tests/host/lzariFile
  SEED-FOLDER      tests/fuzz/seeds

decode/archive-NN: payloads as the archive holds them (decoded size, then our encoder's stream) of
1 KiB pieces of the archive's text, one per script the translations use: long enough for matches
of every length, short enough that each run stays quick (the harness takes at most 4 KiB).
roundtrip/archive-NN: 4 KiB pieces as they are.
text/archive-head: byte-order mark, preamble, header, free texts, German and English, as packed.
text/archive-scripts: three leading separators, then the Korean, Bulgarian, Arabic and
Chinese sections, so that the grammar meets texts far from ASCII.
The text is decoded by the second LZARI decoder (tests/host/lzari_reference.py), not by ours.
"""

import os
import struct
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "host"))
import lzari_reference as reference  # noqa: E402

START_MARKER = b"\n<!- ------SDSGDGSDHREETETBCNMJUKR----------\n"
END_MARKER = b"\n-------SDSGDGSDHREETETBCNMJUKR-------- -->\n"
SEPARATOR = "##".encode("utf-16-le")
PIECE = 4096
DECODE_PIECE = 1024


def archive_text(path):
    archive = open(path, "rb").read()
    payload = archive[len(START_MARKER):-len(END_MARKER)]
    (size,) = struct.unpack("<I", payload[:4])
    return reference.decode(payload[4:], size)


def sections(text):
    """The text cut before every separator; sections[0] is everything in front of the first."""
    parts = text.split(SEPARATOR)
    return [parts[0]] + [SEPARATOR + part for part in parts[1:]]


def encoded(tool, data):
    with tempfile.TemporaryDirectory() as folder:
        source, target = os.path.join(folder, "in"), os.path.join(folder, "out")
        open(source, "wb").write(data)
        subprocess.run([tool, "encode", source, target], check=True)
        return open(target, "rb").read()


def main(argv):
    if len(argv) != 4:
        print(__doc__, file=sys.stderr)
        return 2
    archive, tool, seeds = argv[1:]
    text = archive_text(archive)
    parts = sections(text)
    # parts: 0 preamble, 1 header, 2-3 free texts, 4 German, 5 English, 6 Korean, ...
    languages = parts[4:]

    def named(name):
        return next(p for p in languages if p.startswith(("##=" + name).encode("utf-16-le")))

    head = b"".join(parts[:6])
    far = ["Korean", "Bulgarian", "Arabic", "Chinese-Simplifiled"]
    scripts = "\ufeff".encode("utf-16-le") + SEPARATOR * 3 + b"".join(named(n) for n in far) + SEPARATOR
    os.makedirs(os.path.join(seeds, "text"), exist_ok=True)
    open(os.path.join(seeds, "text", "archive-head"), "wb").write(head)
    open(os.path.join(seeds, "text", "archive-scripts"), "wb").write(scripts)

    os.makedirs(os.path.join(seeds, "decode"), exist_ok=True)
    pieces = [head[:PIECE]] + [named(n)[:PIECE] for n in ["Deutsch", "Russian", "Korean", "Arabic", "Chinese-Traditional"]]
    os.makedirs(os.path.join(seeds, "roundtrip"), exist_ok=True)
    for number, piece in enumerate(pieces):
        small = piece[:DECODE_PIECE]
        payload = struct.pack("<I", len(small)) + encoded(tool, small)
        open(os.path.join(seeds, "decode", "archive-%02d" % number), "wb").write(payload)
        open(os.path.join(seeds, "roundtrip", "archive-%02d" % number), "wb").write(piece)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
