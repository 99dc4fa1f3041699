// Inflating, block by block. A Huffman code is read the canonical way: codes of each length are
// consecutive numbers, so a code is found by counting how many codes are shorter, one bit at a
// time, with no table that an input could make large.
#include "output/inflate.h"

#include <cstdint>

#include "output/checksums.h"
#include "output/deflate_tables.h"
#include "output/huffman_code.h"

namespace qr {

namespace {

constexpr int kLiteralSymbols = kMostCodes;  // 286 used, 2 more in the fixed code
constexpr int kEndOfBlock = 256;
constexpr int kDeflateMethod = 8;
constexpr int kMaxWindowBits = 15;

// Bits read from the least significant end of each byte; reading past the end sets `cut`.
class BitReader {
public:
    BitReader(const unsigned char* data, std::size_t size) : data_(data), size_(size) {}

    unsigned Bits(int count) {
        unsigned value = 0;
        for (int i = 0; i < count; ++i) value |= Bit() << i;
        return value;
    }
    unsigned Bit() {
        if (at_ >= size_) {
            cut = true;
            return 0;
        }
        const unsigned bit = (data_[at_] >> bit_) & 1u;
        if (++bit_ == 8) {
            bit_ = 0;
            ++at_;
        }
        return bit;
    }
    // Skips to the next byte boundary and returns where it is.
    std::size_t AlignToByte() {
        if (bit_ != 0) {
            bit_ = 0;
            ++at_;
        }
        return at_;
    }
    void SkipBytes(std::size_t count) { at_ += count; }
    std::size_t size() const { return size_; }
    const unsigned char* data() const { return data_; }

    bool cut = false;

private:
    const unsigned char* data_;
    std::size_t size_;
    std::size_t at_ = 0;
    int bit_ = 0;
};

// A canonical Huffman code: how many codes each length has, and the symbols in code order.
struct Code {
    std::uint16_t counts[kMaxCodeBits + 1];
    std::uint16_t symbols[kLiteralSymbols];
};

// Makes the code of `n` symbols with bit lengths `lengths` (0 unused). Returns false when the
// lengths ask for more codes than there are (an over-full code); an incomplete code is kept, and
// reading one of its missing codes fails.
bool MakeCode(const std::uint8_t* lengths, int n, Code* code) {
    for (auto& count : code->counts) count = 0;
    for (int s = 0; s < n; ++s) ++code->counts[lengths[s]];
    code->counts[0] = 0;
    int left = 1;
    for (int bits = 1; bits <= kMaxCodeBits; ++bits) {
        left = 2 * left - code->counts[bits];
        if (left < 0) return false;
    }
    std::uint16_t offsets[kMaxCodeBits + 2] = {};
    for (int bits = 1; bits <= kMaxCodeBits; ++bits) {
        offsets[bits + 1] = static_cast<std::uint16_t>(offsets[bits] + code->counts[bits]);
    }
    for (int s = 0; s < n; ++s) {
        if (lengths[s] != 0) code->symbols[offsets[lengths[s]]++] = static_cast<std::uint16_t>(s);
    }
    return true;
}

// The next symbol in `code`, or -1 when the bits are no code of it or the input ends.
int Decode(BitReader* in, const Code& code) {
    int first = 0;  // the first code of the length read so far
    int index = 0;  // its place in `symbols`
    int value = 0;
    for (int bits = 1; bits <= kMaxCodeBits; ++bits) {
        value |= static_cast<int>(in->Bit());
        if (in->cut) return -1;
        const int count = code.counts[bits];
        if (value - first < count) return code.symbols[index + value - first];
        index += count;
        first = (first + count) << 1;
        value <<= 1;
    }
    return -1;
}

// Inflates one block's symbols in `literals` and `distances` into `out`.
bool InflateCodes(BitReader* in, const Code& literals, const Code& distances, std::size_t limit,
                  std::vector<unsigned char>* out) {
    for (;;) {
        const int symbol = Decode(in, literals);
        if (symbol < 0) return false;
        if (symbol < kEndOfBlock) {
            if (out->size() >= limit) return false;
            out->push_back(static_cast<unsigned char>(symbol));
            continue;
        }
        if (symbol == kEndOfBlock) return true;
        const int lengthIndex = symbol - kFirstLengthSymbol;
        if (lengthIndex >= kLengthSymbols) return false;
        const std::size_t length = LENGTH_BASE[lengthIndex] + in->Bits(LENGTH_EXTRA[lengthIndex]);
        const int distanceSymbol = Decode(in, distances);
        if (distanceSymbol < 0 || distanceSymbol >= kDistanceCodes) return false;
        const std::size_t distance =
            DISTANCE_BASE[distanceSymbol] + in->Bits(DISTANCE_EXTRA[distanceSymbol]);
        if (in->cut || distance > out->size() || length > limit - out->size()) return false;
        const std::size_t from = out->size() - distance;
        for (std::size_t i = 0; i < length; ++i) out->push_back((*out)[from + i]);
    }
}

bool InflateStored(BitReader* in, std::size_t limit, std::vector<unsigned char>* out) {
    const std::size_t at = in->AlignToByte();
    if (in->size() < 4 || at > in->size() - 4) return false;
    const unsigned char* p = in->data() + at;
    const unsigned length = p[0] | p[1] << 8;
    if ((length ^ (p[2] | p[3] << 8)) != 0xFFFFu) return false;
    if (length > in->size() - at - 4 || length > limit - out->size()) return false;
    out->insert(out->end(), p + 4, p + 4 + length);
    in->SkipBytes(4 + length);
    return true;
}

bool InflateFixed(BitReader* in, std::size_t limit, std::vector<unsigned char>* out) {
    Code literals, distances;
    MakeCode(FIXED_LITERAL_CODE.lengths, kLiteralSymbols, &literals);
    MakeCode(FIXED_DISTANCE_CODE.lengths, kDistanceCodes, &distances);
    return InflateCodes(in, literals, distances, limit, out);
}

bool InflateDynamic(BitReader* in, std::size_t limit, std::vector<unsigned char>* out) {
    const int literalCount = static_cast<int>(in->Bits(5)) + kFirstLengthSymbol;
    const int distanceCount = static_cast<int>(in->Bits(5)) + 1;
    const int lengthCodeCount = static_cast<int>(in->Bits(4)) + 4;
    if (in->cut || literalCount > kLiteralCodes || distanceCount > kDistanceCodes) return false;
    std::uint8_t lengths[kLiteralSymbols + kDistanceCodes] = {};
    for (int i = 0; i < lengthCodeCount; ++i) {
        lengths[CODE_LENGTH_ORDER[i]] = static_cast<std::uint8_t>(in->Bits(3));
    }
    Code lengthCode;
    if (!MakeCode(lengths, kCodeLengthSymbols, &lengthCode)) return false;
    const int total = literalCount + distanceCount;
    for (int i = 0; i < total;) {
        const int symbol = Decode(in, lengthCode);
        if (symbol < 0) return false;
        if (symbol < 16) {
            lengths[i++] = static_cast<std::uint8_t>(symbol);
            continue;
        }
        std::uint8_t repeated = 0;
        int times = 0;
        if (symbol == 16) {
            if (i == 0) return false;
            repeated = lengths[i - 1];
            times = 3 + static_cast<int>(in->Bits(2));
        } else if (symbol == 17) {
            times = 3 + static_cast<int>(in->Bits(3));
        } else {
            times = 11 + static_cast<int>(in->Bits(7));
        }
        if (in->cut || i + times > total) return false;
        while (times-- > 0) lengths[i++] = repeated;
    }
    if (lengths[kEndOfBlock] == 0) return false;  // the block could never end
    Code literals, distances;
    if (!MakeCode(lengths, literalCount, &literals) ||
        !MakeCode(lengths + literalCount, distanceCount, &distances)) {
        return false;
    }
    return InflateCodes(in, literals, distances, limit, out);
}

}  // namespace

bool InflateZlib(const unsigned char* data, std::size_t size, std::size_t limit,
                 std::vector<unsigned char>* out) {
    out->clear();
    // The header: deflate with a window of at most 32 KiB, no dictionary, a multiple of 31.
    if (size < 6 || (data[0] & 0x0F) != kDeflateMethod || (data[0] >> 4) + 8 > kMaxWindowBits ||
        (data[1] & 0x20) != 0 || (data[0] << 8 | data[1]) % 31 != 0) {
        return false;
    }
    BitReader in(data + 2, size - 2);
    for (bool last = false; !last;) {
        last = in.Bit() != 0;
        const unsigned type = in.Bits(2);
        if (in.cut) return false;
        const bool inflated = type == 0   ? InflateStored(&in, limit, out)
                              : type == 1 ? InflateFixed(&in, limit, out)
                                          : type == 2 && InflateDynamic(&in, limit, out);
        if (!inflated || in.cut) return false;
    }
    const std::size_t at = in.AlignToByte();
    if (at + 4 > in.size()) return false;
    const unsigned char* p = in.data() + at;
    const std::uint32_t stated =
        std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
    Adler32 adler;
    adler.Append(out->data(), out->size());
    return adler.Value() == stated;
}

}  // namespace qr
