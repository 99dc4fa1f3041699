// A finished symbol as the pipeline keeps it between its steps: its facts and its cells, the form
// the writers read. Inside the library only: callers hold one through a SymbolRecord or a
// SymbolSet (module/encode.h, module/structured.h), and the C API hands out copies.
#pragma once

#include "encoder/module_matrix.h"

namespace qr {

// What a finished symbol is, besides its cells.
struct SymbolFacts {
    int size = 0;
    int version = 0;  // 1..40; Micro QR 1..4
    int level = 0;    // TESSERA_LEVEL_*; kDefaultSetting for M1, which has none
    int mask = 0;
    bool micro = false;
    // Of structured append: this symbol's index from 0 among `partCount` symbols, and the parity
    // of the whole data; `partCount` 0 for a symbol of its own.
    int partIndex = 0;
    int partCount = 0;
    unsigned parity = 0;
    // How full it is: the bits of its stream before the terminator, and the data bits its
    // version holds at its level.
    int dataBits = 0;
    int capacityBits = 0;
};

// A finished symbol: cells 0 light and 1 dark in the square of `size`.
struct Symbol : SymbolFacts {
    ModuleMatrix modules;
};

// How many records of each kind (CQrEncoder, CMicroEncoder, Symbol) are kept for later calls: as
// many calls as may run at the same time without making one.
constexpr int kKeptRecords = 8;

}  // namespace qr
