// Logos: telling PNG from SVG, decoding PNG (output/png_reader.h), the proportions of an SVG from
// its root element, and the cap from the symbol map.
#include "output/logo.h"

#include <cmath>
#include <cstring>
#include <utility>

#include "output/png_chunks.h"
#include "output/png_reader.h"

namespace qr {

namespace {

constexpr int kPercent = 100;

bool StartsWith(const std::string& text, std::size_t at, const char* prefix) {
    return text.compare(at, std::strlen(prefix), prefix) == 0;
}

// Where the root <svg element opens in `text`, or npos: after white space, an XML declaration,
// comments and a doctype, nothing else.
std::size_t RootElement(const std::string& text) {
    std::size_t at = 0;
    if (StartsWith(text, 0, "\xEF\xBB\xBF")) at = 3;  // a UTF-8 byte order mark
    while (at < text.size()) {
        const char c = text[at];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            ++at;
        } else if (StartsWith(text, at, "<svg") && at + 4 < text.size() &&
                   std::strchr(" \t\r\n>/", text[at + 4]) != nullptr) {
            return at;
        } else {
            const char* end = StartsWith(text, at, "<?")          ? "?>"
                              : StartsWith(text, at, "<!--")      ? "-->"
                              : StartsWith(text, at, "<!DOCTYPE") ? ">"
                                                                  : nullptr;
            if (end == nullptr) return std::string::npos;
            const std::size_t close = text.find(end, at);
            if (close == std::string::npos) return std::string::npos;
            at = close + std::strlen(end);
        }
    }
    return std::string::npos;
}

// The numbers that begin the value of attribute `name` of the tag `tag`, at most `most`.
std::vector<double> AttributeNumbers(const std::string& tag, const char* name, std::size_t most) {
    std::vector<double> numbers;
    const std::string key = std::string(" ") + name + "=";
    std::size_t at = tag.find(key);
    if (at == std::string::npos) {
        const std::string newline = std::string("\n") + name + "=";
        at = tag.find(newline);
        if (at == std::string::npos) return numbers;
    }
    at += key.size();
    if (at >= tag.size() || (tag[at] != '"' && tag[at] != '\'')) return numbers;
    const char quote = tag[at++];
    const std::size_t end = tag.find(quote, at);
    std::string value = tag.substr(at, end == std::string::npos ? std::string::npos : end - at);
    std::size_t i = 0;
    double n = 0;
    while (numbers.size() < most) {
        while (i < value.size() && (value[i] == ' ' || value[i] == ',' || value[i] == '\t' ||
                                    value[i] == '\n' || value[i] == '\r')) {
            ++i;
        }
        if (!ReadDecimal(value, &i, &n)) break;
        numbers.push_back(n);
    }
    return numbers;
}

// The proportions an SVG states in its root element: the viewBox's size, or else its width and
// height; 1 by 1 when neither gives two positive numbers.
void SvgProportions(const std::string& text, LogoImage* logo) {
    const std::size_t root = RootElement(text);
    const std::size_t close = text.find('>', root);
    const std::string tag =
        text.substr(root, close == std::string::npos ? std::string::npos : close - root);
    const std::vector<double> box = AttributeNumbers(tag, "viewBox", 4);
    const std::vector<double> width = AttributeNumbers(tag, "width", 1);
    const std::vector<double> height = AttributeNumbers(tag, "height", 1);
    double w = 1, h = 1;
    if (box.size() == 4 && box[2] > 0 && box[3] > 0) {
        w = box[2];
        h = box[3];
    } else if (width.size() == 1 && height.size() == 1 && width[0] > 0 && height[0] > 0) {
        w = width[0];
        h = height[0];
    }
    logo->width = w;
    logo->height = h;
}

bool DecodePng(const unsigned char* bytes, std::size_t size, LogoImage* logo, std::string* why) {
    PngPixels image;
    if (!ReadPng(bytes, size, kMaxLogoSide, &image, why)) return false;
    logo->width = image.width;
    logo->height = image.height;
    logo->pixels = std::move(image.pixels);
    return true;
}

}  // namespace

LogoKind LogoKindOf(const unsigned char* bytes, std::size_t size) {
    if (size >= sizeof kPngSignature &&
        std::memcmp(bytes, kPngSignature, sizeof kPngSignature) == 0) {
        return LogoKind::kPng;
    }
    const std::string text(reinterpret_cast<const char*>(bytes), size);
    return RootElement(text) != std::string::npos ? LogoKind::kSvg : LogoKind::kNone;
}

bool ReadLogo(const StyleOptions& style, bool decode, LogoImage* logo, std::string* why) {
    logo->kind = LogoKindOf(style.logo, style.logoSize);
    logo->bytes = style.logo;
    logo->size = style.logoSize;
    switch (logo->kind) {
        case LogoKind::kNone:
            *why = "the logo is neither a PNG nor an SVG image";
            return false;
        case LogoKind::kPng:
            if (decode) return DecodePng(style.logo, style.logoSize, logo, why);
            {
                // The proportions from the header alone: width and height follow the signature,
                // the chunk's length and its type.
                const std::size_t at = sizeof kPngSignature + 8;
                if (style.logoSize < at + 8) {
                    *why = "the PNG logo is cut short";
                    return false;
                }
                logo->width = Big32(style.logo + at);
                logo->height = Big32(style.logo + at + 4);
                if (logo->width < 1 || logo->height < 1) {
                    *why = "the PNG logo has no pixels";
                    return false;
                }
            }
            return true;
        case LogoKind::kSvg:
            SvgProportions(std::string(reinterpret_cast<const char*>(style.logo), style.logoSize),
                           logo);
            return true;
    }
    return false;
}

LogoArea PlaceLogo(int width, int height, int percent, double aspect) {
    LogoArea area;
    area.width = static_cast<double>(width) * percent / kPercent;
    area.height = area.width / aspect;
    area.x = (width - area.width) / 2;
    area.y = (height - area.height) / 2;
    auto low = [&](double edge) { return std::max(0, static_cast<int>(std::floor(edge - 1))); };
    auto high = [&](double edge, int end) {
        return std::min(end, static_cast<int>(std::ceil(edge + 1)));
    };
    area.cellX0 = low(area.x);
    area.cellY0 = low(area.y);
    area.cellX1 = high(area.x + area.width, width);
    area.cellY1 = high(area.y + area.height, height);
    return area;
}

bool LogoFits(const SymbolMap& map, const LogoArea& area) {
    std::vector<unsigned char> counted(static_cast<std::size_t>(map.codewordCount), 0);
    int lost[kMaxBlocks] = {};
    for (int x = area.cellX0; x < area.cellX1; ++x) {
        for (int y = area.cellY0; y < area.cellY1; ++y) {
            const MappedModule& cell = map.cells[x][y];
            if (cell.role != ModuleRole::kData && cell.role != ModuleRole::kAlignment) return false;
            if (cell.codeword != kNoCodeword && !counted[cell.codeword]) {
                counted[cell.codeword] = 1;
                ++lost[cell.block];
            }
        }
    }
    for (int b = 0; b < map.blockCount; ++b) {
        if (lost[b] * kPercent > map.blocks[b].correctable * kStyleDamagePercent) return false;
    }
    return true;
}

int LargestLogoPercent(const SymbolMap& map, double aspect) {
    for (int percent = kMaxLogoPercent; percent >= kMinLogoPercent; --percent) {
        if (LogoFits(map, PlaceLogo(map.width, map.height, percent, aspect))) return percent;
    }
    return 0;
}

std::string CheckLogo(const SymbolMap& map, const StyleOptions& style, const LogoImage& logo) {
    const double aspect = logo.width / logo.height;
    if (LogoFits(map, PlaceLogo(map.width, map.height, style.logoPercent, aspect))) return "";
    const int largest = LargestLogoPercent(map, aspect);
    const std::string asked = "a logo of " + std::to_string(style.logoPercent) + "%";
    if (largest == 0) return asked + " hides more than this symbol's error correction can repair";
    return asked + " hides more than this symbol's error correction can repair; " +
           std::to_string(largest) + "% is the largest that fits";
}

}  // namespace qr
