// What the C API's sources share: reading the caller's settings, handing a symbol over and
// copying a line of text into the caller's buffer.
#pragma once

#include <cstddef>
#include <string>

#include "module/pipeline.h"
#include "module/tessera_api.h"

namespace qr {

// Reads the caller's `in` (null: the defaults) into `out` as far as its `size` reaches. Returns
// false when its size is not one this library can read.
bool ReadSettings(const tessera_settings* in, EncodeSettings* out);

// A new tessera_symbol holding `symbol`, or null when no memory can be had.
tessera_symbol* Handed(const Symbol& symbol);

// Writes `message` into the caller's `text` of `capacity` bytes, cut to fit, NUL-terminated.
// Returns whether it fitted whole.
bool CopyText(const std::string& message, char* text, std::size_t capacity);

}  // namespace qr
