// The symbol map from the encoders' own steps. A scratch record draws the function patterns as
// Encode does, and its placement walk is read back (ReadWalk) for the codeword of every free cell.
// The roles among the function cells come from the same drawing steps run one kind at a time (the
// finders, the alignment patterns, the version information; in rMQR every pattern) and from the
// tables of the format cells and the dark module; what remains beside the finders is separator,
// and on the timing line, timing.
#include "encoder/symbol_map.h"

#include <cstring>
#include <initializer_list>
#include <memory>
#include <new>

#include "encoder/masking.h"
#include "encoder/micro_encoder.h"
#include "encoder/qr_encoder.h"
#include "encoder/rmqr_encoder.h"
#include "encoder/walk_positions.h"

namespace qr {

namespace {

constexpr int kFinderSize = sizeof FINDER_PATTERN_ROWS;
constexpr int kSeparatorZone = kFinderSize + 1;  // a finder and its separator, a side
constexpr int kTimingLine = 6;                   // QR Code's timing row and column
constexpr int kBitsPerCodeword = 8;

// Codewords that the smallest symbols keep for misdecode protection (ISO/IEC 18004): they
// correct (error-correction codewords - protection) / 2 wrong codewords. Every other symbol
// corrects half its error-correction codewords.
struct Protection {
    SymbolKind kind;
    int version;
    int level;
    int codewords;
};
// clang-format off
constexpr Protection MISDECODE_PROTECTION[] = {
    {SymbolKind::kQrCode, 1, LEVEL_L, 3},      {SymbolKind::kQrCode, 1, LEVEL_M, 2},
    {SymbolKind::kQrCode, 1, LEVEL_Q, 1},      {SymbolKind::kQrCode, 1, LEVEL_H, 1},
    {SymbolKind::kQrCode, 2, LEVEL_L, 2},      {SymbolKind::kQrCode, 3, LEVEL_L, 1},
    {SymbolKind::kMicroQr, 1, kMicroNoLevel, 2},
    {SymbolKind::kMicroQr, 2, LEVEL_L, 3},     {SymbolKind::kMicroQr, 2, LEVEL_M, 2},
    {SymbolKind::kMicroQr, 3, LEVEL_L, 2},     {SymbolKind::kMicroQr, 4, LEVEL_L, 2},
};
// clang-format on

int Correctable(SymbolKind kind, int version, int level, int ecCodewords) {
    int protection = 0;
    for (const Protection& p : MISDECODE_PROTECTION) {
        if (p.kind == kind && p.version == version && p.level == level) protection = p.codewords;
    }
    return (ecCodewords - protection) / 2;
}

// The block of codeword `index` of the sequence laid in a symbol whose blocks are `g1` and then
// the longer `g2`, holding `data` data codewords in all. The data codewords are dealt to the
// blocks in turn, one column of codewords at a time, the longer blocks taking one more column at
// the end; then the error-correction codewords likewise.
int BlockOfCodeword(const RsBlockSpec& g1, const RsBlockSpec& g2, int data, int index) {
    const int blocks = g1.blockCount + g2.blockCount;
    if (index >= data) return (index - data) % blocks;
    const int shared = g1.blockDataCodewords * blocks;
    return index < shared ? index % blocks : g1.blockCount + (index - shared);
}

void ClearSquare(ModuleMatrix& modules, int size) {
    for (int x = 0; x < size; ++x) std::memset(modules[x], 0, static_cast<std::size_t>(size));
}

// The blocks of `map` from its two groups of blocks.
void MapBlocks(const RsBlockSpec& g1, const RsBlockSpec& g2, SymbolMap* map) {
    map->blockCount = 0;
    for (const RsBlockSpec& group : {g1, g2}) {
        for (int b = 0; b < group.blockCount; ++b) {
            const int ec = group.blockCodewords - group.blockDataCodewords;
            map->blocks[map->blockCount++] = {group.blockDataCodewords, ec,
                                              Correctable(map->kind, map->version, map->level, ec)};
        }
    }
}

// The cells of the codeword sequence from the walk's positions; function cells are left alone.
void MapCodewords(const WalkPositions& positions, const ModuleMatrix& functions, SymbolMap* map,
                  int (*blockOf)(const SymbolMap&, int)) {
    for (int x = 0; x < map->width; ++x) {
        for (int y = 0; y < map->height; ++y) {
            if (functions[x][y] & MODULE_FUNCTION) continue;
            MappedModule& cell = map->cells[x][y];
            cell = {ModuleRole::kData, kNoBlock, kNoCodeword, 0, 0};
            if (positions[x][y] == 0) continue;  // a remainder bit
            const int position = positions[x][y] - 1;
            const int codeword = position / kBitsPerCodeword;
            cell.codeword = static_cast<std::int16_t>(codeword);
            cell.block = static_cast<unsigned char>(blockOf(*map, codeword));
            cell.bit =
                static_cast<unsigned char>(kBitsPerCodeword - 1 - position % kBitsPerCodeword);
        }
    }
}

// Whether (x, y) lies in the square of a finder and its separator.
bool InFinderZone(int x, int y, int size) {
    const bool left = x < kSeparatorZone;
    const bool right = x >= size - kSeparatorZone;
    const bool top = y < kSeparatorZone;
    const bool bottom = y >= size - kSeparatorZone;
    return (left && top) || (right && top) || (left && bottom);
}

struct QrScratch {
    CQrEncoder encoder;
    WalkPositions positions;
    ModuleMatrix functions;
};

bool MapQr(int version, int level, SymbolMap* map) {
    if (version < kMinVersion || version > kMaxVersion || level < LEVEL_L || level > LEVEL_H) {
        return false;
    }
    const std::unique_ptr<QrScratch> scratch(new (std::nothrow) QrScratch);
    if (!scratch) return false;
    CQrEncoder& e = scratch->encoder;
    const VersionInfo& info = VERSION_TABLE[version];
    const int s = 4 * version + 17;
    e.version = version;
    e.level = level;
    e.symbolSize = s;
    e.totalCodewordCount = info.totalCodewords;

    map->width = map->height = s;
    map->codewordCount = info.totalCodewords;
    MapBlocks(info.group1Blocks[level], info.group2Blocks[level], map);

    // Every function cell, and the walk over the others.
    ClearSquare(e.modules, s);
    e.PlaceFunctionPatterns();
    ReadWalk(
        s, s, info.totalCodewords * kBitsPerCodeword, e.finalCodewords, e.modules,
        [&e] { e.PlaceCodewords(); }, scratch->positions);
    std::memcpy(scratch->functions, e.modules, sizeof scratch->functions);
    MapCodewords(scratch->positions, scratch->functions, map, [](const SymbolMap& m, int c) {
        const VersionInfo& info = VERSION_TABLE[m.version];
        return BlockOfCodeword(info.group1Blocks[m.level], info.group2Blocks[m.level],
                               info.dataCodewordCount[m.level], c);
    });

    // The function cells, one kind at a time: each kind's own step on a cleared matrix, its cells
    // outside the finders' squares (a finder is drawn with its separator).
    auto assign = [&](ModuleRole role, auto&& draw) {
        ClearSquare(e.modules, s);
        draw();
        for (int x = 0; x < s; ++x) {
            for (int y = 0; y < s; ++y) {
                if ((e.modules[x][y] & MODULE_FUNCTION) && !InFinderZone(x, y, s)) {
                    map->cells[x][y].role = role;
                }
            }
        }
    };
    const int far = s - kFinderSize;
    for (int x = 0; x < s; ++x) {
        for (int y = 0; y < s; ++y) {
            if (!(scratch->functions[x][y] & MODULE_FUNCTION)) continue;
            const bool finder = (x < kFinderSize || x >= far) && (y < kFinderSize || y >= far) &&
                                !(x >= far && y >= far);
            map->cells[x][y] = {finder                  ? ModuleRole::kFinder
                                : InFinderZone(x, y, s) ? ModuleRole::kSeparator
                                                        : ModuleRole::kTiming,
                                kNoBlock, kNoCodeword, 0, 0};
        }
    }
    // Alignment patterns at every pair of the version's centre coordinates, 6 among them, that is
    // not on a finder: the finders are drawn first, as Encode draws them.
    assign(ModuleRole::kAlignment, [&] {
        e.PlaceFinderPattern(0, 0);
        e.PlaceFinderPattern(far, 0);
        e.PlaceFinderPattern(0, far);
        const int n = info.alignmentCount;
        for (int i = -1; i < n; ++i) {
            for (int j = -1; j < n; ++j) {
                e.PlaceAlignmentPattern(i < 0 ? kTimingLine : info.alignmentPositions[i],
                                        j < 0 ? kTimingLine : info.alignmentPositions[j]);
            }
        }
    });
    assign(ModuleRole::kVersion, [&] { e.PlaceVersionInformation(); });
    for (int x = 0; x < s; ++x) {
        for (int y = 0; y < s; ++y) {
            // The top-right block of version information is the second copy.
            if (map->cells[x][y].role == ModuleRole::kVersion && x > y) map->cells[x][y].copy = 1;
        }
    }
    for (const auto& copies : FORMAT_CELLS) {
        for (int copy = 0; copy < kFormatCopies; ++copy) {
            MappedModule& cell =
                map->cells[FromEdge(copies[copy].x, s)][FromEdge(copies[copy].y, s)];
            cell.role = ModuleRole::kFormat;
            cell.copy = static_cast<unsigned char>(copy);
        }
    }
    map->cells[FromEdge(DARK_MODULE.x, s)][FromEdge(DARK_MODULE.y, s)].role =
        ModuleRole::kDarkModule;
    return true;
}

bool MapMicro(int version, int level, SymbolMap* map) {
    if (MicroDataBits(version, level) == 0) return false;
    struct MicroScratch {
        CMicroEncoder encoder;
        WalkPositions positions;
    };
    const std::unique_ptr<MicroScratch> scratch(new (std::nothrow) MicroScratch);
    if (!scratch) return false;
    CMicroEncoder& e = scratch->encoder;
    e.MapWalk(version, level, scratch->positions);
    const MicroVersionInfo& info = MICRO_VERSION_TABLE[version];
    const int s = e.symbolSize;
    const int ec = info.ecCodewords[level + 1];  // slot = level + 1 (tables.h)

    map->width = map->height = s;
    map->codewordCount = info.totalCodewords;
    map->blockCount = 1;
    map->blocks[0] = {info.totalCodewords - ec, ec,
                      Correctable(SymbolKind::kMicroQr, version, level, ec)};
    MapCodewords(scratch->positions, e.modules, map, [](const SymbolMap&, int) { return 0; });
    for (int x = 0; x < s; ++x) {
        for (int y = 0; y < s; ++y) {
            if (!(e.modules[x][y] & MODULE_FUNCTION)) continue;
            const ModuleRole role = x < kFinderSize && y < kFinderSize ? ModuleRole::kFinder
                                    : x < kSeparatorZone && y < kSeparatorZone
                                        ? ModuleRole::kSeparator
                                        : ModuleRole::kTiming;
            map->cells[x][y] = {role, kNoBlock, kNoCodeword, 0, 0};
        }
    }
    for (const EdgeCell& cell : MICRO_FORMAT_CELLS) {
        map->cells[cell.x][cell.y].role = ModuleRole::kFormat;
    }
    return true;
}

// rMQR: the walk as the encoder lays it, each bit unmasked as it lands, and the roles from its
// drawing of one pattern at a time, in the order the whole drawing lays them.
bool MapRmqr(int version, int level, SymbolMap* map) {
    if (RmqrDataCodewords(version, level) == 0) return false;
    struct RmqrScratch {
        CRmqrEncoder encoder;
        WalkPositions positions;
        ModuleMatrix functions;
    };
    const std::unique_ptr<RmqrScratch> scratch(new (std::nothrow) RmqrScratch);
    if (!scratch) return false;
    CRmqrEncoder& e = scratch->encoder;
    const RmqrSizeInfo& row = RmqrSize(version);
    const int slot = RmqrSlotOf(level);
    const int w = row.width;
    const int h = row.height;
    e.version = version;
    e.level = level;
    e.width = w;
    e.height = h;
    map->width = w;
    map->height = h;
    map->codewordCount = RmqrTotalCodewords(row);
    MapBlocks(row.group1Blocks[slot], row.group2Blocks[slot], map);

    e.PlaceFunctionPatterns();
    std::memcpy(scratch->functions, e.modules, sizeof scratch->functions);
    ReadWalk(
        w, h, map->codewordCount * kBitsPerCodeword, e.codewords, e.modules,
        [&e, w, h] {
            e.PlaceCodewords();
            for (int x = 0; x < w; ++x) {
                for (int y = 0; y < h; ++y) {
                    unsigned char& cell = e.modules[x][y];
                    if (cell & MODULE_FUNCTION) continue;
                    const bool bit =
                        (cell & MODULE_DARK) != MaskCondition(RMQR_MASK_CONDITION, x, y);
                    cell = bit ? MODULE_DATA_BIT : 0;
                }
            }
        },
        scratch->positions);
    MapCodewords(scratch->positions, scratch->functions, map, [](const SymbolMap& m, int c) {
        const RmqrSizeInfo& size = RmqrSize(m.version);
        const int levelSlot = RmqrSlotOf(m.level);
        return BlockOfCodeword(size.group1Blocks[levelSlot], size.group2Blocks[levelSlot],
                               RmqrDataCodewordsAt(size, levelSlot), c);
    });

    const struct {
        RmqrPattern part;
        ModuleRole role;
    } kParts[] = {
        {RMQR_TIMING, ModuleRole::kTiming},        {RMQR_FINDER, ModuleRole::kFinder},
        {RMQR_CORNERS, ModuleRole::kCornerFinder}, {RMQR_SUB_FINDER, ModuleRole::kSubFinder},
        {RMQR_ALIGNMENT, ModuleRole::kAlignment},  {RMQR_FORMAT, ModuleRole::kFormat},
    };
    for (const auto& part : kParts) {
        e.PlaceFunctionPatterns(part.part);
        for (int x = 0; x < w; ++x) {
            for (int y = 0; y < h; ++y) {
                if (!(e.modules[x][y] & MODULE_FUNCTION)) continue;
                ModuleRole role = part.role;
                if (role == ModuleRole::kFinder && (x >= kFinderSize || y >= kFinderSize)) {
                    role = ModuleRole::kSeparator;
                }
                // The second copy of the format information lies beside the sub-finder.
                const bool second = role == ModuleRole::kFormat && 2 * x > w;
                map->cells[x][y] = {role, kNoBlock, kNoCodeword, 0,
                                    static_cast<unsigned char>(second ? 1 : 0)};
            }
        }
    }
    return true;
}

}  // namespace

bool MapSymbol(SymbolKind kind, int version, int level, SymbolMap* map) {
    map->kind = kind;
    map->version = version;
    map->level = level;
    switch (kind) {
        case SymbolKind::kQrCode:
            return MapQr(version, level, map);
        case SymbolKind::kMicroQr:
            return MapMicro(version, level, map);
        case SymbolKind::kRmqr:
            return MapRmqr(version, level, map);
    }
    return false;
}

}  // namespace qr
