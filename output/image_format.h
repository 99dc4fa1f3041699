// The image and text formats a symbol can be rendered in: one table of their names, extensions
// and what each can express, read by the library, the API, the command and the bindings.
#pragma once

#include <string>

namespace qr {

// The values are the API's format numbers.
enum class ImageFormat : int { kBmp, kPng, kSvg, kTxt, kUtf8, kAnsi, kEps, kPdf };
constexpr int kImageFormatCount = 8;

struct ImageFormatInfo {
    ImageFormat format;
    const char* name;       // lower case, as -t and the API take it
    const char* extension;  // without the dot; null for the terminal styles
    bool binary;            // not text: refused on a terminal
    int defaultScale;       // kDefaultImageScale or kDefaultTextScale
    bool colours;           // takes other colours than black on white
    bool alpha;             // takes colours with an alpha below FF
    bool dpi;               // states a resolution
    int columnsPerPixel;    // characters a pixel takes on a terminal; 0 for images
};

// Row i describes ImageFormat i.
extern const ImageFormatInfo IMAGE_FORMATS[kImageFormatCount];

inline const ImageFormatInfo& FormatInfo(ImageFormat format) {
    return IMAGE_FORMATS[static_cast<int>(format)];
}

// The format named `name` in any case ("png", "PNG"). Returns false for any other name.
bool FormatFromName(const char* name, ImageFormat* format);

// The format that the extension of the last component of `path` names, in any case ("a.PNG").
// Returns false when it has no extension or one no format has.
bool FormatFromExtension(const char* path, ImageFormat* format);

// Whether the extension of `path` names an image format this library does not write (jpg, gif,
// tif, webp and their spellings), so that writing BMP bytes under it would mislead.
bool IsForeignImageExtension(const char* path);

// The names of all formats, "bmp, png, ... or pdf", for messages.
std::string FormatNameList();

}  // namespace qr
