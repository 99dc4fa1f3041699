// The public C API over the pipeline. Each function checks its arguments, reads the caller's
// structures only as far as their `size` reaches, and lets no exception out.
#include <cstddef>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "module/pipeline.h"
#include "module/tessera_api.h"
#include "output/writers.h"

// A symbol handed to the caller, in one block of the size it needs: its facts, then its cells (0 or
// 1) column by column, size x size of them.
struct tessera_symbol {
    qr::SymbolFacts symbol;
};

namespace qr {
namespace {

constexpr int kFormatFromPath = -1;

#ifndef TESSERA_VERSION
#error "the build defines TESSERA_VERSION"
#endif

// Bytes of a caller's structure beyond what this library knows must be zero: a setting the
// library cannot honour is refused, not ignored.
bool TailIsZero(const void* structure, std::size_t size, std::size_t known) {
    const auto* bytes = static_cast<const unsigned char*>(structure);
    for (std::size_t i = known; i < size; ++i) {
        if (bytes[i] != 0) return false;
    }
    return true;
}

// Whether a caller's structure whose first field after `size` starts at `first` says a size
// this library can read: at least its own field, and nothing unknown set beyond what it knows.
template <typename Structure>
bool SizeReadable(const Structure* in, std::size_t first) {
    return in->size >= first && TailIsZero(in, in->size, sizeof(Structure));
}

bool ReadSettings(const tessera_settings* in, EncodeSettings* out) {
    if (in == nullptr) return true;
    if (!SizeReadable(in, offsetof(tessera_settings, level))) return false;
    // A field the caller's structure ends before keeps its default; every field is an int.
    auto holds = [in](std::size_t offset) { return offset + sizeof(int) <= in->size; };
    if (holds(offsetof(tessera_settings, level))) out->level = in->level;
    if (holds(offsetof(tessera_settings, version))) out->version = in->version;
    if (holds(offsetof(tessera_settings, strict_version)))
        out->strictVersion = in->strict_version != 0;
    if (holds(offsetof(tessera_settings, mask))) out->mask = in->mask;
    if (holds(offsetof(tessera_settings, utf8))) out->utf8 = in->utf8 != 0;
    if (holds(offsetof(tessera_settings, micro))) out->micro = in->micro != 0;
    if (holds(offsetof(tessera_settings, boost))) out->boost = in->boost != 0;
    return true;
}

bool ReadOptions(const tessera_render_options* in, int format, OutputSettings* out) {
    if (format < 0 || format >= kImageFormatCount) return false;
    out->format = static_cast<ImageFormat>(format);
    if (in == nullptr) return true;
    if (!SizeReadable(in, offsetof(tessera_render_options, scale))) return false;
    // Every field is four bytes wide.
    auto holds = [in](std::size_t offset) { return offset + sizeof(int) <= in->size; };
    if (holds(offsetof(tessera_render_options, scale))) out->scale = in->scale;
    if (holds(offsetof(tessera_render_options, margin))) out->margin = in->margin;
    if (holds(offsetof(tessera_render_options, dark))) out->dark = in->dark;
    if (holds(offsetof(tessera_render_options, light))) out->light = in->light;
    if (holds(offsetof(tessera_render_options, dpi))) out->dpi = in->dpi;
    return true;
}

// The caller's arguments of structured append, read and encoded into `parts`; `why` says what
// failed.
Status EncodeStructured(const void* data, std::size_t length, const tessera_settings* settings,
                        int count, std::vector<std::unique_ptr<Symbol>>* parts, std::string* why) {
    EncodeSettings read;
    if ((data == nullptr && length > 0) || !ReadSettings(settings, &read)) {
        return TESSERA_ERROR_BAD_ARGUMENT;
    }
    Encoder encoder;
    if (!encoder.Ready()) return TESSERA_ERROR_NO_MEMORY;
    return encoder.EncodeStructured(static_cast<const unsigned char*>(data), length, read, count,
                                    parts, why);
}

const unsigned char* CellsOf(const tessera_symbol* symbol) {
    return reinterpret_cast<const unsigned char*>(symbol + 1);
}

// A new tessera_symbol holding `symbol`, or null when no memory can be had.
tessera_symbol* Handed(const Symbol& symbol) {
    const auto size = static_cast<std::size_t>(symbol.size);
    void* block = ::operator new(sizeof(tessera_symbol) + size * size, std::nothrow);
    if (block == nullptr) return nullptr;
    tessera_symbol* handed = new (block) tessera_symbol{symbol};
    auto* cells = reinterpret_cast<unsigned char*>(handed + 1);
    for (std::size_t x = 0; x < size; ++x) std::memcpy(cells + x * size, symbol.modules[x], size);
    return handed;
}

// Writes `message` into the caller's `text` of `capacity` bytes, cut to fit, NUL-terminated.
// Returns whether it fitted whole.
bool CopyText(const std::string& message, char* text, std::size_t capacity) {
    if (text == nullptr || capacity == 0) return message.empty();
    const std::size_t n = message.size() < capacity ? message.size() : capacity - 1;
    std::memcpy(text, message.data(), n);
    text[n] = '\0';
    return n == message.size();
}

// The symbol's bytes as `format` with the caller's options, from a Symbol record that the writers
// read.
Status RenderFor(const tessera_symbol* symbol, int format, const tessera_render_options* options,
                 std::string* bytes) {
    OutputSettings settings;
    if (symbol == nullptr || !ReadOptions(options, format, &settings)) {
        return TESSERA_ERROR_BAD_ARGUMENT;
    }
    SymbolRecord record;
    Symbol* unpacked = record.get();
    if (unpacked == nullptr) return TESSERA_ERROR_NO_MEMORY;
    static_cast<SymbolFacts&>(*unpacked) = symbol->symbol;
    const auto size = static_cast<std::size_t>(symbol->symbol.size);
    for (std::size_t x = 0; x < size; ++x) {
        std::memcpy(unpacked->modules[x], CellsOf(symbol) + x * size, size);
    }
    return Render(*unpacked, settings, bytes);
}

}  // namespace
}  // namespace qr

using qr::Status;

extern "C" {

void tessera_settings_init(tessera_settings* settings) {
    if (settings == nullptr) return;
    std::memset(settings, 0, sizeof *settings);
    settings->size = sizeof *settings;
    settings->level = TESSERA_DEFAULT;
    settings->mask = TESSERA_DEFAULT;
}

void tessera_render_options_init(tessera_render_options* options) {
    if (options == nullptr) return;
    std::memset(options, 0, sizeof *options);
    options->size = sizeof *options;
    options->margin = TESSERA_DEFAULT;
    options->dark = qr::kDefaultDark;
    options->light = qr::kDefaultLight;
}

tessera_status tessera_encode(const void* data, size_t length, const tessera_settings* settings,
                              tessera_symbol** symbol) try {
    if (symbol == nullptr) return TESSERA_ERROR_BAD_ARGUMENT;
    *symbol = nullptr;
    qr::EncodeSettings read;
    if ((data == nullptr && length > 0) || !qr::ReadSettings(settings, &read)) {
        return TESSERA_ERROR_BAD_ARGUMENT;
    }
    if (!qr::CheckEncodeSettings(read).empty()) return TESSERA_ERROR_BAD_ARGUMENT;
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
    const auto* bytes = static_cast<const unsigned char*>(data);
    std::string why = qr::CheckEncodeSettings(read);
    if (why.empty()) {
        qr::Encoder encoder;
        if (!encoder.Ready()) return TESSERA_ERROR_NO_MEMORY;
        qr::SymbolRecord symbol;
        if (symbol.get() == nullptr) return TESSERA_ERROR_NO_MEMORY;
        if (encoder.Encode(bytes, length, read, symbol.get()) == TESSERA_OK) {
            return TESSERA_ERROR_BAD_ARGUMENT;  // nothing to explain
        }
        why = encoder.ExplainFailure(bytes, length, read);
    }
    return qr::CopyText(why, text, capacity) ? TESSERA_OK : TESSERA_ERROR_BUFFER_TOO_SMALL;
} catch (...) {
    return TESSERA_ERROR_NO_MEMORY;
}

tessera_status tessera_check_settings(const tessera_settings* settings, char* text,
                                      size_t capacity) try {
    qr::EncodeSettings read;
    const std::string why = qr::ReadSettings(settings, &read)
                                ? qr::CheckEncodeSettings(read)
                                : "the settings' size field is not that of tessera_settings";
    qr::CopyText(why, text, capacity);
    return why.empty() ? TESSERA_OK : TESSERA_ERROR_BAD_ARGUMENT;
} catch (...) {
    return TESSERA_ERROR_NO_MEMORY;
}

tessera_status tessera_check_render_options(int format, const tessera_render_options* options,
                                            char* text, size_t capacity) try {
    qr::OutputSettings read;
    const std::string why = format < 0 || format >= qr::kImageFormatCount
                                ? "the format must be one of " + qr::FormatNameList() + ", not '" +
                                      std::to_string(format) + "'"
                            : qr::ReadOptions(options, format, &read)
                                ? qr::CheckOutputSettings(read)
                                : "the options' size field is not that of tessera_render_options";
    qr::CopyText(why, text, capacity);
    return why.empty() ? TESSERA_OK : TESSERA_ERROR_BAD_ARGUMENT;
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
    std::vector<std::unique_ptr<qr::Symbol>> parts;
    std::string why;
    const Status status = qr::EncodeStructured(data, length, settings, count, &parts, &why);
    if (status != TESSERA_OK) return status;
    *made = parts.size();
    if (capacity < parts.size()) return TESSERA_ERROR_BUFFER_TOO_SMALL;
    std::vector<tessera_symbol*> handed;
    handed.reserve(parts.size());
    for (const auto& part : parts) {
        handed.push_back(qr::Handed(*part));
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
    std::vector<std::unique_ptr<qr::Symbol>> parts;
    std::string why;
    const Status status = qr::EncodeStructured(data, length, settings, count, &parts, &why);
    if (status == TESSERA_OK || why.empty()) return TESSERA_ERROR_BAD_ARGUMENT;
    return qr::CopyText(why, text, capacity) ? TESSERA_OK : TESSERA_ERROR_BUFFER_TOO_SMALL;
} catch (...) {
    return TESSERA_ERROR_NO_MEMORY;
}

tessera_status tessera_symbol_modules(const tessera_symbol* symbol, unsigned char* cells,
                                      size_t capacity) {
    if (symbol == nullptr || cells == nullptr) return TESSERA_ERROR_BAD_ARGUMENT;
    const auto size = static_cast<size_t>(symbol->symbol.size);
    if (capacity < size * size) return TESSERA_ERROR_BUFFER_TOO_SMALL;
    const unsigned char* columns = qr::CellsOf(symbol);
    for (size_t y = 0; y < size; ++y) {
        for (size_t x = 0; x < size; ++x) *cells++ = columns[x * size + y];
    }
    return TESSERA_OK;
}

tessera_status tessera_render(const tessera_symbol* symbol, int format,
                              const tessera_render_options* options, void* buffer, size_t capacity,
                              size_t* size) try {
    if (size == nullptr) return TESSERA_ERROR_BAD_ARGUMENT;
    std::string bytes;
    const Status status = qr::RenderFor(symbol, format, options, &bytes);
    if (status != TESSERA_OK) return status;
    *size = bytes.size();
    if (buffer == nullptr || capacity < bytes.size()) return TESSERA_ERROR_BUFFER_TOO_SMALL;
    std::memcpy(buffer, bytes.data(), bytes.size());
    return TESSERA_OK;
} catch (...) {
    return TESSERA_ERROR_NO_MEMORY;
}

tessera_status tessera_save(const tessera_symbol* symbol, const char* path, int format,
                            const tessera_render_options* options) try {
    if (path == nullptr || path[0] == '\0') return TESSERA_ERROR_BAD_ARGUMENT;
    if (format == qr::kFormatFromPath) {
        qr::ImageFormat named;
        if (!qr::FormatFromExtension(path, &named)) return TESSERA_ERROR_BAD_ARGUMENT;
        format = static_cast<int>(named);
    }
    std::string bytes;
    const Status status = qr::RenderFor(symbol, format, options, &bytes);
    if (status != TESSERA_OK) return status;
    return qr::SaveBytes(path, bytes);
} catch (...) {
    return TESSERA_ERROR_NO_MEMORY;
}

int tessera_format_from_name(const char* name) {
    qr::ImageFormat format;
    return name != nullptr && qr::FormatFromName(name, &format) ? static_cast<int>(format) : -1;
}

int tessera_format_from_path(const char* path) {
    qr::ImageFormat format;
    return path != nullptr && qr::FormatFromExtension(path, &format) ? static_cast<int>(format)
                                                                     : -1;
}

const char* tessera_format_name(int format) {
    if (format < 0 || format >= qr::kImageFormatCount) return nullptr;
    return qr::IMAGE_FORMATS[format].name;
}

int tessera_format_available(int format) {
    if (format < 0 || format >= qr::kImageFormatCount) return 0;
    return qr::WriterFor(static_cast<qr::ImageFormat>(format)) != nullptr ? 1 : 0;
}

const char* tessera_status_message(int status) {
    switch (status) {
        case TESSERA_OK:
            return "done";
        case TESSERA_ERROR_NOTHING_TO_DO:
            return "nothing to do: no data, or no output named";
        case TESSERA_ERROR_CANNOT_ENCODE:
            return "the data cannot be encoded: it is empty or does not fit";
        case TESSERA_ERROR_CANNOT_WRITE:
            return "the file cannot be written";
        case TESSERA_ERROR_BAD_ARGUMENT:
            return "an argument is missing or out of its range";
        case TESSERA_ERROR_BUFFER_TOO_SMALL:
            return "the buffer is too small";
        case TESSERA_ERROR_FORMAT_NOT_AVAILABLE:
            return "this build cannot make the format";
        case TESSERA_ERROR_NO_MEMORY:
            return "out of memory";
        default:
            return "unknown status";
    }
}

const char* tessera_library_version(void) {
    return TESSERA_VERSION;
}

}  // extern "C"
