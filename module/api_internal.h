// What the C API's sources share: reading a caller's structures as far as their `size` reaches,
// the symbol a caller holds, and texts written into a caller's buffer. Not part of the API.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>

#include "module/pipeline.h"
#include "module/tessera_api.h"

namespace qr {

// The most bytes a caller's structure may say it has: far more than any version of this library
// will know, and a bound on what is read when `size` is not what the caller's header set.
constexpr std::size_t kMaxStructureBytes = 4096;

// Bytes of a caller's structure beyond what this library knows must be zero: a setting the
// library cannot honour is refused, not ignored.
inline bool TailIsZero(const void* structure, std::size_t size, std::size_t known) {
    const auto* bytes = static_cast<const unsigned char*>(structure);
    for (std::size_t i = known; i < size; ++i) {
        if (bytes[i] != 0) return false;
    }
    return true;
}

// Whether a caller's structure whose first field after `size` starts at `first` says a size
// this library can read: at least its own field, no more than kMaxStructureBytes, not ending
// inside a field this library knows (every one is `field` bytes wide), and nothing unknown set
// beyond what it knows. Nothing beyond `size` is read.
template <typename Structure>
bool SizeReadable(const Structure* in, std::size_t first, std::size_t field = sizeof(int)) {
    const std::size_t size = in->size;
    if (size < first || size > kMaxStructureBytes) return false;
    if (size < sizeof(Structure) && (size - first) % field != 0) return false;
    return TailIsZero(in, size, sizeof(Structure));
}

// Reads the caller's options for `format` (checked later, with the options) into `out`; null
// leaves the defaults. Returns false when their `size` is not readable.
bool ReadOptions(const tessera_render_options* in, int format, OutputSettings* out);

// Writes `message` into the caller's `text` of `capacity` bytes, cut to fit, NUL-terminated.
// Returns whether it fitted whole.
bool CopyText(const std::string& message, char* text, std::size_t capacity);

// Stores the number of `bytes` at *size and copies them into `buffer` when it is not null and
// `capacity` holds them. Returns TESSERA_OK, or TESSERA_ERROR_BUFFER_TOO_SMALL with nothing
// written.
inline Status HandOver(const std::string& bytes, void* buffer, std::size_t capacity,
                       std::size_t* size) {
    *size = bytes.size();
    if (buffer == nullptr || capacity < bytes.size()) return TESSERA_ERROR_BUFFER_TOO_SMALL;
    std::memcpy(buffer, bytes.data(), bytes.size());
    return TESSERA_OK;
}

// `symbol`'s facts and cells copied into `record`, the form the writers read; returns `*record`.
const Symbol& Unpacked(const tessera_symbol* symbol, Symbol* record);

}  // namespace qr
