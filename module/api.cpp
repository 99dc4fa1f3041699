// The public C API over the pipeline. Each function checks its arguments, reads the caller's
// structures only as far as their `size` reaches, and lets no exception out.
#include <cstddef>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "module/api_shared.h"
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

// The formats that the header names for C callers, and ImageFormat for C++, each with the name of
// its row in the table of formats. Later formats are found by name and listed by number only.
struct NamedFormat {
    tessera_format header;
    ImageFormat format;
    const char* name;
};
constexpr NamedFormat NAMED_FORMATS[] = {
    {TESSERA_FORMAT_BMP, ImageFormat::kBmp, "bmp"},
    {TESSERA_FORMAT_PNG, ImageFormat::kPng, "png"},
    {TESSERA_FORMAT_SVG, ImageFormat::kSvg, "svg"},
    {TESSERA_FORMAT_TXT, ImageFormat::kTxt, "txt"},
    {TESSERA_FORMAT_UTF8, ImageFormat::kUtf8, "utf8"},
    {TESSERA_FORMAT_ANSI, ImageFormat::kAnsi, "ansi"},
    {TESSERA_FORMAT_EPS, ImageFormat::kEps, "eps"},
    {TESSERA_FORMAT_PDF, ImageFormat::kPdf, "pdf"},
};

constexpr bool SameText(const char* a, const char* b) {
    for (; *a != '\0' && *a == *b; ++a, ++b) {
    }
    return *a == *b;
}

// Whether every named format is the row of the table that has its name.
constexpr bool NamedFormatsAreTheirRows() {
    constexpr auto rows = FormatRows(nullptr);  // the names; the writers do not matter here
    for (const NamedFormat& named : NAMED_FORMATS) {
        const int number = named.header;
        if (number != static_cast<int>(named.format) || number < 0 ||
            number >= static_cast<int>(rows.size()) || !SameText(rows[number].name, named.name)) {
            return false;
        }
    }
    return true;
}
static_assert(NamedFormatsAreTheirRows(),
              "the header's format numbers are the rows of their names");

#ifndef TESSERA_VERSION
#error "the build defines TESSERA_VERSION"
#endif

// The most bytes a caller's structure may say it has: far more than any version of this library
// will know, and a bound on what is read when `size` is not what the caller's header set.
constexpr std::size_t kMaxStructureBytes = 4096;

// Every field after `size` is four bytes wide, with no gap between them.
static_assert(offsetof(tessera_settings, boost) - offsetof(tessera_settings, level) ==
                  6 * sizeof(int),
              "the settings are seven ints");
static_assert(offsetof(tessera_render_options, dpi) - offsetof(tessera_render_options, scale) ==
                  4 * sizeof(int),
              "the render options are five fields of four bytes");

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
// this library can read: at least its own field, no more than kMaxStructureBytes, not ending
// inside a field this library knows (every one is four bytes wide), and nothing unknown set
// beyond what it knows. Nothing beyond `size` is read.
template <typename Structure>
bool SizeReadable(const Structure* in, std::size_t first) {
    const std::size_t size = in->size;
    if (size < first || size > kMaxStructureBytes) return false;
    if (size < sizeof(Structure) && (size - first) % sizeof(int) != 0) return false;
    return TailIsZero(in, size, sizeof(Structure));
}

}  // namespace

bool ReadSettings(const tessera_settings* in, EncodeSettings* out) {
    if (in == nullptr) return true;
    if (!SizeReadable(in, offsetof(tessera_settings, level))) return false;
    // A field the caller's structure ends before keeps its default.
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

namespace {

// Reads the caller's options for `format` (checked later, with the options) into `out`.
bool ReadOptions(const tessera_render_options* in, int format, OutputSettings* out) {
    out->format = static_cast<ImageFormat>(format);
    if (in == nullptr) return true;
    if (!SizeReadable(in, offsetof(tessera_render_options, scale))) return false;
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

}  // namespace

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

namespace {

// The format of a file saved at `path`: `format`, or with kFormatFromPath the one that the
// path's extension names. Returns false when it names none.
bool SaveFormat(const char* path, int format, int* saved) {
    if (format != kFormatFromPath) {
        *saved = format;
        return true;
    }
    ImageFormat named;
    if (!FormatFromExtension(path, &named)) return false;
    *saved = static_cast<int>(named);
    return true;
}

// `symbol`'s facts and cells copied into `record`, the form the writers read; returns `*record`.
const Symbol& Unpacked(const tessera_symbol* symbol, Symbol* record) {
    static_cast<SymbolFacts&>(*record) = symbol->symbol;
    const auto size = static_cast<std::size_t>(symbol->symbol.size);
    for (std::size_t x = 0; x < size; ++x) {
        std::memcpy(record->modules[x], CellsOf(symbol) + x * size, size);
    }
    return *record;
}

// The symbol's bytes as `format` with the caller's options.
Status RenderFor(const tessera_symbol* symbol, int format, const tessera_render_options* options,
                 std::string* bytes) {
    OutputSettings settings;
    if (symbol == nullptr || !ReadOptions(options, format, &settings)) {
        return TESSERA_ERROR_BAD_ARGUMENT;
    }
    SymbolRecord record;
    if (record.get() == nullptr) return TESSERA_ERROR_NO_MEMORY;
    return Render(Unpacked(symbol, record.get()), settings, bytes);
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
    const std::string why = qr::ReadOptions(options, format, &read)
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
                            const tessera_render_options* options) {
    return tessera_save_explained(symbol, path, format, options, nullptr, nullptr, 0);
}

tessera_status tessera_save_explained(const tessera_symbol* symbol, const char* path, int format,
                                      const tessera_render_options* options, int* error_number,
                                      char* text, size_t capacity) try {
    if (error_number != nullptr) *error_number = 0;
    qr::CopyText(std::string(), text, capacity);
    if (path == nullptr || path[0] == '\0' || !qr::SaveFormat(path, format, &format)) {
        return TESSERA_ERROR_BAD_ARGUMENT;
    }
    std::string bytes;
    Status status = qr::RenderFor(symbol, format, options, &bytes);
    if (status != TESSERA_OK) return status;
    qr::platform::WriteFailure failure = qr::platform::WriteFailure::kOther;
    status = qr::SaveBytes(path, bytes, qr::platform::WriteOptions(), &failure);
    if (status == TESSERA_ERROR_CANNOT_WRITE) {
        if (error_number != nullptr) *error_number = qr::ErrorNumberOf(failure);
        qr::CopyText(qr::WriteFailureText(failure), text, capacity);
    }
    return status;
} catch (...) {
    return TESSERA_ERROR_NO_MEMORY;
}

tessera_status tessera_save_all(const tessera_symbol* const* symbols, const char* const* paths,
                                size_t count, int format, const tessera_render_options* options,
                                tessera_status* results) try {
    if (count > 0 && (symbols == nullptr || paths == nullptr)) return TESSERA_ERROR_BAD_ARGUMENT;
    // Every argument before any file: nothing is written when one is bad.
    std::vector<qr::OutputSettings> settings(count);
    for (size_t i = 0; i < count; ++i) {
        int saved = format;
        if (symbols[i] == nullptr || paths[i] == nullptr || paths[i][0] == '\0' ||
            !qr::SaveFormat(paths[i], format, &saved) ||
            !qr::ReadOptions(options, saved, &settings[i]) ||
            !qr::CheckOutputSettings(settings[i]).empty()) {
            return TESSERA_ERROR_BAD_ARGUMENT;
        }
    }
    size_t first = count;  // the first file that failed
    Status firstStatus = TESSERA_OK;
    const auto record = [&](size_t i, Status status) {
        if (results != nullptr) results[i] = status;
        if (status != TESSERA_OK && i < first) {
            first = i;
            firstStatus = status;
        }
    };
    qr::GroupWriter writer(
        qr::platform::FilesPerGroup(1), qr::platform::WriteOptions(), true,
        [&record](size_t i, Status status, const std::string&) { record(i, status); });
    qr::SymbolRecord unpacked;
    if (!writer.Ready() || unpacked.get() == nullptr) return TESSERA_ERROR_NO_MEMORY;
    std::string message;
    for (size_t i = 0; i < count; ++i) {
        const Status staged = writer.Add(qr::Unpacked(symbols[i], unpacked.get()), settings[i],
                                         paths[i], i, &message);
        if (staged != TESSERA_OK) record(i, staged);
    }
    writer.Commit();
    return firstStatus;
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
    return qr::IsFormat(format) ? qr::FormatInfo(static_cast<qr::ImageFormat>(format)).name
                                : nullptr;
}

const char* tessera_format_extension(int format) {
    return qr::IsFormat(format) ? qr::FormatInfo(static_cast<qr::ImageFormat>(format)).extension
                                : nullptr;
}

int tessera_format_available(int format) {
    return qr::IsFormat(format) && qr::WriterFor(static_cast<qr::ImageFormat>(format)) != nullptr
               ? 1
               : 0;
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
