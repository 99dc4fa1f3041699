// The C API's styled symbols: the caller's style record read into a StyleOptions, then the styled
// road of module/styling.h. Nothing throws out of these.
#include <cstddef>
#include <cstring>
#include <string>

#include "module/api_calls.h"
#include "module/deliver.h"
#include "module/encode.h"
#include "module/styling.h"
#include "module/tessera_api.h"
#include "output/module_shapes.h"

namespace qr {
namespace {

static_assert(sizeof(tessera_style_options{}.regions) / sizeof(uint32_t) == kRegionCount,
              "a colour for each region");
static_assert(static_cast<int>(GradientKind::kRadial) == 2 &&
                  static_cast<int>(LengthUnit::kPoint) == 3,
              "the record's numbers of gradients and units are the library's");

// The first header that had the style record laid it out as this one does.
tessera_status FillStyleOptions(tessera_style_options* style, std::size_t size) {
    tessera_style_options defaults;
    std::memset(&defaults, 0, sizeof defaults);
    defaults.logo_percent = kDefaultLogoPercent;
    return FillRecord(style, size, sizeof defaults, offsetof(tessera_style_options, shape),
                      defaults);
}

// Reads the caller's style record into `out`; null leaves the defaults. The record is read whole:
// every field up to its end must be within `size` (a later library reads a longer record).
bool ReadStyle(const tessera_style_options* in, StyleOptions* out) {
    if (in == nullptr) return true;
    if (!SizeReadable(in, sizeof(tessera_style_options))) return false;
    if (in->shape < 0 || in->shape >= kModuleShapeCount || in->finder < 0 ||
        in->finder >= kFinderStyleCount || in->gradient < 0 ||
        in->gradient > static_cast<int>(GradientKind::kRadial) || in->printed_unit < 0 ||
        in->printed_unit > static_cast<int>(LengthUnit::kPoint) ||
        (in->logo == nullptr && in->logo_size != 0)) {
        return false;
    }
    out->shape = static_cast<ModuleShape>(in->shape);
    out->finder = static_cast<FinderStyle>(in->finder);
    for (int i = 0; i < kRegionCount; ++i) out->regions[i] = in->regions[i];
    out->gradient.kind = static_cast<GradientKind>(in->gradient);
    out->gradient.from = in->gradient_from;
    out->gradient.to = in->gradient_to;
    out->gradient.angle = in->gradient_angle;
    out->logo = static_cast<const unsigned char*>(in->logo);
    out->logoSize = in->logo_size;
    out->logoPercent = in->logo_percent;
    out->title = in->title;
    out->description = in->description;
    out->cmyk = in->cmyk != 0;
    for (int i = 0; i < kCmykComponents; ++i) out->cmykPercent[i] = in->cmyk_percent[i];
    out->sizeUnit = static_cast<LengthUnit>(in->printed_unit);
    out->size = in->printed_size;
    return true;
}

// The caller's arguments read: the symbol unpacked into `record`, the options and the style.
// Returns false for a null symbol or a record that cannot be read.
bool ReadStyled(const tessera_symbol* symbol, int format, const tessera_render_options* options,
                const tessera_style_options* style, Symbol* record, OutputSettings* settings,
                StyleOptions* read) {
    if (symbol == nullptr || !ReadOptions(options, format, settings) || !ReadStyle(style, read)) {
        return false;
    }
    Unpacked(symbol, record);
    return true;
}

}  // namespace
}  // namespace qr

extern "C" {

const char* tessera_format_media_type(int format) {
    return qr::IsFormat(format) ? qr::MediaTypeOf(static_cast<qr::ImageFormat>(format)) : nullptr;
}

// The name in parentheses is the exported function, not the header's macro of the same name.
void(tessera_style_options_init)(tessera_style_options* style) {
    qr::FillStyleOptions(style, sizeof *style);
}

tessera_status tessera_style_options_init_sized(tessera_style_options* style, size_t size) {
    return qr::FillStyleOptions(style, size);
}

const char* tessera_style_name(int list, int index) {
    if (index < 0) return nullptr;
    switch (list) {
        case TESSERA_STYLE_SHAPE:
            return index < qr::kModuleShapeCount ? qr::MODULE_SHAPES[index].name : nullptr;
        case TESSERA_STYLE_FINDER:
            return index < qr::kFinderStyleCount ? qr::FINDER_STYLES[index].name : nullptr;
        case TESSERA_STYLE_REGION:
            return index < qr::kRegionCount ? qr::REGION_NAMES[index] : nullptr;
        case TESSERA_STYLE_SETTING:
            return index < qr::StyleSettings().count ? qr::StyleSettings().rows[index].name
                                                     : nullptr;
        case TESSERA_STYLE_GRADIENT:
            return index < qr::kGradientKindCount ? qr::GRADIENT_KINDS[index] : nullptr;
        default:
            return nullptr;
    }
}

tessera_status tessera_style_set(tessera_style_options* style, const char* name, const char* value,
                                 char* text, size_t capacity) try {
    qr::StyleOptions read;
    if (style == nullptr || name == nullptr || value == nullptr || !qr::ReadStyle(style, &read)) {
        qr::CopyText("a null argument, or a style record that cannot be read", text, capacity);
        return TESSERA_ERROR_BAD_ARGUMENT;
    }
    const std::string why = qr::SetStyleSetting(name, value, &read);
    qr::CopyText(why, text, capacity);
    if (!why.empty()) return TESSERA_ERROR_BAD_ARGUMENT;
    style->shape = static_cast<int>(read.shape);
    style->finder = static_cast<int>(read.finder);
    for (int i = 0; i < qr::kRegionCount; ++i) style->regions[i] = read.regions[i];
    style->gradient = static_cast<int>(read.gradient.kind);
    style->gradient_from = read.gradient.from;
    style->gradient_to = read.gradient.to;
    style->gradient_angle = read.gradient.angle;
    style->logo_percent = read.logoPercent;
    style->cmyk = read.cmyk ? 1 : 0;
    for (int i = 0; i < qr::kCmykComponents; ++i) style->cmyk_percent[i] = read.cmykPercent[i];
    style->printed_unit = static_cast<int>(read.sizeUnit);
    style->printed_size = read.size;
    return TESSERA_OK;
} catch (...) {
    return TESSERA_ERROR_NO_MEMORY;
}

tessera_status tessera_check_style(const tessera_symbol* symbol, int format,
                                   const tessera_render_options* options,
                                   const tessera_style_options* style, char* text,
                                   size_t capacity) try {
    qr::SymbolRecord record;
    if (record.get() == nullptr) return TESSERA_ERROR_NO_MEMORY;
    qr::OutputSettings settings;
    qr::StyleOptions read;
    if (!qr::ReadStyled(symbol, format, options, style, record.get(), &settings, &read)) {
        qr::CopyText("a null symbol, or a record whose size cannot be read", text, capacity);
        return TESSERA_ERROR_BAD_ARGUMENT;
    }
    const std::string why = qr::CheckRendering(*record.get(), settings, read);
    qr::CopyText(why, text, capacity);
    return why.empty() ? TESSERA_OK : TESSERA_ERROR_BAD_ARGUMENT;
} catch (...) {
    return TESSERA_ERROR_NO_MEMORY;
}

tessera_status tessera_render_styled(const tessera_symbol* symbol, int format,
                                     const tessera_render_options* options,
                                     const tessera_style_options* style, void* buffer,
                                     size_t capacity, size_t* size) try {
    qr::SymbolRecord record;
    if (record.get() == nullptr) return TESSERA_ERROR_NO_MEMORY;
    qr::OutputSettings settings;
    qr::StyleOptions read;
    if (size == nullptr ||
        !qr::ReadStyled(symbol, format, options, style, record.get(), &settings, &read)) {
        return TESSERA_ERROR_BAD_ARGUMENT;
    }
    std::string bytes;
    const qr::Status status = qr::RenderStyled(*record.get(), settings, read, &bytes);
    return status != TESSERA_OK ? status : qr::HandOver(bytes, buffer, capacity, size);
} catch (...) {
    return TESSERA_ERROR_NO_MEMORY;
}

tessera_status tessera_save_styled(const tessera_symbol* symbol, const char* path, int format,
                                   const tessera_render_options* options,
                                   const tessera_style_options* style) try {
    qr::SymbolRecord record;
    if (record.get() == nullptr) return TESSERA_ERROR_NO_MEMORY;
    qr::ImageFormat named;
    if (path == nullptr || path[0] == '\0' ||
        (format == -1 && !qr::FormatFromExtension(path, &named))) {
        return TESSERA_ERROR_BAD_ARGUMENT;
    }
    if (format == -1) format = static_cast<int>(named);
    qr::OutputSettings settings;
    qr::StyleOptions read;
    if (!qr::ReadStyled(symbol, format, options, style, record.get(), &settings, &read)) {
        return TESSERA_ERROR_BAD_ARGUMENT;
    }
    std::string bytes;
    const qr::Status status = qr::RenderStyled(*record.get(), settings, read, &bytes);
    return status != TESSERA_OK ? status : qr::SaveBytes(path, bytes);
} catch (...) {
    return TESSERA_ERROR_NO_MEMORY;
}

tessera_status tessera_verify(const tessera_symbol* symbol, int format,
                              const tessera_render_options* options,
                              const tessera_style_options* style, int* verdict, char* text,
                              size_t capacity) try {
    qr::CopyText(std::string(), text, capacity);
    qr::SymbolRecord record;
    if (record.get() == nullptr) return TESSERA_ERROR_NO_MEMORY;
    qr::OutputSettings settings;
    qr::StyleOptions read;
    if (verdict == nullptr ||
        !qr::ReadStyled(symbol, format, options, style, record.get(), &settings, &read)) {
        return TESSERA_ERROR_BAD_ARGUMENT;
    }
    qr::VerifyResult result;
    std::string why;
    const qr::Status status = qr::VerifyStyled(*record.get(), settings, read, &result, &why);
    if (status != TESSERA_OK) {
        qr::CopyText(why, text, capacity);
        return status;
    }
    *verdict = static_cast<int>(result.status);
    return qr::CopyText(result.problems, text, capacity) ? TESSERA_OK
                                                         : TESSERA_ERROR_BUFFER_TOO_SMALL;
} catch (...) {
    return TESSERA_ERROR_NO_MEMORY;
}

}  // extern "C"
