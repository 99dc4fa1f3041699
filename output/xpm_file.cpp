// XPM text from the pixel rows the bitmap writers share.
#include "output/xpm_file.h"

#include <cstdio>
#include <new>

#include "output/pixel_rows.h"

namespace qr {

namespace {

constexpr char kLightPixel = ' ';
constexpr char kDarkPixel = '#';

// The line of the colour that `pixel` stands for: "\"# c #RRGGBB\",\n".
std::string ColourLine(char pixel, Rgba colour) {
    char line[32];
    std::snprintf(line, sizeof line, "\"%c c #%02X%02X%02X\",\n", pixel, RedOf(colour),
                  GreenOf(colour), BlueOf(colour));
    return line;
}

}  // namespace

bool ComposeXpm(int width, int height, const ModuleMatrix& modules, const RenderOptions& options,
                std::string* out) try {
    const int across = ImageSide(width, options);
    const int down = ImageSide(height, options);
    std::string xpm = "/* XPM */\nstatic char *qr_code[] = {\n\"" + std::to_string(across) + " " +
                      std::to_string(down) + " 2 1\",\n" + ColourLine(kLightPixel, options.light) +
                      ColourLine(kDarkPixel, options.dark);
    xpm.reserve(xpm.size() + static_cast<std::size_t>(across + 4) * down + 3);
    std::string line;
    int rowsLeft = down;
    ForEachBand(width, height, modules, options, [&](const unsigned char* row) {
        line.assign(1, '"');
        for (int x = 0; x < across; ++x) line += LightPixel(row, x) ? kLightPixel : kDarkPixel;
        line += '"';
        for (int t = 0; t < options.scale; ++t) {
            xpm += line;
            xpm += --rowsLeft > 0 ? ",\n" : "\n";
        }
    });
    xpm += "};\n";
    out->swap(xpm);
    return true;
} catch (const std::bad_alloc&) {
    out->clear();
    return false;
}

}  // namespace qr
