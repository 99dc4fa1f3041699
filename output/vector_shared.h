// What the vector writers (SVG, EPS, PDF) share: the outlines of the dark modules, and colour
// components written as decimal fractions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "encoder/module_matrix.h"
#include "output/render_options.h"

namespace qr {

// A corner of the module grid: x counts module edges from the symbol's left side, y from its top
// (the quiet zone is not included).
struct Corner {
    int x;
    int y;
    bool operator==(const Corner& other) const { return x == other.x && y == other.y; }
};

// The outlines of the dark modules. Each 4-connected region of dark modules is bounded by one
// outline running clockwise on screen (y down), and each light hole in it by one running
// anticlockwise, so that the nonzero fill rule fills exactly the dark modules. `corners` holds the
// corners at which the outlines turn, one outline after the other, each beginning at its top-left
// corner; outline i ends before corners[ends[i]]. Consecutive corners of an outline, and its last
// and first, are joined by a horizontal or vertical line. Outlines come in the row order of their
// first corners, and two outlines that touch at a corner never cross there.
struct Outlines {
    std::vector<Corner> corners;
    std::vector<std::size_t> ends;
};

// The outlines of `width` x `height` cells of `modules` (non-zero is dark), the plain
// way: edges from each module and its four neighbours, walked one by one. Throws std::bad_alloc
// when no memory can be had.
Outlines TraceOutlines(int width, int height, const ModuleMatrix& modules);

// The same outlines, from LinkTurns followed by FollowTurns, as a list: the writers follow the
// links themselves (FollowPath), and this ties them to the plain trace. Contract:
// WalkOutlines(w, h, m) == TraceOutlines(w, h, m). Throws std::bad_alloc when no memory can be
// had.
Outlines WalkOutlines(int width, int height, const ModuleMatrix& modules);

// A row of cells as bits: kCellRowWords words, bit x % 64 of word x / 64 for column x, dark 1;
// room for the corners of the widest symbol and one more.
constexpr int kCellRowWords = (kMaxSymbolSize + 1 + 63) / 64;
// Rows past the last that CellRows may write.
constexpr int kCellRowsPast = 16;

// The `width` x `height` cells of `modules` (non-zero is dark) as rows of bits, row v at
// rows[v * kCellRowWords]; the words must be zero, and room is needed for `height` +
// kCellRowsPast rows. Bits of columns from `width` on stay 0; the rows after the last may be
// written with anything.
void CellRows(int width, int height, const ModuleMatrix& modules, std::uint64_t* rows);

// The turns of the outlines of WalkOutlines: a turn is a corner where an outline turns, with the
// direction in which it leaves (a corner where two dark cells touch only diagonally is two turns),
// each linked to the turn that follows on its outline. Made per thread, kept until the next
// LinkTurns on the thread.
struct TurnLinks {
    const std::uint16_t* next;    // of each turn, the turn that follows
    const std::uint16_t* place;   // of each turn, its corner: x + 256 * y
    const std::uint16_t* starts;  // turns that may begin an outline, in row order
    std::size_t startCount;
    unsigned char* seen;  // a byte for each turn, 0; FollowTurns marks the turns it passes
    std::size_t turnCount;
};

// The turns of the outlines of `width` x `height` cells of `modules` (non-zero is dark), linked.
// Throws std::bad_alloc when no memory can be had.
TurnLinks LinkTurns(int width, int height, const ModuleMatrix& modules);

// Follows `links` (once) outline by outline, corner by corner, in the order of WalkOutlines:
// calls visit(corner, first) for each corner, `first` true for an outline's first, and close()
// after each outline's last.
template <typename Visit, typename Close>
void FollowTurns(const TurnLinks& links, Visit&& visit, Close&& close) {
    for (std::size_t k = 0; k < links.startCount; ++k) {
        // The first corner in row order of an outline not followed yet begins the next.
        const unsigned first = links.starts[k];
        if (links.seen[first] != 0) continue;
        unsigned at = first;
        do {
            links.seen[at] = 1;
            const unsigned corner = links.place[at];
            visit(Corner{static_cast<int>(corner & 0xFF), static_cast<int>(corner >> 8)},
                  at == first);
            at = links.next[at];
        } while (at != first);
        close();
    }
}

// Follows `links` as FollowTurns does, telling a path what to draw: move(to, absolute) at each
// outline's first corner, `to` the corner itself for the first outline (`absolute` true), else
// its offset from the first corner of the outline before; line(step, across) for each further
// corner, `step` the change of the one coordinate that changes, x when `across`, else y; and
// close() after each outline's last corner.
template <typename Move, typename Line, typename Close>
void FollowPath(const TurnLinks& links, Move&& move, Line&& line, Close&& close) {
    Corner start = {0, 0};  // of the outline before
    Corner last = {0, 0};   // the corner before
    bool firstOutline = true;
    FollowTurns(
        links,
        [&](Corner corner, bool first) {
            if (!first) {
                const bool across = corner.y == last.y;
                line(across ? corner.x - last.x : corner.y - last.y, across);
            } else {
                move(firstOutline ? corner : Corner{corner.x - start.x, corner.y - start.y},
                     firstOutline);
                firstOutline = false;
                start = corner;
            }
            last = corner;
        },
        close);
}

// The red, green and blue of `colour` as three fractions of FractionOf255(), "0.2 0.4 0.6".
std::string RgbFractions(Rgba colour);

// `component` (0..255) divided by 255, as the shortest decimal of at most three places that is
// not smaller: "0", "1", "0.2", "0.502". Multiplied by 255 it lies in [component, component +
// 0.255), so a reader that rounds and one that truncates both get `component` back.
std::string FractionOf255(unsigned component);

// Appends words to a text: each directly when the text is empty or ends a line, else after a space,
// or after a line feed when the line would grow beyond kMaxLineLength characters, so that EPS and
// PDF lines stay short. The length of the last line is kept, and the words are gathered in a
// buffer of the object's own and appended to the text a buffer at a time.
constexpr std::size_t kMaxLineLength = 79;
class WordLines {
public:
    // Continues `text`, making room for `room` more characters (the words and a separator before
    // each). Throws std::bad_alloc when no memory can be had.
    WordLines(std::string* text, std::size_t room);
    // Appends `word`. Throws std::bad_alloc when no memory can be had.
    void Append(const char* word, std::size_t size) {
        if (buffered_ + 1 + size > kBufferSize) Finish();
        Separate(size);
        if (buffered_ + size > kBufferSize) {  // a word longer than the buffer goes on its own
            Finish();
            text_->append(word, size);
            return;
        }
        std::memcpy(buffer_ + buffered_, word, size);
        buffered_ += size;
    }
    // Append for a word of `size` (at most kShortWord) characters at `word`, from where
    // kShortWord bytes can be read: they are copied whole, which takes no call. Throws
    // std::bad_alloc when no memory can be had.
    static constexpr std::size_t kShortWord = 16;
    void AppendShort(const char* word, std::size_t size) {
        if (buffered_ + 1 + kShortWord > kBufferSize) Finish();
        Separate(size);
        std::memcpy(buffer_ + buffered_, word, kShortWord);
        buffered_ += size;
    }
    // AppendShort for a word packed as StepWords packs it. Throws std::bad_alloc when no memory
    // can be had.
    void AppendPacked(std::uint64_t word) {
        const auto size = static_cast<std::size_t>(word >> 56);
        if (buffered_ + 1 + sizeof word > kBufferSize) Finish();
        Separate(size);
        std::memcpy(buffer_ + buffered_, &word, sizeof word);
        buffered_ += size;
    }
    // Appends the words gathered to `text`. Throws std::bad_alloc when no memory can be had.
    void Finish();

private:
    // Buffers the separator before a word of `size` characters, if one is due, and counts the
    // word into the line.
    void Separate(std::size_t size) {
        if (lineLength_ > 0) {
            const bool fits = lineLength_ + 1 + size <= kMaxLineLength;
            buffer_[buffered_++] = fits ? ' ' : '\n';
            lineLength_ = fits ? lineLength_ + 1 : 0;
        }
        lineLength_ += size;
    }

    static constexpr std::size_t kBufferSize = 2048;
    std::string* text_;
    std::size_t lineLength_;  // characters of the last line, in `text` and the buffer
    std::size_t buffered_ = 0;
    char buffer_[kBufferSize];
};

// Writes the decimal digits of `value` (a '-' first when it is negative) at `at`, and returns the
// place after them. Room for 11 characters is needed.
inline char* PutNumber(char* at, int value) {
    unsigned magnitude = static_cast<unsigned>(value);
    if (value < 0) {
        *at++ = '-';
        magnitude = 0u - magnitude;
    }
    if (magnitude < 10) {  // most numbers of an outline
        *at++ = static_cast<char>('0' + magnitude);
        return at;
    }
    char digits[10];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    while (count > 0) *at++ = digits[--count];
    return at;
}

// The text of each number from -kMaxSymbolSize to kMaxSymbolSize, as PutNumber writes it, in four
// bytes (the rest zero) and its length: every step of an outline is one of them.
struct ShortNumbers {
    struct Text {
        char digits[4];
        unsigned char length;
    };
    Text of[2 * kMaxSymbolSize + 1];
};

constexpr ShortNumbers MakeShortNumbers() {
    ShortNumbers t{};
    for (int value = -kMaxSymbolSize; value <= kMaxSymbolSize; ++value) {
        ShortNumbers::Text& text = t.of[value + kMaxSymbolSize];
        int magnitude = value < 0 ? -value : value;
        int length = (value < 0 ? 1 : 0) + (magnitude >= 100 ? 3 : magnitude >= 10 ? 2 : 1);
        text.length = static_cast<unsigned char>(length);
        if (value < 0) text.digits[0] = '-';
        do {
            text.digits[--length] = static_cast<char>('0' + magnitude % 10);
            magnitude /= 10;
        } while (magnitude != 0);
    }
    return t;
}

inline constexpr ShortNumbers SHORT_NUMBERS = MakeShortNumbers();

// PutNumber for a `value` from -kMaxSymbolSize to kMaxSymbolSize, from SHORT_NUMBERS: writes four
// bytes at `at` (room for them is needed) and returns the place after the number's characters.
inline char* PutShortNumber(char* at, int value) {
    const ShortNumbers::Text& text = SHORT_NUMBERS.of[value + kMaxSymbolSize];
    std::memcpy(at, text.digits, sizeof text.digits);
    return at + text.length;
}

// Each step of an outline, from -kMaxSymbolSize to kMaxSymbolSize, as a word that draws it:
// `before`, the number as PutShortNumber writes it and `after` (seven characters at most), in the
// bytes of a word from the lowest on, and the word's length in the top byte.
struct StepWords {
    std::uint64_t of[2 * kMaxSymbolSize + 1];
};

constexpr StepWords MakeStepWords(const char* before, const char* after) {
    StepWords t{};
    for (int i = 0; i <= 2 * kMaxSymbolSize; ++i) {
        std::uint64_t word = 0;
        unsigned length = 0;
        auto put = [&word, &length](char c) {
            word |= std::uint64_t{static_cast<unsigned char>(c)} << (8 * length++);
        };
        for (const char* c = before; *c != '\0'; ++c) put(*c);
        for (int k = 0; k < SHORT_NUMBERS.of[i].length; ++k) put(SHORT_NUMBERS.of[i].digits[k]);
        for (const char* c = after; *c != '\0'; ++c) put(*c);
        t.of[i] = word | std::uint64_t{length} << 56;
    }
    return t;
}
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "step words are copied lowest byte first");

// Writes the word of `step` from `words` at `at` (eight bytes: room for them is needed) and
// returns the place after its characters.
inline char* PutStepWord(char* at, const StepWords& words, int step) {
    const std::uint64_t word = words.of[step + kMaxSymbolSize];
    std::memcpy(at, &word, sizeof word);
    return at + (word >> 56);
}

// A path operator that an EPS document defines for itself: "/name {body} bind def".
struct EpsOperator {
    const char* name;
    const char* body;
};

// Appends to `eps` the head of an EPS document up to its drawing: the header comment, `boxes` (the
// bounding box comment lines, each ending in a line feed), a dictionary with room for `room`
// entries (no fewer than the operators) begun with `operators` defined in it, and the transform to
// a space of `unit` points per step with y down from the top of a page `height` points high (both
// as written). The document closes the dictionary with "end". Throws std::bad_alloc when no memory
// can be had.
void AppendEpsPrologue(const std::string& boxes, int room,
                       std::initializer_list<EpsOperator> operators, const std::string& height,
                       const std::string& unit, std::string* eps);

// The whole PDF file of `objects` (their dictionaries and streams, object i + 1 at index i, the
// catalogue first): the header, each object, the cross-reference table of their offsets and the
// trailer. Throws std::bad_alloc when no memory can be had.
std::string AssemblePdf(const std::vector<std::string>& objects);

}  // namespace qr
