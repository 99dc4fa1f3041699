// The C API's settings and their checks, and its tables: the limits, the formats, the constants
// and the statuses.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "module/api_calls.h"
#include "module/limits.h"
#include "output/writers.h"

namespace qr {
namespace {

// The formats that the header names for C callers, each with the name of its row in the table of
// formats. Later formats are found by name and listed by number only.
struct NamedFormat {
    tessera_format header;
    const char* name;
};
constexpr NamedFormat NAMED_FORMATS[] = {
    {TESSERA_FORMAT_BMP, "bmp"}, {TESSERA_FORMAT_PNG, "png"},   {TESSERA_FORMAT_SVG, "svg"},
    {TESSERA_FORMAT_TXT, "txt"}, {TESSERA_FORMAT_UTF8, "utf8"}, {TESSERA_FORMAT_ANSI, "ansi"},
    {TESSERA_FORMAT_EPS, "eps"}, {TESSERA_FORMAT_PDF, "pdf"},
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
        if (number < 0 || number >= static_cast<int>(rows.size()) ||
            !SameText(rows[number].name, named.name)) {
            return false;
        }
    }
    return true;
}
static_assert(NamedFormatsAreTheirRows(),
              "the header's format numbers are the rows of their names");

// The header's numbered constants, by name (cmake/ApiConstants.cmake).
struct Constant {
    const char* name;
    int value;
};
constexpr Constant CONSTANTS[] = {
#include "api_constants.inc"
};

#ifndef TESSERA_VERSION
#error "the build defines TESSERA_VERSION"
#endif

// Every field after `size` is four bytes wide, with no gap between them.
static_assert(offsetof(tessera_settings, fit_height) - offsetof(tessera_settings, level) ==
                  11 * sizeof(int),
              "the settings are twelve ints");
static_assert(offsetof(tessera_render_options, dpi) - offsetof(tessera_render_options, scale) ==
                  4 * sizeof(int),
              "the render options are five fields of four bytes");

// The records as the first header that had them laid them out; a program built against it knows
// no more of them. Fields appended since (the settings' rmqr to fit_height) are not in them.
struct FirstSettings {
    std::size_t size;
    int level, version, strict_version, mask, utf8, micro, boost;
};
struct FirstRenderOptions {
    std::size_t size;
    int scale, margin;
    std::uint32_t dark, light;
    int dpi;
};

tessera_status FillSettings(tessera_settings* settings, std::size_t size) {
    tessera_settings defaults;
    std::memset(&defaults, 0, sizeof defaults);
    defaults.level = TESSERA_DEFAULT;
    defaults.mask = TESSERA_DEFAULT;
    return FillRecord(settings, size, sizeof(FirstSettings), offsetof(tessera_settings, level),
                      defaults);
}

tessera_status FillRenderOptions(tessera_render_options* options, std::size_t size) {
    tessera_render_options defaults;
    std::memset(&defaults, 0, sizeof defaults);
    defaults.margin = TESSERA_DEFAULT;
    defaults.dark = kLimits.dark;
    defaults.light = kLimits.light;
    return FillRecord(options, size, sizeof(FirstRenderOptions),
                      offsetof(tessera_render_options, scale), defaults);
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
    if (holds(offsetof(tessera_settings, rmqr))) out->rmqr = in->rmqr != 0;
    if (holds(offsetof(tessera_settings, rmqr_height))) out->rmqrHeight = in->rmqr_height;
    if (holds(offsetof(tessera_settings, gs1))) out->gs1 = in->gs1 != 0;
    if (holds(offsetof(tessera_settings, fit_width))) out->fitWidth = in->fit_width;
    if (holds(offsetof(tessera_settings, fit_height))) out->fitHeight = in->fit_height;
    return true;
}

bool ReadOptions(const tessera_render_options* in, int format, OutputSettings* out) {
    out->format = format;
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

bool CopyText(const std::string& message, char* text, std::size_t capacity) {
    if (text == nullptr || capacity == 0) return message.empty();
    const std::size_t n = message.size() < capacity ? message.size() : capacity - 1;
    std::memcpy(text, message.data(), n);
    text[n] = '\0';
    return n == message.size();
}

}  // namespace qr

extern "C" {

// The names in parentheses are the exported functions, not the header's macros of the same name.
void(tessera_settings_init)(tessera_settings* settings) {
    qr::FillSettings(settings, sizeof(qr::FirstSettings));
}

tessera_status tessera_settings_init_sized(tessera_settings* settings, size_t size) {
    return qr::FillSettings(settings, size);
}

void(tessera_render_options_init)(tessera_render_options* options) {
    qr::FillRenderOptions(options, sizeof(qr::FirstRenderOptions));
}

tessera_status tessera_render_options_init_sized(tessera_render_options* options, size_t size) {
    return qr::FillRenderOptions(options, size);
}

tessera_status tessera_check_settings(const tessera_settings* settings, char* text,
                                      size_t capacity) try {
    qr::EncodeSettings read;
    std::string why = "the settings' size field is not that of tessera_settings";
    tessera_status status = TESSERA_ERROR_BAD_ARGUMENT;
    if (qr::ReadSettings(settings, &read)) {
        why.clear();
        status = qr::CheckEncodeSettings(read, false, &why);
    }
    qr::CopyText(why, text, capacity);
    return status;
} catch (...) {
    return TESSERA_ERROR_NO_MEMORY;
}

tessera_status tessera_check_render_options(int format, const tessera_render_options* options,
                                            char* text, size_t capacity) try {
    qr::OutputSettings read;
    std::string why = "the options' size field is not that of tessera_render_options";
    tessera_status status = TESSERA_ERROR_BAD_ARGUMENT;
    if (qr::ReadOptions(options, format, &read)) {
        why.clear();
        status = qr::CheckOutputSettings(read, &why);
    }
    qr::CopyText(why, text, capacity);
    return status;
} catch (...) {
    return TESSERA_ERROR_NO_MEMORY;
}

int tessera_limit(int index, const char** name, long long* value) {
    qr::LimitRow row;
    if (name == nullptr || value == nullptr || !qr::LimitRowAt(index, &row)) return 0;
    *name = row.name;
    *value = row.value;
    return 1;
}

int tessera_constant(int index, const char** name, int* value) {
    if (name == nullptr || value == nullptr || index < 0 ||
        index >= static_cast<int>(sizeof qr::CONSTANTS / sizeof qr::CONSTANTS[0])) {
        return 0;
    }
    *name = qr::CONSTANTS[index].name;
    *value = qr::CONSTANTS[index].value;
    return 1;
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
    return qr::FormatFact(format, "available") == 1 ? 1 : 0;
}

int tessera_format_fact(int format, const char* fact) {
    return qr::FormatFact(format, fact);
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
