#include "cli/json_object.h"

namespace qr::cli {
namespace {

constexpr unsigned kFirstSurrogate = 0xD800;
constexpr unsigned kFirstLowSurrogate = 0xDC00;
constexpr unsigned kLastSurrogate = 0xDFFF;
constexpr unsigned kSurrogateBits = 10;
constexpr unsigned kSupplementaryBase = 0x10000;
constexpr unsigned char kFirstNonControl = 0x20;

// The reader's place in the text, and what failed there.
class Reader {
public:
    explicit Reader(const std::string& text) : text_(text) {}

    std::string Read(JsonMembers* members) {
        SkipSpace();
        if (!Take('{')) return Failed("an object starts with '{'");
        SkipSpace();
        if (Take('}')) return End();
        for (;;) {
            std::string name, value;
            SkipSpace();
            if (!String(&name))
                return error_.empty() ? Failed("a member's name is a string") : error_;
            SkipSpace();
            if (!Take(':')) return Failed("':' after a member's name");
            SkipSpace();
            if (!Value(&value)) return error_;
            members->emplace_back(std::move(name), std::move(value));
            SkipSpace();
            if (Take('}')) return End();
            if (!Take(',')) return Failed("',' or '}' after a member");
        }
    }

private:
    std::string End() {
        SkipSpace();
        return at_ == text_.size() ? "" : Failed("nothing may follow the object");
    }

    std::string Failed(const std::string& what) {
        error_ = "byte " + std::to_string(at_ + 1) + ": " + what;
        return error_;
    }

    // Failed(), for a reader that answers true or false.
    bool Refuse(const std::string& what) {
        Failed(what);
        return false;
    }

    bool Take(char c) {
        if (at_ >= text_.size() || text_[at_] != c) return false;
        ++at_;
        return true;
    }

    bool TakeWord(const char* word) {
        const std::string w = word;
        if (text_.compare(at_, w.size(), w) != 0) return false;
        at_ += w.size();
        return true;
    }

    void SkipSpace() {
        while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t' ||
                                      text_[at_] == '\r' || text_[at_] == '\n')) {
            ++at_;
        }
    }

    bool Digit() const { return at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9'; }

    bool Value(std::string* value) {
        if (at_ < text_.size() && text_[at_] == '"') return String(value);
        for (const char* word : {"true", "false"}) {
            if (TakeWord(word)) {
                *value = word;
                return true;
            }
        }
        const std::size_t begin = at_;
        if (Number()) {
            *value = text_.substr(begin, at_ - begin);
            return true;
        }
        at_ = begin;
        return Refuse("a value is a string, a number, true or false");
    }

    // -?(0|[1-9][0-9]*)(.[0-9]+)?([eE][+-]?[0-9]+)?
    bool Number() {
        Take('-');
        if (!Digit()) return false;
        if (!Take('0')) {
            while (Digit()) ++at_;
        }
        if (Take('.')) {
            if (!Digit()) return false;
            while (Digit()) ++at_;
        }
        if (Take('e') || Take('E')) {
            if (!Take('+')) Take('-');
            if (!Digit()) return false;
            while (Digit()) ++at_;
        }
        return true;
    }

    // Four hex digits after "\u".
    bool Hex4(unsigned* unit) {
        *unit = 0;
        for (int i = 0; i < 4; ++i, ++at_) {
            if (at_ >= text_.size()) return false;
            const char c = text_[at_];
            const int digit = c >= '0' && c <= '9'   ? c - '0'
                              : c >= 'a' && c <= 'f' ? c - 'a' + 10
                              : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                     : -1;
            if (digit < 0) return false;
            *unit = *unit << 4 | static_cast<unsigned>(digit);
        }
        return true;
    }

    static void AppendUtf8(unsigned code, std::string* out) {
        if (code < 0x80) {
            *out += static_cast<char>(code);
        } else if (code < 0x800) {
            *out += static_cast<char>(0xC0 | code >> 6);
            *out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < kSupplementaryBase) {
            *out += static_cast<char>(0xE0 | code >> 12);
            *out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
            *out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            *out += static_cast<char>(0xF0 | code >> 18);
            *out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
            *out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
            *out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }

    // The code point of "\uXXXX" (a surrogate pair as two of them) at the backslash.
    bool Escaped(unsigned* code) {
        const std::size_t begin = at_;
        at_ += 2;  // the backslash and 'u'
        bool whole = Hex4(code) && (*code < kFirstLowSurrogate || *code > kLastSurrogate);
        if (whole && *code >= kFirstSurrogate && *code < kFirstLowSurrogate) {
            unsigned low = 0;
            whole =
                TakeWord("\\u") && Hex4(&low) && low >= kFirstLowSurrogate && low <= kLastSurrogate;
            *code = kSupplementaryBase + ((*code - kFirstSurrogate) << kSurrogateBits) +
                    (low - kFirstLowSurrogate);
        }
        if (!whole) at_ = begin;
        return whole;
    }

    bool String(std::string* out) {
        if (!Take('"')) return false;
        for (;;) {
            if (at_ >= text_.size()) return Refuse("a string ends with '\"'");
            const char c = text_[at_];
            if (c == '"') {
                ++at_;
                return true;
            }
            if (static_cast<unsigned char>(c) < kFirstNonControl) {
                return Refuse("a control character in a string is written with '\\'");
            }
            if (c != '\\') {
                *out += c;
                ++at_;
                continue;
            }
            const char e = at_ + 1 < text_.size() ? text_[at_ + 1] : '\0';
            const std::string plain = "\"\\/bfnrt";
            const std::string meant = "\"\\/\b\f\n\r\t";
            if (plain.find(e) != std::string::npos && e != '\0') {
                *out += meant[plain.find(e)];
                at_ += 2;
            } else if (e == 'u') {
                unsigned code = 0;
                if (!Escaped(&code)) {
                    return Refuse("\\u takes 4 hex digits, a surrogate pair joined");
                }
                AppendUtf8(code, out);
            } else {
                return Refuse("an escape is one of \\\" \\\\ \\/ \\b \\f \\n \\r \\t \\uXXXX");
            }
        }
    }

    const std::string& text_;
    std::size_t at_ = 0;
    std::string error_;
};

}  // namespace

std::string ReadJsonObject(const std::string& text, JsonMembers* members) {
    return Reader(text).Read(members);
}

}  // namespace qr::cli
