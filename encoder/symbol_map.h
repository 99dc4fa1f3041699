// The map of a symbol: the role of every module, and for each module that holds a codeword bit,
// which codeword it is and which error-correction block the codeword belongs to. Renderers read it
// to style a symbol region by region and to count what a hidden or misdrawn module costs each
// block. It depends on the kind, version and level alone, never on the data or the mask, and is
// built from the encoders' own drawing of the function patterns and their own placement walk.
// This header includes nothing else of the encoder, so that output/ may read it.
#pragma once

#include <cstdint>

#include "encoder/module_matrix.h"

namespace qr {

enum class SymbolKind : unsigned char {
    kQrCode,   // QR Code Model 2, versions 1-40, levels L, M, Q, H
    kMicroQr,  // Micro QR, versions M1-M4 as 1-4; level -1 for M1, else L, M or Q
    kRmqr,     // rMQR, sizes R7x43-R17x139 as 1-32; level M or H; wider than high
};

enum class ModuleRole : unsigned char {
    kData,  // a bit of a data or error-correction codeword, or a remainder bit after the last
    kFinder,
    kSeparator,
    kTiming,
    kAlignment,
    kFormat,
    kVersion,
    kDarkModule,
    kSubFinder,     // rMQR: the 5 x 5 pattern in the bottom-right corner
    kCornerFinder,  // rMQR: the corner patterns, top right and bottom left
};
constexpr int kModuleRoleCount = 10;

// The most error-correction blocks of a symbol (version 40-H: 20 + 61).
constexpr int kMaxBlocks = 81;
// `block` and `codeword` of a module that holds no codeword bit.
constexpr unsigned char kNoBlock = 0xFF;
constexpr std::int16_t kNoCodeword = -1;

struct MappedModule {
    ModuleRole role;
    unsigned char block;    // the block from 0, or kNoBlock
    std::int16_t codeword;  // its place in the sequence laid in the symbol from 0, or kNoCodeword
    unsigned char bit;      // the codeword's bit held here, 7 the most significant; 0 where none
    // Of a format or version information module: the copy it belongs to, 0 (beside the top-left
    // finder; for version information, the bottom-left one) or 1 (in rMQR, beside the
    // sub-finder); 0 for any other module.
    unsigned char copy;
};

struct BlockInfo {
    int dataCodewords;
    int ecCodewords;
    // The wrong codewords the block's error correction repairs: half its error-correction
    // codewords, less those the smallest symbols keep for misdecode protection (M1: none).
    int correctable;
};

struct SymbolMap {
    SymbolKind kind;
    int version;
    int level;
    int width;          // modules across
    int height;         // modules down: `width` but in rMQR
    int codewordCount;  // data and error correction, as laid (a 4-bit codeword counts as one)
    int blockCount;
    BlockInfo blocks[kMaxBlocks];
    // [x][y], as a ModuleMatrix: the width x height cells of the symbol.
    MappedModule cells[kMaxSymbolSize][kMaxSymbolSize];
};

// Fills `map` with the map of a symbol of `kind`, `version` and `level` (as the encoders take
// them). Returns false, with `map` unspecified, for a version or level that the kind does not
// have, or when the scratch record cannot be had. Never throws.
bool MapSymbol(SymbolKind kind, int version, int level, SymbolMap* map);

}  // namespace qr
