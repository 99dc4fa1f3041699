// What the C API's functions share (module/api_*.cpp): the symbol handed to a caller, and the
// reading of a caller's structures and arguments into the pipeline's settings. Each reads a
// caller's structure only as far as its `size` reaches.
#pragma once

#include <cstddef>
#include <string>

#include "module/settings.h"
#include "module/symbol.h"
#include "module/tessera_api.h"

// A symbol handed to the caller, in one block of the size it needs: its facts, then its cells (0 or
// 1) column by column, size x size of them.
struct tessera_symbol {
    qr::SymbolFacts symbol;
};

namespace qr {

// The format argument that takes the format from a path's extension.
constexpr int kFormatFromPath = -1;

// Reads the caller's `in` (null: the defaults) into `out`. Returns false for a `size` field this
// library cannot read (tessera_check_settings says which).
bool ReadSettings(const tessera_settings* in, EncodeSettings* out);

// Reads the caller's options `in` (null: the defaults) for `format` into `out`; they are checked
// later, with the format. Returns false for a `size` field this library cannot read.
bool ReadOptions(const tessera_render_options* in, int format, OutputSettings* out);

// A new tessera_symbol holding `symbol`, or null when no memory can be had.
tessera_symbol* Handed(const Symbol& symbol);

// `symbol`'s facts and cells copied into `record`, the form the writers read; returns `*record`.
const Symbol& Unpacked(const tessera_symbol* symbol, Symbol* record);

// Writes `message` into the caller's `text` of `capacity` bytes, cut to fit, NUL-terminated.
// Returns whether it fitted whole.
bool CopyText(const std::string& message, char* text, std::size_t capacity);

}  // namespace qr
