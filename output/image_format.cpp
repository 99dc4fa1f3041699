// The table of formats and the lookups by name and by extension.
#include "output/image_format.h"

#include <cctype>
#include <cstring>

#include "output/render_options.h"

namespace qr {

const ImageFormatInfo IMAGE_FORMATS[kImageFormatCount] = {
    // format, name, extension, binary, scale, colours, alpha, dpi, columns per pixel
    {ImageFormat::kBmp, "bmp", "bmp", true, kDefaultImageScale, true, false, true, 0},
    {ImageFormat::kPng, "png", "png", true, kDefaultImageScale, true, true, true, 0},
    {ImageFormat::kSvg, "svg", "svg", false, kDefaultImageScale, true, true, false, 0},
    {ImageFormat::kTxt, "txt", "txt", false, kDefaultTextScale, false, false, false, 2},
    {ImageFormat::kUtf8, "utf8", nullptr, false, kDefaultTextScale, false, false, false, 1},
    {ImageFormat::kAnsi, "ansi", nullptr, false, kDefaultTextScale, false, false, false, 2},
    {ImageFormat::kEps, "eps", "eps", false, kDefaultImageScale, true, false, false, 0},
    {ImageFormat::kPdf, "pdf", "pdf", true, kDefaultImageScale, true, false, false, 0},
};

namespace {

// Extensions of image formats that are not written here.
constexpr const char* FOREIGN_IMAGE_EXTENSIONS[] = {
    "jpg",  "jpeg", "jpe",  "jfif", "gif", "tif", "tiff",
    "webp", "heic", "heif", "avif", "ico", "jxl",
};

bool SameLetters(const char* a, const char* b) {
    for (; *a != '\0' && *b != '\0'; ++a, ++b) {
        if (std::tolower(static_cast<unsigned char>(*a)) !=
            std::tolower(static_cast<unsigned char>(*b))) {
            return false;
        }
    }
    return *a == *b;
}

// The extension of the last component of `path`, after its last dot; null when there is none.
const char* ExtensionOf(const char* path) {
    const char* name = path;
    for (const char* p = path; *p != '\0'; ++p) {
        if (*p == '/' || *p == '\\') name = p + 1;
    }
    const char* dot = std::strrchr(name, '.');
    return dot == nullptr || dot == name ? nullptr : dot + 1;
}

}  // namespace

bool FormatFromName(const char* name, ImageFormat* format) {
    for (const ImageFormatInfo& info : IMAGE_FORMATS) {
        if (SameLetters(name, info.name)) {
            *format = info.format;
            return true;
        }
    }
    return false;
}

bool FormatFromExtension(const char* path, ImageFormat* format) {
    const char* extension = ExtensionOf(path);
    if (extension == nullptr) return false;
    for (const ImageFormatInfo& info : IMAGE_FORMATS) {
        if (info.extension != nullptr && SameLetters(extension, info.extension)) {
            *format = info.format;
            return true;
        }
    }
    return false;
}

bool IsForeignImageExtension(const char* path) {
    const char* extension = ExtensionOf(path);
    if (extension == nullptr) return false;
    for (const char* foreign : FOREIGN_IMAGE_EXTENSIONS) {
        if (SameLetters(extension, foreign)) return true;
    }
    return false;
}

std::string FormatNameList() {
    std::string list;
    for (int i = 0; i < kImageFormatCount; ++i) {
        if (i > 0) list += i + 1 == kImageFormatCount ? " or " : ", ";
        list += IMAGE_FORMATS[i].name;
    }
    return list;
}

}  // namespace qr
