// Huffman codes for deflate: code lengths of at most a given number of bits made from symbol
// counts, the canonical code of those lengths with each code's bits reversed for writing, and the
// two fixed codes.
#pragma once

#include <cstdint>

namespace qr {

constexpr int kDistanceCodes = 30;  // distance symbols 0-29
constexpr int kMaxCodeBits = 15;    // the longest code deflate allows

// A Huffman code of up to kMostCodes symbols: each symbol's length in bits (0 for unused ones) and
// its bits in the order they are written (the canonical code reversed).
constexpr int kMostCodes = 288;
struct DeflateCode {
    std::uint8_t lengths[kMostCodes];
    std::uint16_t codes[kMostCodes];
};

// The symbols of an alphabet that have a code, in increasing order.
struct CodedSymbols {
    int count = 0;
    int symbol[kMostCodes];
};

// Writes to `lengths` code lengths of at most `limit` bits for the `symbols` symbols counted in
// `counts`, a Huffman code when the counts allow it, and to `coded` the symbols given a code. At
// least two symbols get a code, so that each code is complete.
void CodeLengths(const std::uint32_t* counts, int symbols, int limit, std::uint8_t* lengths,
                 CodedSymbols* coded);

// The canonical code of the `symbols` code lengths `lengths` (RFC 1951, 3.2.2), each code's bits
// reversed for writing; only the `coded` symbols have a length above 0.
DeflateCode Canonical(const std::uint8_t* lengths, int symbols, const CodedSymbols& coded);

// The fixed codes: literals 0-143 in 8 bits, 144-255 in 9, symbols 256-279 in 7, 280-287 in 8;
// distances 0-29 in 5.
const DeflateCode& FixedLiteralCode();
const DeflateCode& FixedDistanceCode();

}  // namespace qr
