// The pipeline's words, and the lists of names they are made of.
#include "module/messages.h"

#include <vector>

#include "encoder/rmqr_encoder.h"
#include "module/encode.h"
#include "module/limits.h"
#include "module/tessera_api.h"
#include "output/image_format.h"

namespace qr {

namespace {

// The names of the formats whose `fact` is set (null: of all), "a, b" and `last` before the last.
std::string NamesJoined(const char* fact, const char* last) {
    std::vector<const char*> names;
    for (int i = 0; i < FormatCount(); ++i) {
        if (fact == nullptr || FormatFact(i, fact) > 0)
            names.push_back(FormatInfo(static_cast<ImageFormat>(i)).name);
    }
    std::string list;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) list += i + 1 == names.size() ? last : ", ";
        list += names[i];
    }
    return list;
}

}  // namespace

std::string PrintableName(const std::string& name) {
    static const char kHex[] = "0123456789abcdef";
    constexpr unsigned char kC1Lead = 0xC2, kC1Last = 0x9F;  // U+0080..U+009F in UTF-8
    const auto* bytes = reinterpret_cast<const unsigned char*>(name.data());
    std::string printable = "'";
    const auto escape = [&](std::size_t at, std::size_t count) {
        for (std::size_t i = at; i < at + count; ++i) {
            printable += "\\x";
            printable += kHex[bytes[i] >> 4];
            printable += kHex[bytes[i] & 15];
        }
    };
    for (std::size_t at = 0; at < name.size();) {
        const unsigned char lead = bytes[at];
        // The length of the UTF-8 sequence `lead` would begin; FindNonUtf8 says whether it does.
        std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        if (length > name.size() - at || FindNonUtf8(bytes + at, length, false) != length) {
            length = 1;  // not UTF-8: this byte alone, escaped
            escape(at, 1);
        } else if (lead < 0x20 || lead == 0x7F || (lead == kC1Lead && bytes[at + 1] <= kC1Last)) {
            escape(at, length);
        } else {
            printable.append(name, at, length);
        }
        at += length;
    }
    return printable + "'";
}

std::string Quoted(int value) {
    return "'" + std::to_string(value) + "'";
}

char LevelLetter(int level) {
    return "LMQH"[level];
}

std::string RmqrSizeName(int version) {
    char name[kRmqrNameSize];
    RmqrName(version, name);
    return name;
}

std::string MicroLevelNames(int version) {
    std::vector<char> letters;
    for (int level = kLimits.level.low; level <= kLimits.level.high; ++level) {
        if (MicroOffers(version, level)) letters.push_back(LevelLetter(level));
    }
    std::string words;
    for (std::size_t i = 0; i < letters.size(); ++i) {
        words += i == 0 ? "" : i + 1 == letters.size() ? " or " : ", ";
        words += letters[i];
    }
    return words;
}

std::string OutOfRange(const std::string& what, int low, int high, const std::string& after,
                       int value) {
    return what + " must be " + std::to_string(low) + " to " + std::to_string(high) + after +
           ", not " + Quoted(value);
}

std::string CannotEncode(const std::string& why) {
    return "the data cannot be encoded: " + why;
}

std::string NotUtf8(std::size_t offset) {
    return "the data cannot be encoded as UTF-8 text: not UTF-8 at byte " +
           std::to_string(offset + 1);
}

std::string NeedsMoreBits(long need, bool atLeast, const std::string& symbol, int holds,
                          bool atMost, bool strict) {
    return CannotEncode("it needs " + std::string(atLeast ? "at least " : "") +
                        std::to_string(need) + " bits and " + symbol + " holds " +
                        (atMost ? "at most " : "") + std::to_string(holds) +
                        (strict ? " (a larger version is not allowed)" : ""));
}

std::string FormatNameList() {
    return NamesJoined(nullptr, " or ");
}

std::string FormatNamesWith(const char* fact) {
    return NamesJoined(fact, " and ");
}

}  // namespace qr
