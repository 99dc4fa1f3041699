// Reading a PNG file: its chunks, the image data inflated to exactly the size the header implies,
// each pass's rows unfiltered, and their samples widened to 8-bit RGBA.
#include "output/png_reader.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "output/checksums.h"
#include "output/inflate.h"
#include "output/png_chunks.h"

namespace qr {

namespace {

enum ColourType { kGray = 0, kRgb = 2, kPalette = 3, kGrayAlpha = 4, kRgba = 6 };
constexpr int kIhdrSize = 13;
constexpr int kMaxPaletteEntries = 256;

// Adam7's passes: the first column and row, and the steps between columns and rows.
struct Pass {
    int x0, y0, dx, dy;
};
constexpr Pass ADAM7[7] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                           {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
constexpr Pass WHOLE[1] = {{0, 0, 1, 1}};

struct Header {
    int width, height, depth, colourType, interlace;
    int channels;
};

int Channels(int colourType) {
    switch (colourType) {
        case kGray:
        case kPalette:
            return 1;
        case kGrayAlpha:
            return 2;
        case kRgb:
            return 3;
        default:
            return 4;
    }
}

// Whether `depth` is allowed for `colourType`.
bool DepthAllowed(int colourType, int depth) {
    switch (colourType) {
        case kGray:
            return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
        case kPalette:
            return depth == 1 || depth == 2 || depth == 4 || depth == 8;
        case kRgb:
        case kGrayAlpha:
        case kRgba:
            return depth == 8 || depth == 16;
        default:
            return false;
    }
}

// Pixels of a pass over `size` pixels that starts at `first` and steps `step`.
int PassPixels(int size, int first, int step) {
    return size > first ? (size - first + step - 1) / step : 0;
}

std::size_t RowBytes(const Header& h, int pixels) {
    return (static_cast<std::size_t>(pixels) * h.channels * h.depth + 7) / 8;
}

int Paeth(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

// Undoes the filter of the row at `row` (`bytes` long, its filter byte before it) against
// `above` (null for a pass's first row). Returns false for an unknown filter type.
bool Unfilter(unsigned char* row, const unsigned char* above, std::size_t bytes,
              std::size_t pixelBytes) {
    const int type = row[-1];
    for (std::size_t i = 0; i < bytes; ++i) {
        const int a = i >= pixelBytes ? row[i - pixelBytes] : 0;
        const int b = above != nullptr ? above[i] : 0;
        const int c = above != nullptr && i >= pixelBytes ? above[i - pixelBytes] : 0;
        int add = 0;
        switch (type) {
            case 0:
                break;
            case 1:
                add = a;
                break;
            case 2:
                add = b;
                break;
            case 3:
                add = (a + b) / 2;
                break;
            case 4:
                add = Paeth(a, b, c);
                break;
            default:
                return false;
        }
        row[i] = static_cast<unsigned char>(row[i] + add);
    }
    return true;
}

// Sample `index` of the row at `row`, at its full depth.
unsigned Sample(const unsigned char* row, std::size_t index, int depth) {
    if (depth == 16) return unsigned{row[2 * index]} << 8 | row[2 * index + 1];
    if (depth == 8) return row[index];
    const std::size_t bit = index * depth;
    return (row[bit / 8] >> (8 - depth - bit % 8)) & ((1u << depth) - 1);
}

// A sample widened or narrowed to 8 bits.
unsigned To8(unsigned sample, int depth) {
    return depth == 16 ? sample >> 8 : sample * 255 / ((1u << depth) - 1);
}

struct Colours {
    Rgba palette[kMaxPaletteEntries] = {};
    int paletteSize = 0;
    bool hasKey = false;  // tRNS of gray or RGB: the one transparent colour, at full depth
    unsigned key[3] = {};
};

Rgba PixelAt(const Header& h, const Colours& colours, const unsigned char* row, int x, bool* ok) {
    const std::size_t first = static_cast<std::size_t>(x) * h.channels;
    unsigned s[4] = {};
    for (int c = 0; c < h.channels; ++c) s[c] = Sample(row, first + c, h.depth);
    switch (h.colourType) {
        case kPalette:
            if (static_cast<int>(s[0]) >= colours.paletteSize) *ok = false;
            return colours.palette[s[0] % kMaxPaletteEntries];
        case kGray:
        case kGrayAlpha: {
            const unsigned g = To8(s[0], h.depth);
            const unsigned alpha = h.colourType == kGrayAlpha                 ? To8(s[1], h.depth)
                                   : colours.hasKey && s[0] == colours.key[0] ? 0
                                                                              : kOpaqueAlpha;
            return Rgba{g} << 24 | Rgba{g} << 16 | Rgba{g} << 8 | alpha;
        }
        default: {
            const bool keyed = h.colourType == kRgb && colours.hasKey && s[0] == colours.key[0] &&
                               s[1] == colours.key[1] && s[2] == colours.key[2];
            const unsigned alpha = h.colourType == kRgba ? To8(s[3], h.depth)
                                   : keyed               ? 0
                                                         : kOpaqueAlpha;
            return Rgba{To8(s[0], h.depth)} << 24 | Rgba{To8(s[1], h.depth)} << 16 |
                   Rgba{To8(s[2], h.depth)} << 8 | alpha;
        }
    }
}

bool Fail(std::string* why, const char* what) {
    *why = std::string("the PNG logo ") + what;
    return false;
}

bool ReadHeader(const unsigned char* p, std::uint32_t length, int maxSide, Header* h,
                std::string* why) {
    if (length != kIhdrSize) return Fail(why, "has a malformed header");
    const std::uint32_t width = Big32(p), height = Big32(p + 4);
    if (width == 0 || height == 0) return Fail(why, "has no pixels");
    if (width > static_cast<std::uint32_t>(maxSide) ||
        height > static_cast<std::uint32_t>(maxSide)) {
        *why = "the PNG logo is larger than " + std::to_string(maxSide) + " pixels a side";
        return false;
    }
    h->width = static_cast<int>(width);
    h->height = static_cast<int>(height);
    h->depth = p[8];
    h->colourType = p[9];
    h->interlace = p[12];
    if (!DepthAllowed(h->colourType, h->depth) || p[10] != 0 || p[11] != 0 || h->interlace > 1) {
        return Fail(why,
                    "has a colour type, depth, compression, filter or interlace it cannot have");
    }
    h->channels = Channels(h->colourType);
    return true;
}

bool ReadTransparency(const Header& h, const unsigned char* p, std::uint32_t length,
                      Colours* colours, std::string* why) {
    if (h.colourType == kPalette) {
        if (length > static_cast<std::uint32_t>(colours->paletteSize)) {
            return Fail(why, "has more transparency entries than colours");
        }
        for (std::uint32_t i = 0; i < length; ++i) {
            colours->palette[i] = (colours->palette[i] & ~Rgba{0xFF}) | p[i];
        }
    } else if (h.colourType == kGray || h.colourType == kRgb) {
        const std::uint32_t samples = h.colourType == kGray ? 1 : 3;
        if (length != 2 * samples) return Fail(why, "has a malformed tRNS chunk");
        for (std::uint32_t c = 0; c < samples; ++c) {
            colours->key[c] = unsigned{p[2 * c]} << 8 | p[2 * c + 1];
        }
        colours->hasKey = true;
    } else {
        return Fail(why, "has a tRNS chunk its colour type cannot have");
    }
    return true;
}

}  // namespace

bool ReadPng(const unsigned char* bytes, std::size_t size, int maxSide, PngPixels* image,
             std::string* why) {
    if (size < sizeof kPngSignature || std::memcmp(bytes, kPngSignature, sizeof kPngSignature)) {
        return Fail(why, "is no PNG file");
    }
    Header h{};
    Colours colours;
    bool haveHeader = false, ended = false;
    std::vector<unsigned char> compressed;
    for (std::size_t at = sizeof kPngSignature; !ended;) {
        if (size - at < kPngChunkHeaderSize + kPngCrcSize) return Fail(why, "is cut short");
        const std::uint32_t length = Big32(bytes + at);
        const unsigned char* type = bytes + at + 4;
        if (length > size - at - kPngChunkHeaderSize - kPngCrcSize)
            return Fail(why, "is cut short");
        const unsigned char* data = type + 4;
        if (Crc32(0, type, 4 + length) != Big32(data + length)) {
            return Fail(why, "has a chunk whose CRC is wrong");
        }
        const std::string name(reinterpret_cast<const char*>(type), 4);
        if (!haveHeader && name != "IHDR") return Fail(why, "does not begin with its header");
        if (name == "IHDR") {
            if (haveHeader) return Fail(why, "has two headers");
            if (!ReadHeader(data, length, maxSide, &h, why)) return false;
            haveHeader = true;
        } else if (name == "PLTE") {
            if (length % 3 != 0 || length / 3 > kMaxPaletteEntries || length == 0) {
                return Fail(why, "has a malformed palette");
            }
            colours.paletteSize = static_cast<int>(length / 3);
            for (int i = 0; i < colours.paletteSize; ++i) {
                const unsigned char* c = data + 3 * i;
                colours.palette[i] =
                    Rgba{c[0]} << 24 | Rgba{c[1]} << 16 | Rgba{c[2]} << 8 | kOpaqueAlpha;
            }
        } else if (name == "tRNS") {
            if (!ReadTransparency(h, data, length, &colours, why)) return false;
        } else if (name == "IDAT") {
            compressed.insert(compressed.end(), data, data + length);
        } else if (name == "IEND") {
            ended = true;
        } else if ((type[0] & 0x20) == 0) {
            return Fail(why, "has a critical chunk this reader does not know");
        }
        at += kPngChunkHeaderSize + length + kPngCrcSize;
    }
    if (h.colourType == kPalette && colours.paletteSize == 0) return Fail(why, "has no palette");

    const Pass* passes = h.interlace != 0 ? ADAM7 : WHOLE;
    const int passCount = h.interlace != 0 ? 7 : 1;
    std::size_t expected = 0;
    for (int p = 0; p < passCount; ++p) {
        const int w = PassPixels(h.width, passes[p].x0, passes[p].dx);
        const int rows = PassPixels(h.height, passes[p].y0, passes[p].dy);
        if (w > 0) expected += static_cast<std::size_t>(rows) * (1 + RowBytes(h, w));
    }
    std::vector<unsigned char> raw;
    if (!InflateZlib(compressed.data(), compressed.size(), expected, &raw) ||
        raw.size() != expected) {
        return Fail(why, "has image data that cannot be inflated to its size");
    }
    image->width = h.width;
    image->height = h.height;
    image->pixels.assign(static_cast<std::size_t>(h.width) * h.height, 0);
    const std::size_t pixelBytes = (static_cast<std::size_t>(h.channels) * h.depth + 7) / 8;
    bool ok = true;
    unsigned char* row = raw.data();
    for (int p = 0; p < passCount; ++p) {
        const Pass& pass = passes[p];
        const int w = PassPixels(h.width, pass.x0, pass.dx);
        const int rows = PassPixels(h.height, pass.y0, pass.dy);
        if (w == 0) continue;
        const std::size_t bytesPerRow = RowBytes(h, w);
        const unsigned char* above = nullptr;
        for (int r = 0; r < rows; ++r, row += 1 + bytesPerRow) {
            if (!Unfilter(row + 1, above, bytesPerRow, pixelBytes)) {
                return Fail(why, "has a row of an unknown filter type");
            }
            above = row + 1;
            const int y = pass.y0 + r * pass.dy;
            for (int i = 0; i < w; ++i) {
                const int x = pass.x0 + i * pass.dx;
                image->pixels[static_cast<std::size_t>(y) * h.width + x] =
                    PixelAt(h, colours, row + 1, i, &ok);
            }
        }
    }
    if (!ok) return Fail(why, "has a pixel beyond its palette");
    return true;
}

}  // namespace qr
