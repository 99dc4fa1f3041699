// The image and text formats a symbol can be rendered in: one table row per format, with its name,
// its extension, what it can express and its writer. A format's number is its row. The library,
// the API, the command and the bindings take every name, list and refusal of formats from it.
#pragma once

#include <string>

#include "encoder/module_matrix.h"
#include "output/render_options.h"

namespace qr {

// Composes the whole file or text of `width` x `height` cells of `modules` (non-zero is dark)
// with `options` (checked by the caller) into `bytes`, replacing its content. Returns false, with
// `bytes` empty, when the bytes cannot be made (no memory, or the image library failed).
using ImageWriter = bool (*)(int width, int height, const ModuleMatrix& modules,
                             const RenderOptions& options, std::string* bytes);

// A format's number: its row in the table. The formats named here are those whose numbers the C
// API's header names too (module/api.cpp checks the two against the table); the rows after them
// have numbers and names only.
enum class ImageFormat : int { kBmp, kPng, kSvg, kTxt, kUtf8, kAnsi, kEps, kPdf };

struct ImageFormatInfo {
    const char* name;       // lower case, as -t and the API take it
    const char* extension;  // without the dot; null for the terminal styles, which are no files.
                            // A path with it names the first row that has it.
    bool binary;            // not text: refused on a terminal
    int defaultScale;       // kDefaultImageScale or kDefaultTextScale
    bool colours;           // takes other colours than black on white
    bool alpha;             // takes colours with an alpha below FF
    bool dpi;               // states a resolution
    int columnsPerPixel;    // characters a pixel takes on a terminal; 0 for images
    ImageWriter writer;     // null where this build cannot make the format
};

// The formats of the library that links this, `count` rows in the order of their numbers. Each
// library links one table: the API's library and the command every format
// (output/writers_all.cpp), the one-export library BMP alone (output/writers_bmp.cpp), so that it
// needs no image library.
struct FormatTable {
    const ImageFormatInfo* rows;
    int count;
};
extern const FormatTable LINKED_FORMATS;

inline int FormatCount() {
    return LINKED_FORMATS.count;
}

// Whether `number` is the number of one of this library's formats.
inline bool IsFormat(int number) {
    return number >= 0 && number < FormatCount();
}

// The row of `format`, which IsFormat().
inline const ImageFormatInfo& FormatInfo(ImageFormat format) {
    return LINKED_FORMATS.rows[static_cast<int>(format)];
}

// The format named `name` in any case ("png", "PNG"). Returns false for any other name.
bool FormatFromName(const char* name, ImageFormat* format);

// The format that the extension of the last component of `path` names, in any case ("a.PNG").
// Returns false when it has no extension or one no format has.
bool FormatFromExtension(const char* path, ImageFormat* format);

// Whether the extension of `path` names an image format this library does not write (jpg, gif,
// tif, webp and their spellings), so that writing BMP bytes under it would mislead.
bool IsForeignImageExtension(const char* path);

// The media type of `format` (which IsFormat()): "image/png", "image/svg+xml", ...;
// "application/octet-stream" for the terminal styles.
const char* MediaTypeOf(ImageFormat format);

}  // namespace qr
