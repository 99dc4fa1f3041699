// The symbol matrix: function patterns (finders, separators, the reserved format area, version
// information, alignment and timing patterns) and the zig-zag placement of the codewords.
#include <cstdint>
#include <cstring>

#include "encoder/cell_words.h"
#include "encoder/masking.h"
#include "encoder/qr_encoder.h"
#include "encoder/tables.h"

namespace qr {

namespace {

constexpr int kFinderSize = 7;
constexpr int kAlignmentSize = 5;
constexpr int kTimingLine = 6;  // the row and the column of the timing patterns
constexpr int kFirstVersionWithVersionInfo = 7;
constexpr int kVersionInfoGenerator = 0x1F25;  // x^12 + x^11 + x^10 + x^9 + x^8 + x^5 + x^2 + 1

unsigned char FunctionCell(bool dark) {
    return dark ? MODULE_DARK_FUNCTION : MODULE_LIGHT_FUNCTION;
}

// Eight function cells, byte k dark where byte k of `dark` is 1.
cells::Word FunctionCells(cells::Word dark) {
    return dark * MODULE_FUNCTION_DARK + cells::kEachByte * MODULE_FUNCTION;
}

// Codeword placement, eight rows of a column pair at a time: a window of three codeword bytes
// holds any 16 bits from any bit position.
constexpr int kRowsAtOnce = 8;
constexpr int kWindowBits = 24;
constexpr std::uint64_t kFunctionFlags = cells::kEachByte * MODULE_FUNCTION;

// Bits 0, 2, 4, ..., 14 of `field`, as bits 0..7.
unsigned EvenBits(unsigned field) {
    unsigned t = field & 0x5555;
    t = (t | t >> 1) & 0x3333;
    t = (t | t >> 2) & 0x0F0F;
    return (t | t >> 4) & 0x00FF;
}

// The 16 bits of `field` in reverse order.
unsigned Reverse16(unsigned field) {
    field = ((field >> 1) & 0x5555) | ((field & 0x5555) << 1);
    field = ((field >> 2) & 0x3333) | ((field & 0x3333) << 2);
    field = ((field >> 4) & 0x0F0F) | ((field & 0x0F0F) << 4);
    return ((field >> 8) & 0x00FF) | ((field & 0x00FF) << 8);
}

}  // namespace

int VersionInfoWord(int version) {
    int r = version << 12;
    for (int n = 5; n >= 0; --n) {
        if (r & (1 << (n + 12))) r ^= kVersionInfoGenerator << n;
    }
    return (version << 12) + r;
}

namespace {

typedef unsigned char Chunk16 __attribute__((vector_size(16)));
typedef unsigned char Chunk32 __attribute__((vector_size(32)));

// Clears the first `count` cells of a column with stores of one Chunk each, the last one
// overlapping the one before: fewer stores than a library clear makes. Cells up to the Chunk's
// size are cleared even where `count` is smaller.
template <class Chunk>
__attribute__((always_inline)) inline void ClearColumn(unsigned char* column, int count) {
    constexpr int kBytes = sizeof(Chunk);
    static_assert(kBytes <= kMaxSymbolSize, "a store stays in its column");
    const Chunk zero = {};
    for (int at = 0; at + kBytes < count; at += kBytes) std::memcpy(column + at, &zero, kBytes);
    std::memcpy(column + (count > kBytes ? count - kBytes : 0), &zero, kBytes);
}

// Clears the square of the first `size` cells of the first `size` columns.
void ClearSquare(ModuleMatrix& modules, int size) {
    for (int x = 0; x < size; ++x) ClearColumn<Chunk16>(modules[x], size);
}

#if defined(__x86_64__)
// With 32-byte stores where the processor has them.
__attribute__((target("avx"))) void ClearSquareWithAvx(ModuleMatrix& modules, int size) {
    for (int x = 0; x < size; ++x) ClearColumn<Chunk32>(modules[x], size);
}
#endif

}  // namespace

// Only the square that holds cells other than 0 is cleared.
void CQrEncoder::ClearModules() {
#if defined(__x86_64__)
    if (__builtin_cpu_supports("avx")) {
        ClearSquareWithAvx(modules, writtenSize);
        writtenSize = symbolSize;
        return;
    }
#endif
    ClearSquare(modules, writtenSize);
    writtenSize = symbolSize;
}

void CQrEncoder::BuildSymbol() {
    ClearModules();
    PlaceFunctionPatterns();
    PlaceCodewords();
    ChooseMask();
}

void CQrEncoder::PlaceFunctionPatterns() {
    const int s = symbolSize;
    PlaceFinderPattern(0, 0);
    PlaceFinderPattern(s - kFinderSize, 0);
    PlaceFinderPattern(0, s - kFinderSize);

    // The format cells and the dark module's cell stay light until masking.
    for (const auto& copies : FORMAT_CELLS) {
        for (const EdgeCell& cell : copies) {
            modules[FromEdge(cell.x, s)][FromEdge(cell.y, s)] = MODULE_LIGHT_FUNCTION;
        }
    }
    modules[FromEdge(DARK_MODULE.x, s)][FromEdge(DARK_MODULE.y, s)] = MODULE_LIGHT_FUNCTION;

    PlaceVersionInformation();

    const VersionInfo& info = VERSION_TABLE[version];
    const int n = info.alignmentCount;
    const int* p = info.alignmentPositions;
    for (int i = 0; i < n; ++i) {
        PlaceAlignmentPattern(p[i], kTimingLine);
        PlaceAlignmentPattern(kTimingLine, p[i]);
        for (int j = 0; j < n; ++j) PlaceAlignmentPattern(p[i], p[j]);
    }

    PlaceTimingPatterns();
}

// Eight cells at a time: byte k of `rows` is row k of the pattern, so bit b of each byte is one
// column of it (the leftmost column in the highest bit of the pattern's width).
void CQrEncoder::PlaceFinderPattern(int x0, int y0) {
    cells::Word rows = 0;  // the eighth row is the separator's
    std::memcpy(&rows, FINDER_PATTERN_ROWS, kFinderSize);
    const bool separatorBelow = y0 == 0;
    const int top = separatorBelow ? y0 : y0 - 1;
    for (int dx = 0; dx < kFinderSize; ++dx) {
        cells::Word column = FunctionCells((rows >> (kFinderSize - 1 - dx)) & cells::kEachByte);
        if (!separatorBelow) column = column << 8 | MODULE_LIGHT_FUNCTION;
        cells::StoreEight(modules[x0 + dx] + top, column);
    }
    const int separatorX = x0 == 0 ? kFinderSize : x0 - 1;
    cells::StoreEight(modules[separatorX] + top, FunctionCells(0));
}

void CQrEncoder::PlaceAlignmentPattern(int cx, int cy) {
    if (modules[cx][cy] & MODULE_FUNCTION) return;
    constexpr cells::Word kPattern = (cells::Word{1} << 8 * kAlignmentSize) - 1;  // its 5 cells
    cells::Word rows = 0;
    std::memcpy(&rows, ALIGNMENT_PATTERN_ROWS, kAlignmentSize);
    for (int dx = 0; dx < kAlignmentSize; ++dx) {
        unsigned char* at = modules[cx - 2 + dx] + cy - 2;
        const cells::Word column =
            FunctionCells((rows >> (kAlignmentSize - 1 - dx)) & cells::kEachByte);
        cells::StoreEight(at, (cells::LoadEight(at) & ~kPattern) | (column & kPattern));
    }
}

void CQrEncoder::PlaceVersionInformation() {
    if (version < kFirstVersionWithVersionInfo) return;
    const int word = VersionInfoWord(version);
    const int s = symbolSize;
    for (int i = 0; i < 6; ++i) {
        for (int j = 0; j < 3; ++j) {
            const unsigned char cell = FunctionCell((word >> (3 * i + j)) & 1);
            modules[i][s - 11 + j] = cell;  // bottom-left block, 6 wide and 3 high
            modules[s - 11 + j][i] = cell;  // top-right block, its transpose
        }
    }
}

// Drawn last: overwrites the reserved cells (8, 6) and (6, 8) and the middle lines of the
// alignment patterns on row or column 6 with the same values.
void CQrEncoder::PlaceTimingPatterns() {
    for (int t = 8; t <= symbolSize - 9; ++t) {
        const unsigned char cell = FunctionCell(t % 2 == 0);
        modules[kTimingLine][t] = cell;
        modules[t][kTimingLine] = cell;
    }
}

// The walk covers column pairs from the right edge leftwards, right cell before left cell,
// upwards and downwards in turn, skipping the timing column and every function cell. Cells left
// over after the last codeword keep their cleared value.
//
// Eight rows of a pair that are all free take the next 16 bits at once: the walk gives them in
// turn to the right and the left cell of each row, so the even bits of the field go to the right
// column and the odd bits to the left, in walk order.
void CQrEncoder::PlaceCodewords() {
    const int s = symbolSize;
    const int totalBits = totalCodewordCount * 8;
    int bit = 0;  // the next bit of finalCodewords to lay
    auto layOne = [&](unsigned char& cell) {
        if ((cell & MODULE_FUNCTION) || bit == totalBits) return;
        cell = ((finalCodewords[bit >> 3] >> (7 - (bit & 7))) & 1) ? MODULE_DATA_BIT : 0;
        ++bit;
    };
    bool upwards = true;
    for (int right = s - 1; right >= 1; right -= 2) {
        if (right == kTimingLine) right = kTimingLine - 1;
        unsigned char* const rightCells = modules[right];
        unsigned char* const leftCells = modules[right - 1];
        // Groups of eight rows in walk order, by their lowest row; a last group of fewer rows.
        for (int done = 0; done < s; done += kRowsAtOnce) {
            const int rows = s - done < kRowsAtOnce ? s - done : kRowsAtOnce;
            const int low = upwards ? s - done - rows : done;
            if (bit + kWindowBits > totalBits) {
                // The end of the stream: cell by cell, so that nothing is read beyond it.
                for (int i = 0; i < rows; ++i) {
                    const int y = upwards ? low + rows - 1 - i : low + i;
                    layOne(rightCells[y]);
                    layOne(leftCells[y]);
                }
                continue;
            }
            // The next bits of the stream, at least 17, the next one in bit 23.
            const unsigned char* at = finalCodewords + (bit >> 3);
            unsigned window = (static_cast<unsigned>(at[0]) << 16 | at[1] << 8 | at[2])
                              << (bit & 7);
            if (rows == kRowsAtOnce &&
                ((cells::LoadEight(rightCells + low) | cells::LoadEight(leftCells + low)) &
                 kFunctionFlags) == 0) {
                unsigned field = (window >> 8) & 0xFFFF;  // the first bit highest
                bit += 2 * kRowsAtOnce;
                // Walking down, the first bits belong to the lowest row: reverse the field so that
                // bit 2i goes to row low + i either way.
                field = upwards ? field : Reverse16(field);
                const unsigned rightBits = EvenBits(upwards ? field >> 1 : field);
                const unsigned leftBits = EvenBits(upwards ? field : field >> 1);
                cells::StoreEight(rightCells + low, cells::SpreadBits(rightBits) * MODULE_DATA_BIT);
                cells::StoreEight(leftCells + low, cells::SpreadBits(leftBits) * MODULE_DATA_BIT);
                continue;
            }
            // Some function cells: the free ones take the next bits one by one.
            auto layNext = [&](unsigned char& cell) {
                if (cell & MODULE_FUNCTION) return;
                cell = ((window >> (kWindowBits - 1)) & 1) ? MODULE_DATA_BIT : 0;
                window <<= 1;
                ++bit;
            };
            for (int i = 0; i < rows; ++i) {
                const int y = upwards ? low + rows - 1 - i : low + i;
                layNext(rightCells[y]);
                layNext(leftCells[y]);
            }
        }
        upwards = !upwards;
    }
}

}  // namespace qr
