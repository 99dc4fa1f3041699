// How full a symbol is, for the JavaScript package's page: the bits its data takes and the bits
// its version holds at its level. Built only into the WebAssembly module (js/CMakeLists.txt).
#include <cstddef>
#include <memory>
#include <new>

#include "encoder/qr_encoder.h"
#include "encoder/tables.h"
#include "module/tessera_api.h"

extern "C" {

// Stores at *used_bits the bits that `length` bytes at `data` (UTF-8 text marked as such when
// `utf8` is non-zero) take in a QR Code symbol of `version` (1-40), and at *capacity_bits the data
// bits that `version` holds at `level` (TESSERA_LEVEL_L..H). Returns TESSERA_OK;
// TESSERA_ERROR_BAD_ARGUMENT for a null pointer, an empty or longer input than a stream holds, or a
// version or level out of range; TESSERA_ERROR_CANNOT_ENCODE when the data does not fit the
// version; TESSERA_ERROR_NO_MEMORY.
TESSERA_API_FUNCTION tessera_status tessera_js_fill(const void* data, size_t length, int version,
                                                    int level, int utf8, int* used_bits,
                                                    int* capacity_bits) {
    if (data == nullptr || used_bits == nullptr || capacity_bits == nullptr || length == 0 ||
        length > static_cast<size_t>(qr::kMaxStreamInputBytes) || version < 1 ||
        version > qr::kMaxVersion || level < TESSERA_LEVEL_L || level > TESSERA_LEVEL_H) {
        return TESSERA_ERROR_BAD_ARGUMENT;
    }
    std::unique_ptr<qr::CQrEncoder> encoder(new (std::nothrow) qr::CQrEncoder);
    if (!encoder) return TESSERA_ERROR_NO_MEMORY;
    encoder->utf8Eci = utf8 != 0;
    const int capacity = qr::VERSION_TABLE[version].dataCodewordCount[level] * 8;
    if (!encoder->EncodeSegments(static_cast<const unsigned char*>(data), static_cast<int>(length),
                                 qr::VersionGroupOf(version)) ||
        encoder->dataBitCount > capacity) {
        return TESSERA_ERROR_CANNOT_ENCODE;
    }
    *used_bits = encoder->dataBitCount;
    *capacity_bits = capacity;
    return TESSERA_OK;
}

}  // extern "C"
