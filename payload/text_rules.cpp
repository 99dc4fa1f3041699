#include "payload/text_rules.h"

#include <cstring>
#include <limits>
#include <utility>

namespace qr::payload {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr std::size_t kMaxLineOctets = 75;
constexpr int kMaxIntegerDigits = 12;

// The code point of the well-formed UTF-8 sequence at `text[at]` and its length, or length 0.
int DecodeUtf8(const std::string& text, std::size_t at, char32_t* codePoint) {
    const auto lead = static_cast<unsigned char>(text[at]);
    int length;
    char32_t value;
    char32_t least;  // the smallest code point of the length: anything below is overlong
    if (lead < 0x80) {
        *codePoint = lead;
        return 1;
    } else if (lead >= 0xC2 && lead < 0xE0) {
        length = 2, value = lead & 0x1F, least = 0x80;
    } else if (lead >= 0xE0 && lead < 0xF0) {
        length = 3, value = lead & 0x0F, least = 0x800;
    } else if (lead >= 0xF0 && lead < 0xF5) {
        length = 4, value = lead & 0x07, least = 0x10000;
    } else {
        return 0;
    }
    if (at + length > text.size()) return 0;
    for (int k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[at + k]);
        if ((next & 0xC0) != 0x80) return 0;
        value = value << 6 | (next & 0x3F);
    }
    if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
    *codePoint = value;
    return length;
}

bool IsControl(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

bool IsUnreserved(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
           std::strchr("-._~", c) != nullptr;
}

char Upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string Hex(unsigned char byte) {
    return {kHexDigits[byte >> 4], kHexDigits[byte & 15]};
}

}  // namespace

Result Refused(std::string reason) {
    Result result;
    result.reason = std::move(reason);
    return result;
}

Result Made(std::string text, SymbolLimits limits) {
    Result result;
    result.ok = true;
    result.text = std::move(text);
    result.limits = limits;
    return result;
}

std::string Quoted(const std::string& value) {
    std::string quoted = "'";
    for (std::size_t i = 0; i < value.size();) {
        char32_t c;
        const int length = DecodeUtf8(value, i, &c);
        if (length == 0 || IsControl(c)) {
            for (const std::size_t end = i + (length == 0 ? 1 : length); i < end; ++i) {
                quoted += "\\x" + Hex(static_cast<unsigned char>(value[i]));
            }
        } else {
            quoted.append(value, i, length);
            i += length;
        }
    }
    return quoted + "'";
}

int CharacterCount(const std::string& text) {
    int count = 0;
    for (std::size_t i = 0; i < text.size(); ++count) {
        char32_t c;
        const int length = DecodeUtf8(text, i, &c);
        if (length == 0) return -1;
        i += length;
    }
    return count;
}

std::string CheckText(const char* field, const std::string& value, bool multiline,
                      int maxCharacters) {
    const std::string name = std::string(field) + ": ";
    for (std::size_t i = 0; i < value.size();) {
        char32_t c;
        const int length = DecodeUtf8(value, i, &c);
        if (length == 0) return name + Quoted(value) + " is not UTF-8 text";
        const bool lineBreak = c == '\r' || c == '\n';
        if (IsControl(c) && !(lineBreak && multiline)) {
            return name + Quoted(value) + (lineBreak ? " has a line break" : " has a control code");
        }
        i += length;
    }
    const int count = CharacterCount(value);
    if (maxCharacters > 0 && count > maxCharacters) {
        return name + std::to_string(count) + " characters; at most " +
               std::to_string(maxCharacters) + " are taken";
    }
    return "";
}

std::string ResolveChoice(const char* field, const char* const* choices, std::string* value) {
    std::string names;
    for (const char* const* choice = choices; *choice != nullptr; ++choice) {
        std::string upper = Compact(*choice, "");
        if (Compact(*value, "") == upper) {
            *value = *choice;
            return "";
        }
        names += std::string(names.empty() ? "" : choice[1] == nullptr ? " or " : ", ") + *choice;
    }
    return std::string(field) + ": " + Quoted(*value) + " is none of " + names;
}

std::string Escape(const std::string& text, const char* special) {
    std::string escaped;
    for (const char c : text) {
        if (c != '\0' && std::strchr(special, c) != nullptr) escaped += '\\';
        escaped += c;
    }
    return escaped;
}

std::string LineBreaksAs(const std::string& text, const char* lineBreak) {
    std::string lines;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            lines += lineBreak;
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            lines += text[i];
        }
    }
    return lines;
}

std::string ContentLine(const std::string& line) {
    std::string folded;
    std::size_t octets = 0;  // on the current physical line
    for (std::size_t i = 0; i < line.size();) {
        const auto lead = static_cast<unsigned char>(line[i]);
        std::size_t length = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        if (i + length > line.size()) length = line.size() - i;
        if (octets + length > kMaxLineOctets) {
            folded += "\r\n ";
            octets = 1;
        }
        folded.append(line, i, length);
        octets += length;
        i += length;
    }
    return folded + "\r\n";
}

std::string EscapeText(const std::string& text) {
    return LineBreaksAs(Escape(text, "\\;,"), "\\n");
}

std::string TextProperty(const std::string& name, const std::string& value) {
    return value.empty() ? "" : ContentLine(name + ":" + EscapeText(value));
}

std::string PercentEncode(const std::string& text, const char* keep) {
    std::string encoded;
    for (const char c : text) {
        if (IsUnreserved(c) || (c != '\0' && std::strchr(keep, c) != nullptr)) {
            encoded += c;
        } else {
            encoded += "%" + Hex(static_cast<unsigned char>(c));
        }
    }
    return encoded;
}

std::string Compact(const std::string& text, const char* drop) {
    std::string compact;
    for (const char c : text) {
        if (c == '\0' || std::strchr(drop, c) == nullptr) compact += Upper(c);
    }
    return compact;
}

bool AllDigits(const std::string& text, bool letters) {
    for (const char c : text) {
        const char upper = Upper(c);
        if (!(c >= '0' && c <= '9') && !(letters && upper >= 'A' && upper <= 'Z')) return false;
    }
    return !text.empty();
}

int DigitsAt(const std::string& text, std::size_t at, std::size_t count) {
    if (at + count > text.size() || !AllDigits(text.substr(at, count))) return -1;
    return std::stoi(text.substr(at, count));
}

std::string ReadDecimal(const char* field, const std::string& text, int decimals,
                        std::int64_t* scaled) {
    const bool negative = !text.empty() && text[0] == '-';
    const std::size_t point = text.find('.');
    const std::string whole = text.substr(negative, point - negative);
    const std::string fraction = point == std::string::npos ? "" : text.substr(point + 1);
    if (!AllDigits(whole) || (point != std::string::npos && !AllDigits(fraction))) {
        return std::string(field) + ": " + Quoted(text) + " is not a number";
    }
    if (static_cast<int>(fraction.size()) > decimals) {
        return std::string(field) + ": " + Quoted(text) + " has more than " +
               std::to_string(decimals) + " decimals";
    }
    const std::size_t significant = whole.find_first_not_of('0');
    std::int64_t value = 0;
    if (significant != std::string::npos &&
        static_cast<int>(whole.size() - significant) > kMaxIntegerDigits) {
        value = std::numeric_limits<std::int64_t>::max();
    } else {
        const std::string digits = whole + fraction + std::string(decimals - fraction.size(), '0');
        for (const char c : digits) value = value * 10 + (c - '0');
    }
    *scaled = negative ? -value : value;
    return "";
}

bool IsDate(int year, int month, int day) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return day <= kDays[month - 1] + (month == 2 && leap);
}

}  // namespace qr::payload
