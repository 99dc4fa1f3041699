// Deflate of our own: tokens are counted as they are added; finishing builds the two Huffman codes
// from the counts (longest codes shortened by halving the counts until they fit), writes the
// block's header with its run-length coded code lengths, then every token.
#include "output/deflate.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "output/deflate_tables.h"
#include "output/huffman_code.h"

namespace qr {

namespace {

constexpr int kEndOfBlock = 256;
constexpr int kMaxCodeLengthBits = 7;
// Code-length symbols: 16 repeats the last length 3-6 times, 17 zero 3-10 times, 18 zero 11-138.
constexpr int kRepeatLast = 16;
constexpr int kRepeatZero = 17;
constexpr int kRepeatZeroLong = 18;

// The symbol of a copy's length or distance, its extra bits and their value.
struct Coded {
    int symbol;
    int extraBits;
    unsigned extra;
};

Coded DistanceCode(int distance) {
    const unsigned symbol = DistanceSymbol(static_cast<std::uint32_t>(distance));
    return {static_cast<int>(symbol), DISTANCE_EXTRA[symbol],
            static_cast<unsigned>(distance - DISTANCE_BASE[symbol])};
}

// The Coded of every length, 0..2 unused.
constexpr std::array<Coded, kMaxCopyLength + 1> LengthCodes() {
    std::array<Coded, kMaxCopyLength + 1> table{};
    for (int length = kMinCopyLength; length <= kMaxCopyLength; ++length) {
        const int i = LENGTH_INDEX[static_cast<std::size_t>(length)];
        table[static_cast<std::size_t>(length)] = {kFirstLengthSymbol + i, LENGTH_EXTRA[i],
                                                   static_cast<unsigned>(length - LENGTH_BASE[i])};
    }
    return table;
}
constexpr std::array<Coded, kMaxCopyLength + 1> LENGTH_CODES = LengthCodes();

}  // namespace

// Bits written from the least significant end of each byte, as deflate packs them.
class DeflateBits {
public:
    // Bytes go to `out` onwards; the caller makes room for all of them.
    explicit DeflateBits(unsigned char* out) : out_(out) {}

    void Put(std::uint32_t value, int count) {
        pending_ |= std::uint64_t{value} << pendingBits_;
        pendingBits_ += count;
        if (pendingBits_ >= 32) {
            std::uint32_t low = static_cast<std::uint32_t>(pending_);
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
            low = __builtin_bswap32(low);
#endif
            std::memcpy(out_, &low, sizeof low);  // the first bits in the first byte
            out_ += sizeof low;
            pending_ >>= 32;
            pendingBits_ -= 32;
        }
    }

    // Writes the bits still held, the last byte padded with zero bits; returns the end.
    unsigned char* Flush() {
        for (; pendingBits_ > 0; pendingBits_ -= 8) {
            *out_++ = static_cast<unsigned char>(pending_);
            pending_ >>= 8;
        }
        pendingBits_ = 0;
        return out_;
    }

private:
    unsigned char* out_;
    std::uint64_t pending_ = 0;
    int pendingBits_ = 0;
};

namespace {

// The literal/length and distance code lengths, one sequence, as code-length symbols: a symbol
// below 16 is a length; 16, 17 and 18 carry their repeat count in `extra`.
struct CodeLengthSymbol {
    int symbol;
    int extra;
};

// Writes the code-length symbols of the `size` lengths `lengths` to `symbols` (room for `size`);
// returns their count.
int RunLengths(const std::uint8_t* lengths, int size, CodeLengthSymbol* symbols) {
    int count = 0;
    for (int i = 0; i < size;) {
        const int value = lengths[i];
        int run = 1;
        if (value == 0) {  // unused symbols come in long runs: eight looked at a time
            std::uint64_t eight;
            while (i + run + 8 <= size &&
                   (std::memcpy(&eight, lengths + i + run, sizeof eight), eight == 0)) {
                run += 8;
            }
        }
        while (i + run < size && lengths[i + run] == value) ++run;
        int left = run;
        if (value == 0) {
            while (left >= 11) {
                const int n = std::min(left, 138);
                symbols[count++] = {kRepeatZeroLong, n};
                left -= n;
            }
            if (left >= 3) {
                symbols[count++] = {kRepeatZero, left};
                left = 0;
            }
        } else {
            symbols[count++] = {value, 0};
            --left;
            while (left >= 3) {
                const int n = std::min(left, 6);
                symbols[count++] = {kRepeatLast, n};
                left -= n;
            }
        }
        for (; left > 0; --left) symbols[count++] = {value, 0};
        i += run;
    }
    return count;
}

}  // namespace

void DeflateStream::CopyPieces(std::size_t length, int distance) {
    // Pieces of the longest length, the last two shortened so that neither is below the minimum.
    while (length > 0) {
        std::size_t piece = std::min<std::size_t>(length, kMaxCopyLength);
        if (length > kMaxCopyLength && length - piece < kMinCopyLength)
            piece = length - kMinCopyLength;
        AddCopy(static_cast<int>(piece), distance);
        length -= piece;
    }
}

void DeflateStream::AddCopy(int length, int distance) {
    tokens_.push_back(static_cast<std::uint32_t>(length) << 16 |
                      static_cast<std::uint32_t>(distance));
    const Coded& l = LENGTH_CODES[static_cast<std::size_t>(length)];
    const Coded d = DistanceCode(distance);
    ++literalCounts_[l.symbol];
    ++distanceCounts_[d.symbol];
    extraBits_ += static_cast<std::uint64_t>(l.extraBits + d.extraBits);
}

void ByteCodeBits(const std::uint32_t counts[256], std::uint8_t bits[256]) {
    std::uint8_t lengths[256];
    CodedSymbols coded;
    CodeLengths(counts, 256, kMaxCodeBits, lengths, &coded);
    for (int b = 0; b < 256; ++b) bits[b] = counts[b] != 0 ? lengths[b] : 0;
}

CodedCopy CopySymbols(int length, int distance) {
    const Coded& l = LENGTH_CODES[static_cast<std::size_t>(length)];
    const Coded d = DistanceCode(distance);
    return {l.symbol, l.extraBits, d.symbol, d.extraBits};
}

int LengthSymbol(int length) {
    return LENGTH_CODES[static_cast<std::size_t>(length)].symbol;
}

int LengthExtraBits(int symbol) {
    return LENGTH_EXTRA[symbol - kFirstLengthSymbol];
}

void DeflateStream::FinishZlib(std::uint32_t adler, std::string* out) const {
    // CMF: deflate with a 32 KB window; FLG: no dictionary, check bits making CMF.FLG a multiple
    // of 31.
    *out += '\x78';
    *out += '\x5E';
    std::uint32_t literalCounts[kLiteralCodes];
    std::copy(literalCounts_, literalCounts_ + kLiteralCodes, literalCounts);
    literalCounts[kEndOfBlock] = 1;
    std::uint8_t literalLengths[kLiteralCodes];
    CodedSymbols codedLiterals;
    CodeLengths(literalCounts, kLiteralCodes, kMaxCodeBits, literalLengths, &codedLiterals);
    const DeflateCode literals = Canonical(literalLengths, kLiteralCodes, codedLiterals);
    std::uint8_t distanceLengths[kDistanceCodes];
    CodedSymbols codedDistances;
    CodeLengths(distanceCounts_, kDistanceCodes, kMaxCodeBits, distanceLengths, &codedDistances);
    const DeflateCode distances = Canonical(distanceLengths, kDistanceCodes, codedDistances);

    // The header of codes of the block's own: counts of codes given, the code-length code, then
    // both codes' lengths.
    int literalsGiven = kLiteralCodes;
    while (literalsGiven > 257 && literals.lengths[literalsGiven - 1] == 0) --literalsGiven;
    int distancesGiven = kDistanceCodes;
    while (distancesGiven > 1 && distances.lengths[distancesGiven - 1] == 0) --distancesGiven;
    std::uint8_t allLengths[kLiteralCodes + kDistanceCodes];
    std::copy(literals.lengths, literals.lengths + literalsGiven, allLengths);
    std::copy(distances.lengths, distances.lengths + distancesGiven, allLengths + literalsGiven);
    CodeLengthSymbol symbolsOfLengths[kLiteralCodes + kDistanceCodes];
    const int lengthSymbolCount =
        RunLengths(allLengths, literalsGiven + distancesGiven, symbolsOfLengths);
    const CodeLengthSymbol* const lengthSymbols = symbolsOfLengths;
    const CodeLengthSymbol* const lengthSymbolsEnd = symbolsOfLengths + lengthSymbolCount;
    std::uint32_t lengthCounts[kCodeLengthSymbols] = {};
    for (const CodeLengthSymbol* l = lengthSymbols; l != lengthSymbolsEnd; ++l)
        ++lengthCounts[l->symbol];
    std::uint8_t lengthLengths[kCodeLengthSymbols];
    CodedSymbols codedLengths;
    CodeLengths(lengthCounts, kCodeLengthSymbols, kMaxCodeLengthBits, lengthLengths, &codedLengths);
    const DeflateCode lengthCode = Canonical(lengthLengths, kCodeLengthSymbols, codedLengths);
    int lengthsGiven = kCodeLengthSymbols;
    while (lengthsGiven > 4 && lengthCode.lengths[CODE_LENGTH_ORDER[lengthsGiven - 1]] == 0) {
        --lengthsGiven;
    }

    // The block's size with those codes and with the fixed ones (RFC 1951, 3.2.6), less the extra
    // bits that both have.
    std::uint64_t ownBits = 5 + 5 + 4 + 3 * static_cast<std::uint64_t>(lengthsGiven);
    for (const CodeLengthSymbol* l = lengthSymbols; l != lengthSymbolsEnd; ++l) {
        ownBits += lengthCode.lengths[l->symbol] + (l->symbol == kRepeatLast       ? 2
                                                    : l->symbol == kRepeatZero     ? 3
                                                    : l->symbol == kRepeatZeroLong ? 7
                                                                                   : 0);
    }
    std::uint64_t fixedBits = 0;
    const DeflateCode& fixedLiterals = FIXED_LITERAL_CODE;
    const DeflateCode& fixedDistances = FIXED_DISTANCE_CODE;
    for (int i = 0; i < codedLiterals.count; ++i) {  // the symbols counted, and perhaps others
        const int s = codedLiterals.symbol[i];
        ownBits += std::uint64_t{literalCounts[s]} * literals.lengths[s];
        fixedBits += std::uint64_t{literalCounts[s]} * fixedLiterals.lengths[s];
    }
    for (int i = 0; i < codedDistances.count; ++i) {
        const int s = codedDistances.symbol[i];
        ownBits += std::uint64_t{distanceCounts_[s]} * distances.lengths[s];
        fixedBits += std::uint64_t{distanceCounts_[s]} * fixedDistances.lengths[s];
    }

    // Room for the block, its extra bits and its first three bits, then eight bytes spare for the
    // bit writer.
    const std::size_t start = out->size();
    out->resize(start + (3 + std::min(ownBits, fixedBits) + extraBits_) / 8 + 1 + 8);
    DeflateBits bits(reinterpret_cast<unsigned char*>(&(*out)[start]));
    bits.Put(1, 1);  // the final block
    if (fixedBits <= ownBits) {
        bits.Put(1, 2);
        PutTokens(&bits, fixedLiterals, fixedDistances);
    } else {
        bits.Put(2, 2);
        bits.Put(static_cast<std::uint32_t>(literalsGiven - 257), 5);
        bits.Put(static_cast<std::uint32_t>(distancesGiven - 1), 5);
        bits.Put(static_cast<std::uint32_t>(lengthsGiven - 4), 4);
        for (int i = 0; i < lengthsGiven; ++i)
            bits.Put(lengthCode.lengths[CODE_LENGTH_ORDER[i]], 3);
        for (const CodeLengthSymbol* l = lengthSymbols; l != lengthSymbolsEnd; ++l) {
            bits.Put(lengthCode.codes[l->symbol], lengthCode.lengths[l->symbol]);
            if (l->symbol == kRepeatLast) bits.Put(static_cast<std::uint32_t>(l->extra - 3), 2);
            if (l->symbol == kRepeatZero) bits.Put(static_cast<std::uint32_t>(l->extra - 3), 3);
            if (l->symbol == kRepeatZeroLong)
                bits.Put(static_cast<std::uint32_t>(l->extra - 11), 7);
        }
        PutTokens(&bits, literals, distances);
    }
    const unsigned char* end = bits.Flush();
    out->resize(
        static_cast<std::size_t>(end - reinterpret_cast<const unsigned char*>(out->data())));
    for (int shift = 24; shift >= 0; shift -= 8) *out += static_cast<char>((adler >> shift) & 0xFF);
}

void DeflateStream::PutTokens(DeflateBits* out, const DeflateCode& literals,
                              const DeflateCode& distances) const {
    // A copy's length code and its extra bits go in one piece, its distance code and its extra
    // bits in another. The writer is a local copy meanwhile, so that its state can stay in
    // registers: the bytes it writes could alias it where it is.
    DeflateBits writer = *out;
    DeflateBits* const bits = &writer;
    for (const std::uint32_t token : tokens_) {
        if (token < 256) {
            bits->Put(literals.codes[token], literals.lengths[token]);
            continue;
        }
        const Coded& length = LENGTH_CODES[token >> 16];
        const int lengthBits = literals.lengths[length.symbol];
        bits->Put(literals.codes[length.symbol] | length.extra << lengthBits,
                  lengthBits + length.extraBits);
        const Coded distance = DistanceCode(static_cast<int>(token & 0xFFFF));
        const int distanceBits = distances.lengths[distance.symbol];
        bits->Put(distances.codes[distance.symbol] | distance.extra << distanceBits,
                  distanceBits + distance.extraBits);
    }
    bits->Put(literals.codes[kEndOfBlock], literals.lengths[kEndOfBlock]);
    *out = writer;
}

}  // namespace qr
