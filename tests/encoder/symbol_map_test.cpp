// The symbol map: the roles of versions 1 and 7, of M2 and of R11x43 as pictures, and for every
// version and level (and rMQR size) the codeword and bit of each data cell held against finished
// symbols, the blocks held against an interleaving recomputed from the blocks' own codewords.
#include "encoder/symbol_map.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "encoder/masking.h"
#include "encoder/micro_encoder.h"
#include "encoder/rmqr_encoder.h"
#include "tests/support/test_support.h"

namespace qr {
namespace {

std::unique_ptr<SymbolMap> Map(SymbolKind kind, int version, int level) {
    auto map = std::make_unique<SymbolMap>();
    EXPECT_TRUE(MapSymbol(kind, version, level, map.get()));
    return map;
}

// One character per cell: F finder, S separator, T timing, A alignment, f and g the first and
// second copy of the format information, V and W of the version information, D the dark module,
// U rMQR's sub-finder and C its corner patterns; a data cell is `data(cell)`.
template <class Data>
std::string RolePicture(const SymbolMap& map, Data data) {
    static const char kRoles[2][kModuleRoleCount + 1] = {"?FSTAfVDUC", "?FSTAgWDUC"};
    std::string picture = "\n";
    for (int y = 0; y < map.height; ++y) {
        for (int x = 0; x < map.width; ++x) {
            const MappedModule& cell = map.cells[x][y];
            picture += cell.role == ModuleRole::kData
                           ? data(cell)
                           : kRoles[cell.copy][static_cast<int>(cell.role)];
        }
        picture += '\n';
    }
    return picture;
}

// '.' a codeword bit, ':' a remainder bit.
std::string RolePicture(const SymbolMap& map) {
    return RolePicture(map, [](const MappedModule& c) { return c.codeword < 0 ? ':' : '.'; });
}

TEST(SymbolMap, RolesOfVersionsOneAndSeven) {
    EXPECT_EQ(RolePicture(*Map(SymbolKind::kQrCode, 1, LEVEL_M)), R"(
FFFFFFFSf....SFFFFFFF
FFFFFFFSf....SFFFFFFF
FFFFFFFSf....SFFFFFFF
FFFFFFFSf....SFFFFFFF
FFFFFFFSf....SFFFFFFF
FFFFFFFSf....SFFFFFFF
FFFFFFFSTTTTTSFFFFFFF
SSSSSSSSf....SSSSSSSS
ffffffTff....gggggggg
......T..............
......T..............
......T..............
......T..............
SSSSSSSSD............
FFFFFFFSg............
FFFFFFFSg............
FFFFFFFSg............
FFFFFFFSg............
FFFFFFFSg............
FFFFFFFSg............
FFFFFFFSg............
)");
    EXPECT_EQ(RolePicture(*Map(SymbolKind::kQrCode, 7, LEVEL_M)), R"(
FFFFFFFSf.........................WWWSFFFFFFF
FFFFFFFSf.........................WWWSFFFFFFF
FFFFFFFSf.........................WWWSFFFFFFF
FFFFFFFSf.........................WWWSFFFFFFF
FFFFFFFSf...........AAAAA.........WWWSFFFFFFF
FFFFFFFSf...........AAAAA.........WWWSFFFFFFF
FFFFFFFSTTTTTTTTTTTTAAAAATTTTTTTTTTTTSFFFFFFF
SSSSSSSSf...........AAAAA............SSSSSSSS
ffffffTff...........AAAAA............gggggggg
......T......................................
......T......................................
......T......................................
......T......................................
......T......................................
......T......................................
......T......................................
......T......................................
......T......................................
......T......................................
......T......................................
....AAAAA...........AAAAA...........AAAAA....
....AAAAA...........AAAAA...........AAAAA....
....AAAAA...........AAAAA...........AAAAA....
....AAAAA...........AAAAA...........AAAAA....
....AAAAA...........AAAAA...........AAAAA....
......T......................................
......T......................................
......T......................................
......T......................................
......T......................................
......T......................................
......T......................................
......T......................................
......T......................................
VVVVVVT......................................
VVVVVVT......................................
VVVVVVT.............AAAAA...........AAAAA....
SSSSSSSSD...........AAAAA...........AAAAA....
FFFFFFFSg...........AAAAA...........AAAAA....
FFFFFFFSg...........AAAAA...........AAAAA....
FFFFFFFSg...........AAAAA...........AAAAA....
FFFFFFFSg....................................
FFFFFFFSg....................................
FFFFFFFSg....................................
FFFFFFFSg....................................
)");
}

// M2-L: five data codewords (0-4) then five of error correction (5-9), each cell its codeword.
TEST(SymbolMap, RolesAndCodewordsOfM2) {
    const auto map = Map(SymbolKind::kMicroQr, 2, LEVEL_L);
    EXPECT_EQ(RolePicture(*map, [](const MappedModule& c) { return char('0' + c.codeword); }), R"(
FFFFFFFSTTTTT
FFFFFFFSf3322
FFFFFFFSf3322
FFFFFFFSf3322
FFFFFFFSf3322
FFFFFFFSf4411
FFFFFFFSf4411
SSSSSSSSf4411
Tffffffff4411
T998877665500
T998877665500
T998877665500
T998877665500
)");
}

// R11x43-H: the finder with its separator, the sub-finder (U), the corner patterns (C), one
// alignment pattern on each edge joined by a timing column, a format copy beside each finder, and
// one remainder cell (':') after the 31 codewords.
TEST(SymbolMap, RolesOfAnRmqrSymbol) {
    const auto map = Map(SymbolKind::kRmqr, 12, LEVEL_H);
    EXPECT_EQ(map->width, 43);
    EXPECT_EQ(map->height, 11);
    EXPECT_EQ(RolePicture(*map), R"(
FFFFFFFSTTTTTTTTTTTTAAATTTTTTTTTTTTTTTTTTCT
FFFFFFFSffff........AAA..................CC
FFFFFFFSffff........AAA...................T
FFFFFFFSffff.........T....................T
FFFFFFFSfff..........T....................T
FFFFFFFSfff..........T.............gggggg.T
FFFFFFFS.............T.............gggUUUUU
SSSSSSSS.............T.............gggUUUUU
T:..................AAA............gggUUUUU
CC..................AAA............gggUUUUU
TCTTTTTTTTTTTTTTTTTTAAATTTTTTTTTTTTTTTUUUUU
)");
}

// The codewords of a finished symbol read back through the map: each data cell unmasked into the
// bit the map names, every codeword bit from exactly one cell (a 4-bit codeword's low half from
// none). Then, block by block in the map's order, the error-correction codewords must be those of
// the block's data codewords.
std::vector<int> ReadBack(const SymbolMap& map, const ModuleMatrix& modules, int maskCondition) {
    std::vector<int> codewords(map.codewordCount, 0);
    std::vector<int> seen(map.codewordCount, 0);
    std::vector<int> blockOf(map.codewordCount, kNoBlock);
    for (int x = 0; x < map.width; ++x) {
        for (int y = 0; y < map.height; ++y) {
            const MappedModule& cell = map.cells[x][y];
            if (cell.role != ModuleRole::kData) continue;
            const int bit = modules[x][y] ^ (MaskCondition(maskCondition, x, y) ? 1 : 0);
            if (cell.codeword == kNoCodeword) {
                EXPECT_EQ(bit, 0) << "remainder " << x << "," << y;
                continue;
            }
            codewords[cell.codeword] |= bit << cell.bit;
            blockOf[cell.codeword] = cell.block;
            EXPECT_EQ(seen[cell.codeword] & 1 << cell.bit, 0) << x << "," << y;
            seen[cell.codeword] |= 1 << cell.bit;
        }
    }
    for (int c = 0; c < map.codewordCount; ++c) {
        const bool half = map.kind == SymbolKind::kMicroQr &&
                          (map.version == 1 || map.version == 3) &&
                          c == map.blocks[0].dataCodewords - 1;
        EXPECT_EQ(seen[c], half ? 0xF0 : 0xFF) << "codeword " << c;
    }
    auto rs = std::make_unique<CQrEncoder>();
    std::vector<std::vector<unsigned char>> blocks(map.blockCount);
    for (int c = 0; c < map.codewordCount; ++c) {
        blocks[blockOf[c]].push_back(static_cast<unsigned char>(codewords[c]));
    }
    for (int b = 0; b < map.blockCount; ++b) {
        const BlockInfo& info = map.blocks[b];
        std::vector<unsigned char>& block = blocks[b];
        EXPECT_EQ(static_cast<int>(block.size()), info.dataCodewords + info.ecCodewords) << b;
        std::vector<unsigned char> work(block.begin(), block.begin() + info.dataCodewords);
        work.resize(kMaxBlockCodewords, 0);
        rs->ComputeEcCodewords(work.data(), info.dataCodewords, info.ecCodewords);
        EXPECT_TRUE(std::equal(work.begin(), work.begin() + info.ecCodewords,
                               block.begin() + info.dataCodewords))
            << "block " << b;
    }
    return codewords;
}

TEST(SymbolMap, EveryVersionAndLevelReadsBackTheCodewordsInTheirBlocks) {
    const unsigned seed = 0x3A9;
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    for (int v = kMinVersion; v <= kMaxVersion; ++v) {
        for (int level = LEVEL_L; level <= LEVEL_H; ++level) {
            SCOPED_TRACE("version " + std::to_string(v) + " level " + std::to_string(level));
            test::Bytes data(1 + random() % 20);
            for (auto& byte : data) byte = static_cast<unsigned char>(random());
            const auto encoder = test::EncodeBytes(data, level, v, 0);
            const auto map = Map(SymbolKind::kQrCode, v, level);
            const std::vector<int> codewords =
                ReadBack(*map, encoder->modules, encoder->maskNumber);
            ASSERT_EQ(static_cast<int>(codewords.size()), encoder->totalCodewordCount);
            for (int c = 0; c < encoder->totalCodewordCount; ++c) {
                ASSERT_EQ(codewords[c], encoder->finalCodewords[c]) << "codeword " << c;
            }
        }
    }
    struct Micro {
        int version, level;
    };
    for (const Micro m : std::vector<Micro>{{1, kMicroNoLevel},
                                            {2, LEVEL_L},
                                            {2, LEVEL_M},
                                            {3, LEVEL_L},
                                            {3, LEVEL_M},
                                            {4, LEVEL_L},
                                            {4, LEVEL_M},
                                            {4, LEVEL_Q}}) {
        SCOPED_TRACE("M" + std::to_string(m.version) + " level " + std::to_string(m.level));
        auto encoder = std::make_unique<CMicroEncoder>();
        const unsigned char digits[] = "31415";
        ASSERT_EQ(encoder->Encode(m.level, m.version, 0, -1, digits, 5), 1);
        ReadBack(*Map(SymbolKind::kMicroQr, m.version, m.level), encoder->modules,
                 MICRO_MASK_CONDITIONS[encoder->maskNumber]);
    }
    // rMQR: the codewords as the encoder laid them, and its function cells as the map's.
    auto rmqr = std::make_unique<CRmqrEncoder>();
    for (int v = 1; v <= kRmqrVersionCount; ++v) {
        for (const int level : {LEVEL_M, LEVEL_H}) {
            SCOPED_TRACE("rMQR " + std::to_string(v) + " level " + std::to_string(level));
            test::Bytes data(1 + random() % 2);
            for (auto& byte : data) byte = static_cast<unsigned char>(random());
            ASSERT_EQ(rmqr->Encode(level, v, 0, 0, data.data(), static_cast<int>(data.size())), 1);
            const auto map = Map(SymbolKind::kRmqr, v, level);
            const std::vector<int> codewords = ReadBack(*map, rmqr->modules, RMQR_MASK_CONDITION);
            ASSERT_EQ(static_cast<int>(codewords.size()), RmqrTotalCodewords(RmqrSize(v)));
            for (std::size_t c = 0; c < codewords.size(); ++c) {
                ASSERT_EQ(codewords[c], rmqr->codewords[c]) << "codeword " << c;
            }
            rmqr->PlaceFunctionPatterns();
            for (int x = 0; x < map->width; ++x) {
                for (int y = 0; y < map->height; ++y) {
                    ASSERT_EQ(map->cells[x][y].role == ModuleRole::kData, rmqr->modules[x][y] == 0)
                        << x << "," << y;
                }
            }
        }
    }
}

TEST(SymbolMap, BlocksCorrectHalfTheirErrorCorrectionLessMisdecodeProtection) {
    struct Case {
        SymbolKind kind;
        int version, level;
        int blocks, correctable;  // correctable codewords of the last block
    };
    // clang-format off
    for (const Case& c : std::vector<Case>{
             {SymbolKind::kQrCode, 1, LEVEL_L, 1, 2},  // 7 error-correction codewords, 3 kept
             {SymbolKind::kQrCode, 1, LEVEL_H, 1, 8}, {SymbolKind::kQrCode, 3, LEVEL_L, 1, 7},
             {SymbolKind::kQrCode, 5, LEVEL_Q, 4, 9}, {SymbolKind::kQrCode, 40, LEVEL_H, 81, 15},
             {SymbolKind::kMicroQr, 1, kMicroNoLevel, 1, 0}, {SymbolKind::kMicroQr, 2, LEVEL_L, 1, 1},
             {SymbolKind::kMicroQr, 4, LEVEL_Q, 1, 7},
             {SymbolKind::kRmqr, 1, LEVEL_M, 1, 3},  // R7x43: 7 error-correction codewords
             {SymbolKind::kRmqr, 32, LEVEL_H, 6, 13}}) {
        // clang-format on
        SCOPED_TRACE("version " + std::to_string(c.version) + " level " + std::to_string(c.level));
        const auto map = Map(c.kind, c.version, c.level);
        EXPECT_EQ(map->blockCount, c.blocks);
        EXPECT_EQ(map->blocks[c.blocks - 1].correctable, c.correctable);
    }
}

TEST(SymbolMap, RefusesVersionsAndLevelsTheKindLacks) {
    struct Case {
        SymbolKind kind;
        int version, level;
    };
    auto map = std::make_unique<SymbolMap>();
    // clang-format off
    for (const Case& c : std::vector<Case>{
             {SymbolKind::kQrCode, 0, LEVEL_M}, {SymbolKind::kQrCode, 41, LEVEL_M},
             {SymbolKind::kQrCode, 1, -1}, {SymbolKind::kQrCode, 1, 4},
             {SymbolKind::kMicroQr, 1, LEVEL_L}, {SymbolKind::kMicroQr, 2, kMicroNoLevel},
             {SymbolKind::kMicroQr, 3, LEVEL_Q}, {SymbolKind::kMicroQr, 4, LEVEL_H},
             {SymbolKind::kMicroQr, 5, LEVEL_L}, {SymbolKind::kRmqr, 0, LEVEL_M},
             {SymbolKind::kRmqr, 33, LEVEL_M}, {SymbolKind::kRmqr, 1, LEVEL_L},
             {SymbolKind::kRmqr, 1, LEVEL_Q}}) {
        // clang-format on
        EXPECT_FALSE(MapSymbol(c.kind, c.version, c.level, map.get()))
            << c.version << " " << c.level;
    }
}

}  // namespace
}  // namespace qr
