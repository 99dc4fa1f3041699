// Huffman code lengths for deflate from counts, by joining the two lightest nodes, halving the
// counts until the deepest code fits.
#include "output/huffman_code.h"

#include <algorithm>
#include <cstring>

namespace qr {

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

}  // namespace qr
