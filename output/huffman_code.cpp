// Huffman codes for deflate: lengths from counts by joining the two lightest nodes, halving the
// counts until the deepest code fits; canonical codes from lengths.
#include "output/huffman_code.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace qr {

namespace {

// Each byte with its bits in the reverse order.
constexpr std::array<std::uint8_t, 256> ReversedBytes() {
    std::array<std::uint8_t, 256> table{};
    for (unsigned b = 0; b < 256; ++b) {
        unsigned r = 0;
        for (int i = 0; i < 8; ++i) r |= ((b >> i) & 1) << (7 - i);
        table[b] = static_cast<std::uint8_t>(r);
    }
    return table;
}
constexpr std::array<std::uint8_t, 256> REVERSED_BYTES = ReversedBytes();

// Every one of `symbols` symbols, for a code that gives each a length.
CodedSymbols AllSymbols(int symbols) {
    CodedSymbols all;
    all.count = symbols;
    for (int s = 0; s < symbols; ++s) all.symbol[s] = s;
    return all;
}

}  // namespace

// Writes to `lengths` code lengths of at most `limit` bits for the `symbols` symbols counted in
// `counts`, a Huffman code when the counts allow it, and to `coded` the symbols given a code. At
// least two symbols get a code, so that each code is complete.
void CodeLengths(const std::uint32_t* counts, int symbols, int limit, std::uint8_t* lengths,
                 CodedSymbols* coded) {
    // Each leaf's weight << 16 | its symbol, so that sorting them orders ties by symbol.
    std::uint64_t leaf[kMostCodes];
    int leaves = 0;
    for (int group = 0; group < symbols; group += 4) {
        // Four counts at once: most symbols of an alphabet are never used.
        std::uint64_t four[2];
        if (group + 4 <= symbols &&
            (std::memcpy(four, counts + group, sizeof four), (four[0] | four[1]) == 0)) {
            continue;
        }
        for (int s = group; s < std::min(group + 4, symbols); ++s) {
            if (counts[s] != 0)
                leaf[leaves++] = std::uint64_t{counts[s]} << 16 | static_cast<unsigned>(s);
        }
    }
    for (int s = 0; s < symbols && leaves < 2; ++s) {
        if (counts[s] == 0) leaf[leaves++] = std::uint64_t{1} << 16 | static_cast<unsigned>(s);
    }
    std::fill(lengths, lengths + symbols, 0);
    coded->count = leaves;
    for (int i = 0; i < leaves; ++i) coded->symbol[i] = static_cast<int>(leaf[i] & 0xFFFF);
    std::sort(coded->symbol, coded->symbol + leaves);
    // Leaves sorted by weight (ties by symbol), then the two lightest of the leaves and the merged
    // nodes joined until one is left: merged nodes come in order of weight, so two queues suffice.
    std::uint64_t weight[2 * kMostCodes];
    int parent[2 * kMostCodes];
    int depth[2 * kMostCodes];
    for (;;) {
        std::sort(leaf, leaf + leaves);
        for (int i = 0; i < leaves; ++i) weight[i] = leaf[i] >> 16;
        int nodes = leaves;
        int nextLeaf = 0;
        int nextMerged = leaves;
        auto lightest = [&]() {
            const bool isLeaf = nextLeaf < leaves &&
                                (nextMerged >= nodes || weight[nextLeaf] <= weight[nextMerged]);
            return isLeaf ? nextLeaf++ : nextMerged++;
        };
        for (int joined = 0; joined < leaves - 1; ++joined) {
            const int a = lightest();
            const int b = lightest();
            weight[nodes] = weight[a] + weight[b];
            parent[a] = parent[b] = nodes++;
        }
        // Depths from the root down: a node's parent comes after it.
        depth[nodes - 1] = 0;
        int deepest = 0;
        for (int n = nodes - 2; n >= 0; --n) {
            depth[n] = depth[parent[n]] + 1;
            if (n < leaves) deepest = std::max(deepest, depth[n]);
        }
        if (deepest <= limit) {
            for (int i = 0; i < leaves; ++i)
                lengths[leaf[i] & 0xFFFF] = static_cast<std::uint8_t>(depth[i]);
            return;
        }
        for (int i = 0; i < leaves; ++i) leaf[i] = ((leaf[i] >> 17) | 1) << 16 | (leaf[i] & 0xFFFF);
    }
}

// The canonical code of the `symbols` code lengths `lengths` (RFC 1951, 3.2.2), each code's bits
// reversed for writing; only the `coded` symbols have a length above 0.
DeflateCode Canonical(const std::uint8_t* lengths, int symbols, const CodedSymbols& coded) {
    DeflateCode code{};
    std::copy(lengths, lengths + symbols, code.lengths);
    int count[kMaxCodeBits + 1] = {};
    for (int i = 0; i < coded.count; ++i) ++count[lengths[coded.symbol[i]]];
    unsigned next[kMaxCodeBits + 2] = {};
    for (int bits = 1; bits <= kMaxCodeBits; ++bits)
        next[bits] = (next[bits - 1] + count[bits - 1]) << 1;
    for (int i = 0; i < coded.count; ++i) {
        const int s = coded.symbol[i];
        const int bits = lengths[s];
        const unsigned value = next[bits]++;
        const unsigned reversed =
            unsigned{REVERSED_BYTES[value & 0xFF]} << 8 | REVERSED_BYTES[(value >> 8) & 0xFF];
        code.codes[s] = static_cast<std::uint16_t>(reversed >> (16 - bits));
    }
    return code;
}

// The fixed codes: literals 0-143 in 8 bits, 144-255 in 9, symbols 256-279 in 7, 280-287 in 8;
// distances in 5.
const DeflateCode& FixedLiteralCode() {
    static const DeflateCode code = [] {
        std::uint8_t lengths[kMostCodes];
        std::fill(lengths, lengths + 144, 8);
        std::fill(lengths + 144, lengths + 256, 9);
        std::fill(lengths + 256, lengths + 280, 7);
        std::fill(lengths + 280, lengths + kMostCodes, 8);
        return Canonical(lengths, kMostCodes, AllSymbols(kMostCodes));
    }();
    return code;
}

const DeflateCode& FixedDistanceCode() {
    static const DeflateCode code = [] {
        std::uint8_t lengths[kDistanceCodes];
        std::fill(lengths, lengths + kDistanceCodes, 5);
        return Canonical(lengths, kDistanceCodes, AllSymbols(kDistanceCodes));
    }();
    return code;
}

}  // namespace qr
