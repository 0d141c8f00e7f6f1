"""A second LZARI codec, written apart from lang/Lzari.cpp from the algorithm's published
description (Okumura, 1989), to check that our streams are LZARI and not merely self-consistent.

The format: LZ77 over a 4,096-byte ring whose first 4,036 bytes start as spaces, writes starting at
4,036; matches of 3 to 60 bytes. Literals and match lengths form one alphabet of 314 symbols with
adaptive counts (all 1 at the start, halved rounding up when their total reaches 32,767); a match's
distance back (0 to 4,095, one less than the real distance) has a static model in which
distance p weighs 10,000 // (p + 201). A 17-bit arithmetic coder; bits most significant first.

Run as a program: `lzari_reference.py encode IN OUT` or `decode IN OUT SIZE`.
"""

import sys

RING = 4096
LONGEST = 60
THRESHOLD = 2
FIRST_WRITE = RING - LONGEST
SYMBOLS = 256 + LONGEST - THRESHOLD  # 314

QUARTER = 1 << 15
HALF = 2 * QUARTER
THREE_QUARTERS = 3 * QUARTER
TOP = 4 * QUARTER
RESCALE_AT = QUARTER - 1

# Static distance model: the interval of distance p is [POSITION_CUM[p + 1], POSITION_CUM[p]).
POSITION_CUM = [0] * (RING + 1)
for _p in range(RING - 1, -1, -1):
    POSITION_CUM[_p] = POSITION_CUM[_p + 1] + 10000 // (_p + 201)


class AdaptiveModel:
    """Symbols sorted by falling count, ties broken by recency of promotion. Slot 1 is the most
    frequent; slot s owns [upper[s], upper[s - 1]) where upper[s] is the total of slots after s."""

    def __init__(self):
        self.symbol_in_slot = [None] + list(range(SYMBOLS))
        self.slot_of_symbol = list(range(1, SYMBOLS + 1))
        self.count = [0] + [1] * SYMBOLS  # slot 0: a sentinel no real count equals
        self.upper = [SYMBOLS - s for s in range(SYMBOLS + 1)]

    def total(self):
        return self.upper[0]

    def slot_for(self, target):
        # Largest-count-first order makes upper[] fall; find s with upper[s] <= target < upper[s-1].
        lo, hi = 1, SYMBOLS
        while lo < hi:
            mid = (lo + hi) // 2
            if self.upper[mid] <= target:
                hi = mid
            else:
                lo = mid + 1
        return lo

    def count_one(self, slot):
        if self.upper[0] >= RESCALE_AT:
            running = 0
            for s in range(SYMBOLS, 0, -1):
                self.upper[s] = running
                self.count[s] = (self.count[s] + 1) // 2
                running += self.count[s]
            self.upper[0] = running
        # Promote over every slot of equal count, so the order stays sorted after the increment.
        first = slot
        while self.count[first - 1] == self.count[slot]:
            first -= 1
        if first != slot:
            a, b = self.symbol_in_slot[first], self.symbol_in_slot[slot]
            self.symbol_in_slot[first], self.symbol_in_slot[slot] = b, a
            self.slot_of_symbol[b], self.slot_of_symbol[a] = first, slot
        self.count[first] += 1
        for s in range(first):
            self.upper[s] += 1


class Reader:
    def __init__(self, data, fill_byte=0):
        self.data = data
        self.fill = fill_byte
        self.bit = 0

    def next(self):
        index = self.bit >> 3
        byte = self.data[index] if index < len(self.data) else self.fill
        value = (byte >> (7 - (self.bit & 7))) & 1
        self.bit += 1
        return value


def decode(stream, size, fill_byte=0):
    """Expands `stream` into `size` bytes; bytes past its end read as `fill_byte`."""
    out = bytearray()
    if size == 0:
        return bytes(out)
    bits = Reader(stream, fill_byte)
    low, high, code = 0, TOP, 0
    for _ in range(17):
        code = (code << 1) | bits.next()
    model = AdaptiveModel()
    ring = bytearray(b" " * FIRST_WRITE + b"\0" * LONGEST)
    write = FIRST_WRITE

    def narrow(lower, upper, total):
        nonlocal low, high, code
        width = high - low
        high = low + width * upper // total
        low = low + width * lower // total
        while True:
            if low >= HALF:
                low -= HALF
                high -= HALF
                code -= HALF
            elif low >= QUARTER and high <= THREE_QUARTERS:
                low -= QUARTER
                high -= QUARTER
                code -= QUARTER
            elif high > HALF:
                return
            low <<= 1
            high <<= 1
            code = (code << 1) | bits.next()

    def scaled(total):
        return ((code - low + 1) * total - 1) // (high - low)

    while len(out) < size:
        total = model.total()
        slot = model.slot_for(scaled(total))
        narrow(model.upper[slot], model.upper[slot - 1], total)
        symbol = model.symbol_in_slot[slot]
        model.count_one(slot)
        if symbol < 256:
            out.append(symbol)
            ring[write] = symbol
            write = (write + 1) % RING
            continue
        target = scaled(POSITION_CUM[0])
        lo, hi = 1, RING
        while lo < hi:
            mid = (lo + hi) // 2
            if POSITION_CUM[mid] <= target:
                hi = mid
            else:
                lo = mid + 1
        distance = lo - 1
        narrow(POSITION_CUM[distance + 1], POSITION_CUM[distance], POSITION_CUM[0])
        source = (write - distance - 1) % RING
        for k in range(symbol - 256 + THRESHOLD + 1):
            if len(out) == size:
                break
            byte = ring[(source + k) % RING]
            out.append(byte)
            ring[write] = byte
            write = (write + 1) % RING
    return bytes(out)


class Writer:
    def __init__(self):
        self.bits = []

    def put(self, bit):
        self.bits.append(bit)

    def finish(self):
        while len(self.bits) % 8:
            self.bits.append(0)
        return bytes(int("".join(map(str, self.bits[i:i + 8])), 2) for i in range(0, len(self.bits), 8))


def parse(data, chain=32):
    """Greedy LZ77 parse into literals (ints) and matches ((length, distance - 1) pairs), taking
    the longest of the `chain` most recent candidates per three-byte key."""
    view = b" " * FIRST_WRITE + bytes(data)
    tokens = []
    recent = {}

    def remember(at):
        if at + 3 <= len(view):
            recent.setdefault(view[at:at + 3], []).append(at)

    for at in range(FIRST_WRITE):
        remember(at)
    at = FIRST_WRITE
    while at < len(view):
        best, best_from = 0, 0
        limit = min(LONGEST, len(view) - at)
        if limit > THRESHOLD:
            for start in reversed(recent.get(view[at:at + 3], [])[-chain:]):
                if at - start > RING:
                    break
                length = 0
                while length < limit and view[start + length] == view[at + length]:
                    length += 1
                if length > best:
                    best, best_from = length, start
        if best > THRESHOLD:
            tokens.append((best, at - best_from - 1))
            step = best
        else:
            tokens.append(view[at])
            step = 1
        for k in range(step):
            remember(at + k)
        at += step
    return tokens


def encode_tokens(tokens):
    """Codes literals (ints) and matches ((length, distance - 1) pairs) as given."""
    if not tokens:
        return b""
    out = Writer()
    low, high, pending = 0, TOP, 0
    model = AdaptiveModel()

    def emit(bit):
        nonlocal pending
        out.put(bit)
        while pending:
            out.put(bit ^ 1)
            pending -= 1

    def narrow(lower, upper, total):
        nonlocal low, high, pending
        width = high - low
        high = low + width * upper // total
        low = low + width * lower // total
        while True:
            if high <= HALF:
                emit(0)
            elif low >= HALF:
                emit(1)
                low -= HALF
                high -= HALF
            elif low >= QUARTER and high <= THREE_QUARTERS:
                pending += 1
                low -= QUARTER
                high -= QUARTER
            else:
                return
            low <<= 1
            high <<= 1

    def code_symbol(symbol):
        slot = model.slot_of_symbol[symbol]
        narrow(model.upper[slot], model.upper[slot - 1], model.total())
        model.count_one(slot)

    for token in tokens:
        if isinstance(token, int):
            code_symbol(token)
        else:
            length, distance = token
            assert THRESHOLD < length <= LONGEST and 0 <= distance < RING
            code_symbol(256 + length - THRESHOLD - 1)
            narrow(POSITION_CUM[distance + 1], POSITION_CUM[distance], POSITION_CUM[0])
    # Two more bits pin the value inside the final interval whatever follows.
    pending += 1
    emit(0 if low < QUARTER else 1)
    return out.finish()


def encode(data):
    return encode_tokens(parse(data)) if data else b""


def main(argv):
    if len(argv) >= 4 and argv[1] == "encode":
        with open(argv[2], "rb") as f:
            data = f.read()
        with open(argv[3], "wb") as f:
            f.write(encode(data))
        return 0
    if len(argv) >= 5 and argv[1] == "decode":
        with open(argv[2], "rb") as f:
            stream = f.read()
        with open(argv[3], "wb") as f:
            f.write(decode(stream, int(argv[4])))
        return 0
    print("usage: lzari_reference.py encode IN OUT | decode IN OUT SIZE", file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
