#include "output/path_text.h"

#include <cmath>
#include <vector>

#include "output/vector_shared.h"

namespace qr {

namespace {

constexpr long long kPlaces = 10000;  // four decimal places
constexpr char kBase64Digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

}  // namespace

std::string Decimal(double value) {
    const long long scaled = std::llround(value * kPlaces);
    const unsigned long long magnitude =
        static_cast<unsigned long long>(scaled < 0 ? -scaled : scaled);
    std::string text = scaled < 0 ? "-" : "";
    text += std::to_string(magnitude / kPlaces);
    unsigned long long fraction = magnitude % kPlaces;
    if (fraction != 0) {
        text += '.';
        for (long long place = kPlaces / 10; place > 0 && fraction != 0; place /= 10) {
            text += static_cast<char>('0' + fraction / place);
            fraction %= place;
        }
    }
    return text;
}

void AppendWords(const std::vector<std::string>& words, std::string* text) {
    std::size_t room = 0;
    for (const std::string& word : words) room += 1 + word.size();
    WordLines lines(text, room);
    for (const std::string& word : words) lines.Append(word.data(), word.size());
    lines.Finish();
}

void AppendPath(const Path& path, const PathSyntax& syntax, std::string* text) {
    const std::vector<Point>& points = path.points();
    std::size_t at = 0;
    std::vector<std::string> words;
    // One operator with the coordinates of its `count` points.
    auto word = [&](const char* op, int count) {
        std::string numbers;
        for (int i = 0; i < count; ++i, ++at) {
            if (i > 0) numbers += ' ';
            numbers += Decimal(points[at].x) + " " + Decimal(points[at].y);
        }
        if (syntax.prefix) {
            *text += op + numbers;
        } else {
            words.push_back(count > 0 ? numbers + " " + op : std::string(op));
        }
    };
    for (const Path::Verb verb : path.verbs()) {
        switch (verb) {
            case Path::kMove:
                word(syntax.move, 1);
                break;
            case Path::kLine:
                word(syntax.line, 1);
                break;
            case Path::kCubic:
                word(syntax.cubic, 3);
                break;
            case Path::kClose:
                word(syntax.close, 0);
                break;
        }
    }
    if (!syntax.prefix) AppendWords(words, text);
}

std::string Base64(const unsigned char* bytes, std::size_t size) {
    std::string text;
    text.reserve((size + 2) / 3 * 4);
    for (std::size_t i = 0; i < size; i += 3) {
        const std::size_t n = size - i < 3 ? size - i : 3;
        unsigned group = 0;
        for (std::size_t k = 0; k < 3; ++k) group = group << 8 | (k < n ? bytes[i + k] : 0);
        for (std::size_t k = 0; k < 4; ++k) {
            text += k <= n ? kBase64Digits[(group >> (18 - 6 * k)) & 0x3F] : '=';
        }
    }
    return text;
}

}  // namespace qr
