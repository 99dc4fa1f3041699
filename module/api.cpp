// The C API's encoding: one symbol or a structured-append set, the reasons when they cannot be
// made, and the facts and modules of a symbol handed out. Each function checks its arguments and
// lets no exception out.
#include <cstddef>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "encoder/rmqr_encoder.h"
#include "module/api_calls.h"
#include "module/encode.h"
#include "module/structured.h"

namespace qr {
namespace {

const unsigned char* CellsOf(const tessera_symbol* symbol) {
    return reinterpret_cast<const unsigned char*>(symbol + 1);
}

// The caller's arguments of structured append, read and encoded into `parts`; `why` says what
// failed.
Status EncodeSet(const void* data, std::size_t length, const tessera_settings* settings, int count,
                 SymbolSet* parts, std::string* why) {
    EncodeSettings read;
    if ((data == nullptr && length > 0) || !ReadSettings(settings, &read)) {
        return TESSERA_ERROR_BAD_ARGUMENT;
    }
    Encoder encoder;
    return EncodeStructured(&encoder, static_cast<const unsigned char*>(data), length, read, count,
                            parts, why);
}

}  // namespace

tessera_symbol* Handed(const Symbol& symbol) {
    const auto width = static_cast<std::size_t>(symbol.size);
    const auto height = static_cast<std::size_t>(symbol.height);
    void* block = ::operator new(sizeof(tessera_symbol) + width * height, std::nothrow);
    if (block == nullptr) return nullptr;
    tessera_symbol* handed = new (block) tessera_symbol{symbol};
    auto* cells = reinterpret_cast<unsigned char*>(handed + 1);
    for (std::size_t x = 0; x < width; ++x) {
        std::memcpy(cells + x * height, symbol.modules[x], height);
    }
    return handed;
}

const Symbol& Unpacked(const tessera_symbol* symbol, Symbol* record) {
    static_cast<SymbolFacts&>(*record) = symbol->symbol;
    const auto width = static_cast<std::size_t>(symbol->symbol.size);
    const auto height = static_cast<std::size_t>(symbol->symbol.height);
    for (std::size_t x = 0; x < width; ++x) {
        std::memcpy(record->modules[x], CellsOf(symbol) + x * height, height);
    }
    return *record;
}

}  // namespace qr

using qr::Status;

extern "C" {

tessera_status tessera_encode(const void* data, size_t length, const tessera_settings* settings,
                              tessera_symbol** symbol) try {
    if (symbol == nullptr) return TESSERA_ERROR_BAD_ARGUMENT;
    *symbol = nullptr;
    qr::EncodeSettings read;
    if ((data == nullptr && length > 0) || !qr::ReadSettings(settings, &read)) {
        return TESSERA_ERROR_BAD_ARGUMENT;
    }
    // Settings that are refused take no record.
    if (qr::CheckEncodeSettings(read, false, nullptr) != TESSERA_OK) {
        return TESSERA_ERROR_BAD_ARGUMENT;
    }
    qr::Encoder encoder;
    if (!encoder.Ready()) return TESSERA_ERROR_NO_MEMORY;
    qr::SymbolRecord record;
    if (record.get() == nullptr) return TESSERA_ERROR_NO_MEMORY;
    const Status status =
        encoder.Encode(static_cast<const unsigned char*>(data), length, read, record.get());
    if (status != TESSERA_OK) return status;
    *symbol = qr::Handed(*record.get());
    return *symbol != nullptr ? TESSERA_OK : TESSERA_ERROR_NO_MEMORY;
} catch (...) {
    return TESSERA_ERROR_NO_MEMORY;
}

tessera_status tessera_explain_encode_failure(const void* data, size_t length,
                                              const tessera_settings* settings, char* text,
                                              size_t capacity) try {
    qr::EncodeSettings read;
    if (text == nullptr || capacity == 0 || (data == nullptr && length > 0) ||
        !qr::ReadSettings(settings, &read)) {
        return TESSERA_ERROR_BAD_ARGUMENT;
    }
    std::string why;
    if (qr::CheckEncodeSettings(read, false, &why) == TESSERA_OK) {
        qr::Encoder encoder;
        qr::SymbolRecord symbol;
        if (!encoder.Ready() || symbol.get() == nullptr) return TESSERA_ERROR_NO_MEMORY;
        if (encoder.Encode(static_cast<const unsigned char*>(data), length, read, symbol.get(),
                           false, &why) == TESSERA_OK) {
            return TESSERA_ERROR_BAD_ARGUMENT;  // nothing to explain
        }
    }
    return qr::CopyText(why, text, capacity) ? TESSERA_OK : TESSERA_ERROR_BUFFER_TOO_SMALL;
} catch (...) {
    return TESSERA_ERROR_NO_MEMORY;
}

void tessera_symbol_free(tessera_symbol* symbol) {
    ::operator delete(symbol);
}

int tessera_symbol_size(const tessera_symbol* symbol) {
    return symbol != nullptr ? symbol->symbol.size : 0;
}

int tessera_symbol_version(const tessera_symbol* symbol) {
    return symbol != nullptr ? symbol->symbol.version : 0;
}

int tessera_symbol_level(const tessera_symbol* symbol) {
    return symbol != nullptr ? symbol->symbol.level : 0;
}

int tessera_symbol_mask(const tessera_symbol* symbol) {
    return symbol != nullptr ? symbol->symbol.mask : 0;
}

int tessera_symbol_is_micro(const tessera_symbol* symbol) {
    return symbol != nullptr && symbol->symbol.micro ? 1 : 0;
}

int tessera_symbol_height(const tessera_symbol* symbol) {
    return symbol != nullptr ? symbol->symbol.height : 0;
}

int tessera_symbol_is_rmqr(const tessera_symbol* symbol) {
    return symbol != nullptr && symbol->symbol.rmqr ? 1 : 0;
}

int tessera_symbol_is_gs1(const tessera_symbol* symbol) {
    return symbol != nullptr && symbol->symbol.gs1 ? 1 : 0;
}

int tessera_rmqr_version(const char* name) {
    return name != nullptr ? qr::RmqrVersionNamed(name) : 0;
}

int tessera_symbol_data_bits(const tessera_symbol* symbol) {
    return symbol != nullptr ? symbol->symbol.dataBits : 0;
}

int tessera_symbol_capacity_bits(const tessera_symbol* symbol) {
    return symbol != nullptr ? symbol->symbol.capacityBits : 0;
}

int tessera_symbol_structured(const tessera_symbol* symbol, int* index, int* count, int* parity) {
    if (symbol == nullptr || symbol->symbol.partCount == 0) return 0;
    if (index != nullptr) *index = symbol->symbol.partIndex;
    if (count != nullptr) *count = symbol->symbol.partCount;
    if (parity != nullptr) *parity = static_cast<int>(symbol->symbol.parity);
    return 1;
}

tessera_status tessera_encode_structured(const void* data, size_t length,
                                         const tessera_settings* settings, int count,
                                         tessera_symbol** symbols, size_t capacity,
                                         size_t* made) try {
    if (symbols == nullptr || made == nullptr) return TESSERA_ERROR_BAD_ARGUMENT;
    *made = 0;
    qr::SymbolSet parts;
    const Status status = qr::EncodeSet(data, length, settings, count, &parts, nullptr);
    if (status != TESSERA_OK) return status;
    *made = parts.Size();
    if (capacity < parts.Size()) return TESSERA_ERROR_BUFFER_TOO_SMALL;
    std::vector<tessera_symbol*> handed;
    handed.reserve(parts.Size());
    for (std::size_t i = 0; i < parts.Size(); ++i) {
        handed.push_back(qr::Handed(parts[i]));
        if (handed.back() == nullptr) {
            for (tessera_symbol* made : handed) tessera_symbol_free(made);
            return TESSERA_ERROR_NO_MEMORY;
        }
    }
    for (std::size_t i = 0; i < handed.size(); ++i) symbols[i] = handed[i];
    return TESSERA_OK;
} catch (...) {
    return TESSERA_ERROR_NO_MEMORY;
}

tessera_status tessera_explain_structured_failure(const void* data, size_t length,
                                                  const tessera_settings* settings, int count,
                                                  char* text, size_t capacity) try {
    if (text == nullptr || capacity == 0) return TESSERA_ERROR_BAD_ARGUMENT;
    qr::SymbolSet parts;
    std::string why;
    const Status status = qr::EncodeSet(data, length, settings, count, &parts, &why);
    if (status == TESSERA_OK || why.empty()) return TESSERA_ERROR_BAD_ARGUMENT;
    return qr::CopyText(why, text, capacity) ? TESSERA_OK : TESSERA_ERROR_BUFFER_TOO_SMALL;
} catch (...) {
    return TESSERA_ERROR_NO_MEMORY;
}

tessera_status tessera_symbol_modules(const tessera_symbol* symbol, unsigned char* cells,
                                      size_t capacity) {
    if (symbol == nullptr || cells == nullptr) return TESSERA_ERROR_BAD_ARGUMENT;
    const auto width = static_cast<size_t>(symbol->symbol.size);
    const auto height = static_cast<size_t>(symbol->symbol.height);
    if (capacity < width * height) return TESSERA_ERROR_BUFFER_TOO_SMALL;
    const unsigned char* columns = qr::CellsOf(symbol);
    for (size_t y = 0; y < height; ++y) {
        for (size_t x = 0; x < width; ++x) *cells++ = columns[x * height + y];
    }
    return TESSERA_OK;
}

}  // extern "C"
