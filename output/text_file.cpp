// Text drawings of the symbol. All styles walk the same pixel grid: the quiet zone and the
// modules, each module `scale` pixels on a side.
#include "output/text_file.h"

#include <new>

namespace qr {

namespace {

constexpr const char* FULL_BLOCK = "\xe2\x96\x88";  // U+2588
constexpr const char* UPPER_HALF = "\xe2\x96\x80";  // U+2580
constexpr const char* LOWER_HALF = "\xe2\x96\x84";  // U+2584

// Whether pixel (x, y) of the image is dark; pixels outside the image are light.
class PixelGrid {
public:
    PixelGrid(int width, int height, const ModuleMatrix& modules, int scale, int margin)
        : width_(width),
          height_(height),
          modules_(modules),
          scale_(scale),
          margin_(margin),
          pixelsAcross_(scale * (width + 2 * margin)),
          pixelsDown_(scale * (height + 2 * margin)) {}

    int Across() const { return pixelsAcross_; }
    int Down() const { return pixelsDown_; }

    bool Dark(int x, int y) const {
        if (y >= pixelsDown_) return false;
        const int u = x / scale_ - margin_;
        const int v = y / scale_ - margin_;
        return u >= 0 && u < width_ && v >= 0 && v < height_ && modules_[u][v] != 0;
    }

private:
    int width_;
    int height_;
    const ModuleMatrix& modules_;
    int scale_;
    int margin_;
    int pixelsAcross_;
    int pixelsDown_;
};

void AppendAscii(const PixelGrid& grid, std::string* text) {
    for (int y = 0; y < grid.Down(); ++y) {
        for (int x = 0; x < grid.Across(); ++x) *text += grid.Dark(x, y) ? "##" : "  ";
        *text += '\n';
    }
}

void AppendHalfBlocks(const PixelGrid& grid, std::string* text) {
    for (int y = 0; y < grid.Down(); y += 2) {
        *text += ANSI_DARK_ON_LIGHT;
        for (int x = 0; x < grid.Across(); ++x) {
            const bool upper = grid.Dark(x, y);
            const bool lower = grid.Dark(x, y + 1);
            *text += upper ? (lower ? FULL_BLOCK : UPPER_HALF) : (lower ? LOWER_HALF : " ");
        }
        *text += ANSI_RESET;
        *text += '\n';
    }
}

void AppendAnsi(const PixelGrid& grid, std::string* text) {
    for (int y = 0; y < grid.Down(); ++y) {
        for (int x = 0; x < grid.Across(); ++x) {
            const bool dark = grid.Dark(x, y);
            if (x == 0 || dark != grid.Dark(x - 1, y)) {
                *text += dark ? ANSI_DARK_BACKGROUND : ANSI_LIGHT_BACKGROUND;
            }
            *text += "  ";
        }
        *text += ANSI_RESET;
        *text += '\n';
    }
}

}  // namespace

bool ComposeText(int width, int height, const ModuleMatrix& modules, const RenderOptions& options,
                 TextStyle style, std::string* out) try {
    const PixelGrid grid(width, height, modules, options.scale, options.margin);
    std::string text;
    switch (style) {
        case TextStyle::kAscii:
            AppendAscii(grid, &text);
            break;
        case TextStyle::kHalfBlocks:
            AppendHalfBlocks(grid, &text);
            break;
        case TextStyle::kAnsi:
            AppendAnsi(grid, &text);
            break;
    }
    out->swap(text);
    return true;
} catch (const std::bad_alloc&) {
    out->clear();
    return false;
}

}  // namespace qr
