// A finished symbol as the pipeline keeps it between its steps: its facts and its cells, the form
// the writers read. Inside the library only: callers hold one through a SymbolRecord or a
// SymbolSet (module/encode.h, module/structured.h), and the C API hands out copies.
#pragma once

#include "encoder/module_matrix.h"

namespace qr {

// What a finished symbol is, besides its cells.
struct SymbolFacts {
    int size = 0;     // modules across (its width)
    int height = 0;   // modules down: `size` but for rMQR
    int version = 0;  // 1..40; Micro QR 1..4; rMQR 1..32
    int level = 0;    // TESSERA_LEVEL_*; kDefaultSetting for M1, which has none
    int mask = 0;     // 0 for rMQR, which has one fixed mask
    bool micro = false;
    bool rmqr = false;
    bool gs1 = false;
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

// A finished symbol: cells 0 light and 1 dark in `size` columns of `height` rows.
struct Symbol : SymbolFacts {
    ModuleMatrix modules;
};

// How many records of each kind (CQrEncoder, CMicroEncoder, CRmqrEncoder, Symbol) are kept for
// later calls: as many calls as may run at the same time without making one.
constexpr int kKeptRecords = 8;

}  // namespace qr
