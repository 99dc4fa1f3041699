// The lookups in the table of formats by name and by extension, and its lists of names.
#include "output/image_format.h"

#include <cctype>
#include <cstring>

namespace qr {

namespace {

// Extensions of image formats that are not written here.
constexpr const char* FOREIGN_IMAGE_EXTENSIONS[] = {
    "jpg",  "jpeg", "jpe",  "jfif", "gif", "tif", "tiff",
    "webp", "heic", "heif", "avif", "ico", "jxl",
};

// The media type of each format, by its name, for data URIs and HTTP; the terminal styles and
// any format not named here are application/octet-stream.
struct MediaType {
    const char* format;
    const char* type;
};
constexpr MediaType MEDIA_TYPES[] = {
    {"bmp", "image/bmp"},
    {"png", "image/png"},
    {"svg", "image/svg+xml"},
    {"txt", "text/plain"},
    {"eps", "application/postscript"},
    {"pdf", "application/pdf"},
    {"xpm", "image/x-xpixmap"},
    {"pbm", "image/x-portable-bitmap"},
    {"pbm-plain", "image/x-portable-bitmap"},
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
    for (int i = 0; i < FormatCount(); ++i) {
        if (SameLetters(name, LINKED_FORMATS.rows[i].name)) {
            *format = static_cast<ImageFormat>(i);
            return true;
        }
    }
    return false;
}

bool FormatFromExtension(const char* path, ImageFormat* format) {
    const char* extension = ExtensionOf(path);
    if (extension == nullptr) return false;
    for (int i = 0; i < FormatCount(); ++i) {
        const char* own = LINKED_FORMATS.rows[i].extension;
        if (own != nullptr && SameLetters(extension, own)) {
            *format = static_cast<ImageFormat>(i);
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

const char* MediaTypeOf(ImageFormat format) {
    for (const MediaType& row : MEDIA_TYPES) {
        if (std::strcmp(row.format, FormatInfo(format).name) == 0) return row.type;
    }
    return "application/octet-stream";
}

}  // namespace qr
