// What the C API's functions share (module/api_*.cpp): the symbol handed to a caller, and the
// reading of a caller's structures and arguments into the pipeline's settings. Each reads a
// caller's structure only as far as its `size` reaches.
#pragma once

#include <cstddef>
#include <cstring>
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

// Whether `size` is a size of a caller's `Structure`, whose first field after `size` starts at
// `first`, that this library can take: at least that field, no more than kMaxStructureBytes, and
// not ending inside a field this library knows (every one is `field` bytes wide).
template <typename Structure>
bool SizeTaken(std::size_t size, std::size_t first, std::size_t field = sizeof(int)) {
    if (size < first || size > kMaxStructureBytes) return false;
    return size >= sizeof(Structure) || (size - first) % field == 0;
}

// Whether a caller's structure whose first field after `size` starts at `first` says a size
// this library can take (SizeTaken), with nothing unknown set beyond what it knows. Nothing
// beyond `size` is read.
template <typename Structure>
bool SizeReadable(const Structure* in, std::size_t first, std::size_t field = sizeof(int)) {
    return SizeTaken<Structure>(in->size, first, field) &&
           TailIsZero(in, in->size, sizeof(Structure));
}

// Writes `defaults` into the caller's `record` of `size` bytes, with `size` in its size field:
// as much of `defaults` as fits, zero bytes past what this library knows, nothing past `size`.
// Returns TESSERA_OK; TESSERA_ERROR_BAD_ARGUMENT, with nothing written, for a null `record` or a
// size below `oldest` or not taken (SizeTaken).
template <typename Record>
tessera_status FillRecord(Record* record, std::size_t size, std::size_t oldest, std::size_t first,
                          Record defaults) {
    if (record == nullptr || size < oldest || !SizeTaken<Record>(size, first)) {
        return TESSERA_ERROR_BAD_ARGUMENT;
    }
    defaults.size = size;
    const std::size_t known = size < sizeof defaults ? size : sizeof defaults;
    auto* bytes = reinterpret_cast<unsigned char*>(record);
    std::memcpy(bytes, &defaults, known);
    std::memset(bytes + known, 0, size - known);
    return TESSERA_OK;
}

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

}  // namespace qr
