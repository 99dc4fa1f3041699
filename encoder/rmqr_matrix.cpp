// The rMQR matrix: the finder, sub-finder, corner and alignment patterns, timing lines and two
// copies of the format information; the codewords laid in the free cells under the one fixed
// mask. The steps are plain loops over cells, except that Encode builds the matrix a column at a
// time from bit masks of its rows (at most 17, BuildColumnsByBands), beside the cell-by-cell rule
// it equals (PlaceCodewords and FinishSymbol).
#include <cstdint>
#include <cstring>

#include "encoder/cell_words.h"
#include "encoder/masking.h"
#include "encoder/rmqr_encoder.h"

namespace qr {

namespace {

constexpr int kFinderSize = 7;
constexpr int kSeparatorLine = 7;  // the column beside the finder, and the row below it
constexpr int kSubFinderSize = 5;
constexpr int kFirstLeftTimingRow = 8;    // the left edge's timing starts below the separator
constexpr int kFirstRightTimingRow = 2;   // the right edge's timing starts below the corner
constexpr int kMinHeightWithCorner = 11;  // the bottom-left corner's second row needs room
constexpr int kFormatRows = 5;            // each copy's 15 bits run in columns of 5
constexpr int kFormatColumnBits = 15;     // the bits of each copy laid in those columns
constexpr int kFinderFormatColumn = 8;
constexpr int kFinderFormatLastColumn = 11;  // bits 15-17 of the finder's copy, rows 1-3
constexpr int kSubFinderFormatOffset = 8;  // the sub-finder's copy starts 8 columns from the right

// The cells of a column that the steps after the function patterns work on, in whole words: the
// rows of the highest symbol and the rest of their last word.
constexpr int kColumnWords = (kRmqrMaxHeight + 7) / 8;
constexpr int kColumnBytes = 8 * kColumnWords;

unsigned char FunctionCell(bool dark) {
    return dark ? MODULE_DARK_FUNCTION : MODULE_LIGHT_FUNCTION;
}

}  // namespace

// Timing first, so that every pattern after it wins where they meet.
void CRmqrEncoder::PlaceFunctionPatterns(unsigned parts) {
    const int w = width;
    const int h = height;
    for (int x = 0; x < w; ++x) {
        std::memset(modules[x], 0, kColumnBytes);
        functionRows[x] = darkFunctionRows[x] = 0;
    }
    auto set = [this](int x, int y, bool dark) {
        modules[x][y] = FunctionCell(dark);
        const std::uint32_t row = 1u << y;
        functionRows[x] |= row;
        darkFunctionRows[x] = (darkFunctionRows[x] & ~row) | (dark ? row : 0);
    };

    // Timing along the top from the separator on, the whole bottom, the left edge below the
    // separator and the right edge between the corner and the sub-finder.
    if (parts & RMQR_TIMING) {
        for (int x = kSeparatorLine; x < w; ++x) set(x, 0, x % 2 == 0);
        for (int x = 0; x < w; ++x) set(x, h - 1, x % 2 == 0);
        for (int y = kFirstLeftTimingRow; y < h; ++y) set(0, y, y % 2 == 0);
        for (int y = kFirstRightTimingRow; y <= h - 1 - kSubFinderSize; ++y)
            set(w - 1, y, y % 2 == 0);
    }

    // The finder and its separator: the column beside it, and the row below it where there is one.
    if (parts & RMQR_FINDER) {
        for (int y = 0; y < kFinderSize; ++y) {
            for (int x = 0; x < kFinderSize; ++x) {
                set(x, y, (FINDER_PATTERN_ROWS[y] >> (kFinderSize - 1 - x)) & 1);
            }
        }
        for (int y = 0; y <= kSeparatorLine && y < h; ++y) set(kSeparatorLine, y, false);
        if (h > kSeparatorLine + 1) {
            for (int x = 0; x < kSeparatorLine; ++x) set(x, kSeparatorLine, false);
        }
    }

    // The corner patterns: top right, and bottom left where the finder leaves room.
    if (parts & RMQR_CORNERS) {
        set(w - 2, 0, true);
        set(w - 2, 1, false);
        set(w - 1, 1, true);
        set(1, h - 1, true);
        if (h >= kMinHeightWithCorner) {
            set(0, h - 2, true);
            set(1, h - 2, false);
        }
    }

    // The sub-finder in the bottom-right corner.
    for (int dy = 0; dy < kSubFinderSize && (parts & RMQR_SUB_FINDER); ++dy) {
        for (int dx = 0; dx < kSubFinderSize; ++dx) {
            set(w - kSubFinderSize + dx, h - kSubFinderSize + dy,
                (ALIGNMENT_PATTERN_ROWS[dy] >> (kSubFinderSize - 1 - dx)) & 1);
        }
    }

    // Alignment patterns on the top and bottom edges, joined by a timing column.
    const RmqrAlignmentColumns& alignment = RmqrAlignmentOf(w);
    for (int i = 0; i < alignment.count; ++i) {
        const int cx = alignment.columns[i];
        for (int dx = -1; dx <= 1 && (parts & RMQR_ALIGNMENT); ++dx) {
            for (int dy = -1; dy <= 1; ++dy) {
                const bool dark = dx != 0 || dy != 0;
                set(cx + dx, 1 + dy, dark);
                set(cx + dx, h - 2 + dy, dark);
            }
        }
        for (int y = 3; y <= h - 4 && (parts & RMQR_TIMING); ++y) set(cx, y, y % 2 == 0);
    }
    if (!(parts & RMQR_FORMAT)) return;

    // The format information: 15 bits in columns of 5 beside each finder, and 3 more.
    const int data = RMQR_LEVEL_BITS[RmqrSlotOf(level)] << kRmqrSizeNumberBits | (version - 1);
    const int word = VersionInfoWord(data);
    const int finderCopy = word ^ RMQR_FINDER_FORMAT_MASK;
    const int subFinderCopy = word ^ RMQR_SUB_FINDER_FORMAT_MASK;
    const int subFinderColumn = w - kSubFinderFormatOffset;
    const int subFinderRow = h - 1 - kSubFinderSize;
    for (int bit = 0; bit < kFormatColumnBits; ++bit) {
        set(kFinderFormatColumn + bit / kFormatRows, 1 + bit % kFormatRows,
            (finderCopy >> bit) & 1);
        set(subFinderColumn + bit / kFormatRows, subFinderRow + bit % kFormatRows,
            (subFinderCopy >> bit) & 1);
    }
    for (int bit = kFormatColumnBits; bit < kRmqrFormatBits; ++bit) {
        set(kFinderFormatLastColumn, 1 + bit - kFormatColumnBits, (finderCopy >> bit) & 1);
        set(subFinderColumn + kFormatColumnBits / kFormatRows + bit - kFormatColumnBits,
            subFinderRow, (subFinderCopy >> bit) & 1);
    }
}

// The same patterns in the same order, each laid over a run of rows of one column at once. The
// finder and the sub-finder are symmetric about their diagonal, so column i of each is its row i.
void CRmqrEncoder::MarkFunctionRows() {
    const int w = width;
    const int h = height;
    const std::uint32_t top = 1;
    const std::uint32_t bottom = 1u << (h - 1);
    const std::uint32_t evenRows = 0x55555u & ((1u << h) - 1);
    // Rows first..last (inclusive; none when last < first).
    auto runOf = [](int first, int last) {
        return last < first ? 0 : ((2u << last) - 1) & ~((1u << first) - 1);
    };
    auto set = [this](int x, std::uint32_t rows, std::uint32_t dark) {
        functionRows[x] |= rows;
        darkFunctionRows[x] = (darkFunctionRows[x] & ~rows) | (dark & rows);
    };

    // Timing along the top (the finder's columns redrawn below) and the bottom, the left edge
    // below the separator and the right edge between the corner and the sub-finder.
    for (int x = 0; x < w; ++x) {
        functionRows[x] = top | bottom;
        darkFunctionRows[x] = x % 2 == 0 ? top | bottom : 0;
    }
    set(0, runOf(kFirstLeftTimingRow, h - 1), evenRows);
    set(w - 1, runOf(kFirstRightTimingRow, h - 1 - kSubFinderSize), evenRows);

    // The finder and its separator.
    for (int x = 0; x < kFinderSize; ++x) set(x, runOf(0, kFinderSize - 1), FINDER_PATTERN_ROWS[x]);
    set(kSeparatorLine, runOf(0, std::min(kSeparatorLine, h - 1)), 0);
    if (h > kSeparatorLine + 1) {
        for (int x = 0; x < kSeparatorLine; ++x) set(x, 1u << kSeparatorLine, 0);
    }

    // The corner patterns.
    set(w - 2, top, top);
    set(w - 2, top << 1, 0);
    set(w - 1, top << 1, top << 1);
    set(1, bottom, bottom);
    if (h >= kMinHeightWithCorner) {
        set(0, bottom >> 1, bottom >> 1);
        set(1, bottom >> 1, 0);
    }

    // The sub-finder.
    const int subFinderTop = h - kSubFinderSize;
    for (int dx = 0; dx < kSubFinderSize; ++dx) {
        set(w - kSubFinderSize + dx, runOf(subFinderTop, h - 1),
            static_cast<std::uint32_t>(ALIGNMENT_PATTERN_ROWS[dx]) << subFinderTop);
    }

    // The alignment patterns and their timing columns.
    const std::uint32_t alignmentRows = runOf(0, 2) | runOf(h - 3, h - 1);
    const std::uint32_t centres = top << 1 | bottom >> 1;
    const RmqrAlignmentColumns& alignment = RmqrAlignmentOf(w);
    for (int i = 0; i < alignment.count; ++i) {
        const int cx = alignment.columns[i];
        set(cx - 1, alignmentRows, alignmentRows);
        set(cx, alignmentRows, alignmentRows & ~centres);
        set(cx + 1, alignmentRows, alignmentRows);
        set(cx, runOf(3, h - 4), evenRows);
    }

    // The format information: columns of 5 bits, then 3 more.
    const int data = RMQR_LEVEL_BITS[RmqrSlotOf(level)] << kRmqrSizeNumberBits | (version - 1);
    const int word = VersionInfoWord(data);
    const std::uint32_t finderCopy = static_cast<std::uint32_t>(word ^ RMQR_FINDER_FORMAT_MASK);
    const std::uint32_t subFinderCopy =
        static_cast<std::uint32_t>(word ^ RMQR_SUB_FINDER_FORMAT_MASK);
    const int subFinderColumn = w - kSubFinderFormatOffset;
    const int subFinderRow = h - 1 - kSubFinderSize;
    const std::uint32_t columnBits = (1u << kFormatRows) - 1;
    for (int c = 0; c < kFormatColumnBits / kFormatRows; ++c) {
        const int shift = kFormatRows * c;
        set(kFinderFormatColumn + c, columnBits << 1, (finderCopy >> shift & columnBits) << 1);
        set(subFinderColumn + c, columnBits << subFinderRow,
            (subFinderCopy >> shift & columnBits) << subFinderRow);
    }
    const int extraBits = kRmqrFormatBits - kFormatColumnBits;
    set(kFinderFormatLastColumn, runOf(1, extraBits), (finderCopy >> kFormatColumnBits) << 1);
    for (int i = 0; i < extraBits; ++i) {
        set(subFinderColumn + kFormatColumnBits / kFormatRows + i, 1u << subFinderRow,
            (subFinderCopy >> (kFormatColumnBits + i) & 1) << subFinderRow);
    }
}

// The rule cell by cell: column pairs from one in from the right edge leftwards, right cell
// before left cell, upwards and downwards in turn; the function cells of the timing columns are
// passed over one by one. Each cell takes its bit masked at once: the symbol has one mask, and
// nothing is scored. Encode builds the same cells with BuildColumnsByBands.
void CRmqrEncoder::PlaceCodewords() {
    const int bits = 8 * RmqrTotalCodewords(RmqrSize(version));
    int bit = 0;
    bool upwards = true;
    for (int right = width - 2; right >= 1; right -= 2, upwards = !upwards) {
        for (int i = 0; i < height; ++i) {
            const int y = upwards ? height - 1 - i : i;
            for (int x = right; x >= right - 1; --x) {
                unsigned char& cell = modules[x][y];
                if (cell & MODULE_FUNCTION) continue;
                const bool one = bit < bits && ((codewords[bit / 8] >> (7 - bit % 8)) & 1);
                cell = one != MaskCondition(RMQR_MASK_CONDITION, x, y) ? MODULE_DARK : 0;
                ++bit;
            }
        }
    }
}

namespace {

// Bits 0, 2, 4, ... of `t` as bits 0, 1, 2, ...
std::uint32_t EvenBits(std::uint32_t t) {
    t &= 0x55555555u;
    t = (t | t >> 1) & 0x33333333u;
    t = (t | t >> 2) & 0x0F0F0F0Fu;
    t = (t | t >> 4) & 0x00FF00FFu;
    return (t | t >> 8) & 0x0000FFFFu;
}

// Each byte value with its bits in reverse order.
struct ReversedBytes {
    unsigned char of[256];
};

constexpr ReversedBytes MakeReversedBytes() {
    ReversedBytes t{};
    for (int b = 0; b < 256; ++b) {
        for (int i = 0; i < 8; ++i) {
            if ((b >> i) & 1) t.of[b] = static_cast<unsigned char>(t.of[b] | 0x80 >> i);
        }
    }
    return t;
}

constexpr ReversedBytes REVERSED_BYTES = MakeReversedBytes();

// The low `n` (1..16) bits of `t` in reverse order.
std::uint32_t ReverseBits(std::uint32_t t, int n) {
    const std::uint32_t reversed = static_cast<std::uint32_t>(REVERSED_BYTES.of[t & 0xFF]) << 8 |
                                   REVERSED_BYTES.of[(t >> 8) & 0xFF];
    return reversed >> (16 - n);
}

// The rows (bit y for row y) whose cells the mask inverts in a column whose third (column / 3)
// is even (index 0) or odd (index 1): those whose half (row / 2) is the same.
constexpr std::uint32_t MASKED_ROWS[2] = {0x33333333u, 0xCCCCCCCCu};

// The first row of the run of rows `rows` (bit y for row y; not 0), and the row after its last.
int RunStart(std::uint32_t rows) {
    return __builtin_ctz(rows);
}
int RunEnd(std::uint32_t rows) {
    return 32 - __builtin_clz(rows);
}

// Eight cells of 0 or 1 for each byte of bits (bit i into cell i), as SpreadBits makes them.
struct SpreadBytes {
    cells::Word of[256];
};

constexpr SpreadBytes MakeSpreadBytes() {
    SpreadBytes t{};
    for (int b = 0; b < 256; ++b) {
        for (int i = 0; i < 8; ++i) t.of[b] |= static_cast<cells::Word>((b >> i) & 1) << (8 * i);
    }
    return t;
}

constexpr SpreadBytes SPREAD_BYTES = MakeSpreadBytes();

}  // namespace

// The free rows of every column are one run or none, so a pair splits into at most three bands
// of rows, in each of which both columns or one of them have free cells; most pairs are one band
// of both. A band takes its bits from one window of the stream: where both columns are free, the
// right one the even bits and the left one the odd bits, in the order of the walk. Each column's
// bits, masked, join its dark function cells, and the column is written whole, a word of cells
// at a time.
void CRmqrEncoder::BuildColumnsByBands() {
    using cells::Word;
    static_assert(kColumnWords == 3, "a column is written in three words");
    const std::uint32_t rows = (1u << height) - 1;
    // Column x finished from the data bits (of its free rows) in `bits`.
    auto writeColumn = [this, rows](int x, std::uint32_t bits) {
        const std::uint32_t dark =
            darkFunctionRows[x] | ((bits ^ MASKED_ROWS[(x / 3) % 2]) & ~functionRows[x] & rows);
        cells::StoreEight(modules[x], SPREAD_BYTES.of[dark & 0xFF]);
        cells::StoreEight(modules[x] + 8, SPREAD_BYTES.of[(dark >> 8) & 0xFF]);
        cells::StoreEight(modules[x] + 16, SPREAD_BYTES.of[dark >> 16]);
    };
    int bit = 0;
    // The next `taken` bits of the stream, the first laid the highest; the bytes beyond the last
    // codeword are 0.
    auto take = [this, &bit](int taken) {
        const Word window = __builtin_bswap64(cells::LoadEight(codewords + (bit >> 3)));
        const std::uint32_t next =
            static_cast<std::uint32_t>((window << (bit & 7)) >> (64 - taken));
        bit += taken;
        return next;
    };
    bool upwards = true;
    for (int right = width - 2; right >= 1; right -= 2, upwards = !upwards) {
        const int left = right - 1;
        const std::uint32_t fr = ~functionRows[right] & rows;
        const std::uint32_t fl = ~functionRows[left] & rows;
        std::uint32_t bitsRight = 0;
        std::uint32_t bitsLeft = 0;
        // Laid upwards, the first bit goes to the band's bottom row.
        auto inRows = [upwards](std::uint32_t laid, int first, int n) {
            return (upwards ? laid : ReverseBits(laid, n)) << first;
        };
        if (fr == fl) {
            if (fr != 0) {
                const int first = RunStart(fr);
                const int n = RunEnd(fr) - first;
                const std::uint32_t next = take(2 * n);
                bitsRight = inRows(EvenBits(next >> 1), first, n);
                bitsLeft = inRows(EvenBits(next), first, n);
            }
            writeColumn(right, bitsRight);
            writeColumn(left, bitsLeft);
            continue;
        }
        // The edges of the bands, ascending.
        int edges[4];
        int count = 0;
        for (const std::uint32_t run : {fr, fl}) {
            if (run == 0) continue;
            edges[count++] = RunStart(run);
            edges[count++] = RunEnd(run);
        }
        if (count == 4) {
            std::sort(edges, edges + count);
            count = static_cast<int>(std::unique(edges, edges + count) - edges);
        }
        for (int b = 0; b + 1 < count; ++b) {
            const int lower = upwards ? count - 2 - b : b;
            const int first = edges[lower];
            const int n = edges[lower + 1] - first;
            const bool inRight = (fr >> first) & 1;
            const bool inLeft = (fl >> first) & 1;
            if (inRight && inLeft) {
                const std::uint32_t next = take(2 * n);
                bitsRight |= inRows(EvenBits(next >> 1), first, n);
                bitsLeft |= inRows(EvenBits(next), first, n);
            } else if (inRight || inLeft) {
                (inRight ? bitsRight : bitsLeft) |= inRows(take(n), first, n);
            }
        }
        writeColumn(right, bitsRight);
        writeColumn(left, bitsLeft);
    }
    writeColumn(width - 1, 0);
}

void CRmqrEncoder::FinishSymbol() {
    for (int x = 0; x < width; ++x) {
        for (int y = 0; y < kColumnBytes; ++y)
            modules[x][y] = modules[x][y] & MODULE_ANY_DARK ? 1 : 0;
    }
}

}  // namespace qr
