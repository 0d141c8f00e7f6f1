"""Our LZARI codec against the second one in lzari_reference.py, and the packed language archive
read by that second decoder. Encoder and decoder of one codec always agree with each other, so a
wrong constant shared by both (the ring's start, the distance model, the rescale bound, the
coder's registers) survives every round trip; only a codec written apart from ours finds it.

usage: lzari_cross_check.py LZARI-FILE-TOOL ARCHIVE LANGUAGE-DATA-FOLDER
"""

import os
import random
import struct
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import lzari_reference as reference  # noqa: E402

TOOL, ARCHIVE, DATA = sys.argv[1:4] if len(sys.argv) >= 4 else (None, None, None)

START_MARKER = b"\n<!- ------SDSGDGSDHREETETBCNMJUKR----------\n"
END_MARKER = b"\n-------SDSGDGSDHREETETBCNMJUKR-------- -->\n"


def ours(verb, data, *extra):
    with tempfile.TemporaryDirectory() as folder:
        source = os.path.join(folder, "in")
        target = os.path.join(folder, "out")
        with open(source, "wb") as f:
            f.write(data)
        subprocess.run([TOOL, verb, source, target, *map(str, extra)], check=True)
        with open(target, "rb") as f:
            return f.read()


def samples():
    """Inputs, each with the part of the format it reaches."""
    rng = random.Random(10)
    text = b"".join(open(os.path.join(DATA, name), "rb").read() for name in ("00-Deutsch.txt", "01-English.txt"))
    block = bytes(rng.randrange(256) for _ in range(300))
    far = block + bytes(rng.randrange(256) for _ in range(4096 - 300)) + block
    return {
        # Matches reaching into the spaces the ring starts with: the ring's fill and first write.
        "leading spaces": b"     a      b" + b" " * 70 + b"x",
        # Ordinary text: literals, short and long matches, distances of every size.
        "language text": text,
        # A copy from exactly 4,096 bytes back: the last distance of the static model.
        "farthest distance": far,
        # Runs: matches of the longest length and distance 0.
        "runs": b"a" * 500 + b"b" * 61 + b"a" * 7,
        # Over 50,000 coded symbols with skewed counts: halved twice, odd counts rounding up.
        "rescaling": bytes(min(255, int(rng.expovariate(1 / 12))) for _ in range(70000)),
        # Every byte value as a literal.
        "all byte values": bytes(range(256)) * 3,
    }


class OurStreamsAreLzari(unittest.TestCase):
    def test_the_second_decoder_reads_what_our_encoder_writes(self):
        for name, data in samples().items():
            stream = ours("encode", data)
            # Whatever follows the stream (zeros, the archive's space padding, ones) changes nothing.
            for fill in (0x00, 0x20, 0xFF):
                with self.subTest(sample=name, fill=fill):
                    self.assertEqual(reference.decode(stream, len(data), fill), data)

    def test_our_decoder_reads_what_the_second_encoder_writes(self):
        for name, data in samples().items():
            with self.subTest(sample=name):
                stream = reference.encode(data)
                self.assertEqual(ours("decode", stream, len(data)), data)

    def test_the_packed_language_archive_reads_with_the_second_decoder(self):
        archive = open(ARCHIVE, "rb").read()
        self.assertTrue(archive.startswith(START_MARKER) and archive.endswith(END_MARKER))
        payload = archive[len(START_MARKER):-len(END_MARKER)]
        (size,) = struct.unpack("<I", payload[:4])
        raw = reference.decode(payload[4:], size, 0x20)
        text = raw.decode("utf-16-le")
        self.assertEqual(text[0], "\ufeff")
        self.assertNotIn("\n", text.replace("\r\n", ""), "every line ends in CR LF")
        plain = text.replace("\r\n", "\n")
        for name in sorted(os.listdir(DATA)):
            with self.subTest(source=name):
                source = open(os.path.join(DATA, name), encoding="utf-8-sig").read().replace("\r\n", "\n")
                self.assertIn(source.strip("\n"), plain)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
