#include "lang/Lzari.h"

#include <algorithm>
#include <array>

namespace lzari {
namespace {

// Symbols 0-255 are literal bytes, 256 and up are matches of 3 to 60 bytes.
constexpr int kSymbolCount = 256 - kMatchThreshold + kLongestMatch;
constexpr int kRingMask = kRingBytes - 1;

// 17-bit coder registers.
constexpr uint32_t kQuarter = 0x8000;
constexpr uint32_t kHalf = 2 * kQuarter;
constexpr uint32_t kThreeQuarters = 3 * kQuarter;
constexpr uint32_t kTop = 4 * kQuarter;
constexpr int kCodeBits = 17;
// The frequencies are halved when their total reaches this, so that products stay in range.
constexpr uint32_t kMaxTotal = kQuarter - 1;

// Static model of match positions: near positions are likelier. position p owns the interval
// [cum[p + 1], cum[p]) of cum[0].
struct PositionModel {
    std::array<uint32_t, kRingBytes + 1> cum{};
    constexpr PositionModel() {
        cum[kRingBytes] = 0;
        for (int i = kRingBytes; i >= 1; --i) {
            cum[i - 1] = cum[i] + 10000 / static_cast<uint32_t>(i + 200);
        }
    }
    // The position whose interval holds x (clamped to the ends).
    int find(uint32_t x) const {
        int i = 1;
        int j = kRingBytes;
        while (i < j) {
            int k = (i + j) / 2;
            if (cum[k] > x) {
                i = k + 1;
            } else {
                j = k;
            }
        }
        return i - 1;
    }
};
constexpr PositionModel kPositions;

// Adaptive model of the 314 symbols. Symbols are kept sorted by falling frequency (rank 1 is
// the most frequent), so that an update only touches the cumulative counts in front of it.
// Rank r owns the interval [cum[r], cum[r - 1]) of cum[0].
class SymbolModel {
public:
    SymbolModel() {
        cum_[kSymbolCount] = 0;
        for (int rank = kSymbolCount; rank >= 1; --rank) {
            int symbol = rank - 1;
            rankOf_[symbol] = static_cast<uint16_t>(rank);
            symbolAt_[rank] = static_cast<uint16_t>(symbol);
            freq_[rank] = 1;
            cum_[rank - 1] = cum_[rank] + freq_[rank];
        }
        freq_[0] = 0;  // sentinel: differs from every real frequency
    }

    uint32_t total() const { return cum_[0]; }
    uint32_t cum(int rank) const { return cum_[rank]; }
    int rankOf(int symbol) const { return rankOf_[symbol]; }
    int symbolAt(int rank) const { return symbolAt_[rank]; }

    // The rank whose interval holds x (clamped to the ends).
    int find(uint32_t x) const {
        int i = 1;
        int j = kSymbolCount;
        while (i < j) {
            int k = (i + j) / 2;
            if (cum_[k] > x) {
                i = k + 1;
            } else {
                j = k;
            }
        }
        return i;
    }

    void update(int rank) {
        if (cum_[0] >= kMaxTotal) {
            uint32_t c = 0;
            for (int i = kSymbolCount; i > 0; --i) {
                cum_[i] = c;
                freq_[i] = (freq_[i] + 1) >> 1;
                c += freq_[i];
            }
            cum_[0] = c;
        }
        // Move the symbol in front of all symbols of equal frequency, then count it.
        int i = rank;
        while (freq_[i] == freq_[i - 1]) {
            --i;
        }
        if (i < rank) {
            int symbolI = symbolAt_[i];
            int symbolRank = symbolAt_[rank];
            symbolAt_[i] = static_cast<uint16_t>(symbolRank);
            symbolAt_[rank] = static_cast<uint16_t>(symbolI);
            rankOf_[symbolI] = static_cast<uint16_t>(rank);
            rankOf_[symbolRank] = static_cast<uint16_t>(i);
        }
        ++freq_[i];
        while (--i >= 0) {
            ++cum_[i];
        }
    }

private:
    std::array<uint16_t, kSymbolCount> rankOf_{};
    std::array<uint16_t, kSymbolCount + 1> symbolAt_{};
    std::array<uint32_t, kSymbolCount + 1> freq_{};
    std::array<uint32_t, kSymbolCount + 1> cum_{};
};

class BitReader {
public:
    BitReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    uint32_t next() {
        size_t byte = static_cast<size_t>(bit_ >> 3);
        uint32_t value = byte < size_ ? (data_[byte] >> (7 - (bit_ & 7))) & 1u : 0u;
        ++bit_;
        return value;
    }

private:
    const uint8_t* data_;
    size_t size_;
    uint64_t bit_ = 0;
};

class ArithmeticDecoder {
public:
    ArithmeticDecoder(const uint8_t* stream, size_t size) : in_(stream, size) {
        for (int i = 0; i < kCodeBits; ++i) {
            value_ = 2 * value_ + in_.next();
        }
    }

    int decodeSymbol(SymbolModel& model) {
        uint32_t total = model.total();
        int rank = model.find(target(total));
        narrow(model.cum(rank), model.cum(rank - 1), total);
        int symbol = model.symbolAt(rank);
        model.update(rank);
        return symbol;
    }

    int decodePosition() {
        uint32_t total = kPositions.cum[0];
        int position = kPositions.find(target(total));
        narrow(kPositions.cum[position + 1], kPositions.cum[position], total);
        return position;
    }

private:
    // Where the code value lies, scaled to 0..total-1. Unsigned arithmetic throughout: a damaged
    // stream yields some symbols (the searches clamp), never undefined behaviour.
    uint32_t target(uint32_t total) const {
        uint64_t range = high_ - low_;
        uint64_t offset = static_cast<uint64_t>(static_cast<uint32_t>(value_ - low_)) + 1;
        return static_cast<uint32_t>((offset * total - 1) / range);
    }

    void narrow(uint32_t lowerCum, uint32_t upperCum, uint32_t total) {
        uint64_t range = high_ - low_;
        high_ = low_ + static_cast<uint32_t>(range * upperCum / total);
        low_ += static_cast<uint32_t>(range * lowerCum / total);
        for (;;) {
            if (low_ >= kHalf) {
                value_ -= kHalf;
                low_ -= kHalf;
                high_ -= kHalf;
            } else if (low_ >= kQuarter && high_ <= kThreeQuarters) {
                value_ -= kQuarter;
                low_ -= kQuarter;
                high_ -= kQuarter;
            } else if (high_ > kHalf) {
                break;
            }
            low_ += low_;
            high_ += high_;
            value_ = 2 * value_ + in_.next();
        }
    }

    BitReader in_;
    uint32_t low_ = 0;
    uint32_t high_ = kTop;
    uint32_t value_ = 0;
};

class BitWriter {
public:
    void put(uint32_t bit) {
        current_ = static_cast<uint8_t>((current_ << 1) | bit);
        if (++count_ == 8) {
            bytes_.push_back(current_);
            current_ = 0;
            count_ = 0;
        }
    }
    std::vector<uint8_t> finish() {
        if (count_ > 0) {
            bytes_.push_back(static_cast<uint8_t>(current_ << (8 - count_)));
        }
        return std::move(bytes_);
    }

private:
    std::vector<uint8_t> bytes_;
    uint8_t current_ = 0;
    int count_ = 0;
};

class ArithmeticEncoder {
public:
    void encodeSymbol(SymbolModel& model, int symbol) {
        int rank = model.rankOf(symbol);
        narrow(model.cum(rank), model.cum(rank - 1), model.total());
        model.update(rank);
    }

    void encodePosition(int position) { narrow(kPositions.cum[position + 1], kPositions.cum[position], kPositions.cum[0]); }

    // Two more bits pin the code value inside the last interval whatever follows them.
    std::vector<uint8_t> finish() {
        ++pending_;
        emit(low_ < kQuarter ? 0 : 1);
        return out_.finish();
    }

private:
    void emit(uint32_t bit) {
        out_.put(bit);
        for (; pending_ > 0; --pending_) {
            out_.put(bit ^ 1u);
        }
    }

    void narrow(uint32_t lowerCum, uint32_t upperCum, uint32_t total) {
        uint64_t range = high_ - low_;
        high_ = low_ + static_cast<uint32_t>(range * upperCum / total);
        low_ += static_cast<uint32_t>(range * lowerCum / total);
        for (;;) {
            if (high_ <= kHalf) {
                emit(0);
            } else if (low_ >= kHalf) {
                emit(1);
                low_ -= kHalf;
                high_ -= kHalf;
            } else if (low_ >= kQuarter && high_ <= kThreeQuarters) {
                ++pending_;
                low_ -= kQuarter;
                high_ -= kQuarter;
            } else {
                break;
            }
            low_ += low_;
            high_ += high_;
        }
    }

    BitWriter out_;
    uint32_t low_ = 0;
    uint32_t high_ = kTop;
    uint64_t pending_ = 0;
};

// Finds matches in the decoder's view of the data: kFirstWrite spaces, then the input.
// Hash chains over three-byte prefixes; the nearest of the longest matches wins, because near
// positions cost fewer bits.
class MatchFinder {
public:
    explicit MatchFinder(const std::vector<uint8_t>& view)
        : view_(view), head_(kHashSize, kNone), previous_(view.size(), kNone) {}

    void insert(size_t position) {
        if (position + 2 >= view_.size()) {
            return;
        }
        uint32_t h = hash(position);
        previous_[position] = head_[h];
        head_[h] = static_cast<int64_t>(position);
    }

    // Longest match for `position` (not yet inserted) within the ring's reach.
    int longest(size_t position, size_t* source) const {
        size_t limit = std::min<size_t>(kLongestMatch, view_.size() - position);
        if (limit <= static_cast<size_t>(kMatchThreshold)) {
            return 0;
        }
        size_t oldest = position >= static_cast<size_t>(kRingBytes) ? position - kRingBytes : 0;
        int best = 0;
        for (int64_t candidate = head_[hash(position)]; candidate != kNone && static_cast<size_t>(candidate) >= oldest;
             candidate = previous_[static_cast<size_t>(candidate)]) {
            size_t from = static_cast<size_t>(candidate);
            size_t length = 0;
            while (length < limit && view_[from + length] == view_[position + length]) {
                ++length;
            }
            if (static_cast<int>(length) > best) {
                best = static_cast<int>(length);
                *source = from;
                if (length == limit) {
                    break;
                }
            }
        }
        return best;
    }

private:
    static constexpr int64_t kNone = -1;
    static constexpr size_t kHashSize = size_t{1} << 15;

    uint32_t hash(size_t position) const {
        uint32_t v = view_[position] | (view_[position + 1] << 8) | (view_[position + 2] << 16);
        return (v * 2654435761u) >> 17;
    }

    const std::vector<uint8_t>& view_;
    std::vector<int64_t> head_;
    std::vector<int64_t> previous_;
};

}  // namespace

void decode(const uint8_t* stream, size_t streamBytes, uint8_t* out, size_t outSize) {
    if (outSize == 0) {
        return;
    }
    ArithmeticDecoder decoder(stream, streamBytes);
    SymbolModel model;
    std::array<uint8_t, kRingBytes> ring{};
    std::fill(ring.begin(), ring.begin() + kFirstWrite, static_cast<uint8_t>(' '));
    int r = kFirstWrite;
    size_t count = 0;
    while (count < outSize) {
        int symbol = decoder.decodeSymbol(model);
        if (symbol < 256) {
            out[count++] = static_cast<uint8_t>(symbol);
            ring[r] = static_cast<uint8_t>(symbol);
            r = (r + 1) & kRingMask;
            continue;
        }
        int from = (r - decoder.decodePosition() - 1) & kRingMask;
        int length = symbol - 255 + kMatchThreshold;
        for (int k = 0; k < length && count < outSize; ++k) {
            uint8_t c = ring[(from + k) & kRingMask];
            out[count++] = c;
            ring[r] = c;
            r = (r + 1) & kRingMask;
        }
    }
}

std::vector<uint8_t> encode(const uint8_t* data, size_t size) {
    if (size == 0) {
        return {};
    }
    std::vector<uint8_t> view(kFirstWrite, static_cast<uint8_t>(' '));
    view.insert(view.end(), data, data + size);
    MatchFinder matches(view);
    for (size_t i = 0; i < static_cast<size_t>(kFirstWrite); ++i) {
        matches.insert(i);
    }
    SymbolModel model;
    ArithmeticEncoder coder;
    size_t position = kFirstWrite;
    while (position < view.size()) {
        size_t source = 0;
        int length = matches.longest(position, &source);
        if (length > kMatchThreshold) {
            coder.encodeSymbol(model, 255 - kMatchThreshold + length);
            coder.encodePosition(static_cast<int>(position - source - 1));
        } else {
            length = 1;
            coder.encodeSymbol(model, view[position]);
        }
        for (int k = 0; k < length; ++k) {
            matches.insert(position++);
        }
    }
    return coder.finish();
}

}  // namespace lzari
