// Outlines from edges: every dark module contributes the sides it shares with light modules (or
// the quiet zone) as directed edges, clockwise around the module on screen; edges between two dark
// modules cancel and are never made. The edges are then walked into closed outlines, and the
// corners where a walk turns are kept.
#include "output/vector_shared.h"

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qr {

namespace {

// Directions of an edge leaving a grid corner; the corner's byte holds one bit for each.
enum Direction : unsigned char { RIGHT = 1, DOWN = 2, LEFT = 4, UP = 8 };

constexpr unsigned kFractionPlaces = 1000;  // three decimal places
constexpr unsigned kFullComponent = 255;
// The header of a PDF file; the comment of bytes above 127 tells programs that move files that
// this one is binary.
constexpr const char* PDF_FILE_HEADER = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
constexpr int kPdfOffsetDigits = 10;       // a cross-reference entry's byte offset
constexpr int kPdfFreeGeneration = 65535;  // of the head of the free list, object 0

class EdgeGrid {
public:
    EdgeGrid(int width, int height, const ModuleMatrix& modules)
        : corners_(width + 1),
          rows_(height + 1),
          out_(static_cast<std::size_t>(corners_) * rows_, 0) {
        auto dark = [&](int u, int v) {
            return u >= 0 && v >= 0 && u < width && v < height && modules[u][v] != 0;
        };
        for (int v = 0; v < height; ++v) {
            for (int u = 0; u < width; ++u) {
                if (!dark(u, v)) continue;
                if (!dark(u, v - 1)) Add(u, v, RIGHT);
                if (!dark(u + 1, v)) Add(u + 1, v, DOWN);
                if (!dark(u, v + 1)) Add(u + 1, v + 1, LEFT);
                if (!dark(u - 1, v)) Add(u, v + 1, UP);
            }
        }
    }

    // The first corner in row order from `from` on that has an edge left, as x + y * corners; -1
    // when none.
    int NextStart(int from) const {
        for (int at = from; at < corners_ * rows_; ++at) {
            if (out_[at] != 0) return at;
        }
        return -1;
    }

    // Takes an edge leaving corner `at`, arrived at going `heading`: straight on when there is
    // one, else the turn to the right (so that outlines touching at a corner stay apart), else
    // any. Returns its direction.
    Direction Take(int at, Direction heading) {
        const unsigned char here = out_[at];
        Direction next;
        if (here & heading) {
            next = heading;
        } else if (here & TurnRight(heading)) {
            next = TurnRight(heading);
        } else {
            next = (here & RIGHT) ? RIGHT : (here & DOWN) ? DOWN : (here & LEFT) ? LEFT : UP;
        }
        out_[at] = static_cast<unsigned char>(here & ~next);
        return next;
    }

    int Corners() const { return corners_; }

private:
    static Direction TurnRight(Direction d) {
        return d == RIGHT ? DOWN : d == DOWN ? LEFT : d == LEFT ? UP : RIGHT;
    }

    void Add(int x, int y, Direction d) {
        out_[x + y * corners_] = static_cast<unsigned char>(out_[x + y * corners_] | d);
    }

    int corners_;  // corners per row
    int rows_;     // rows of corners
    std::vector<unsigned char> out_;
};

}  // namespace

Outlines TraceOutlines(int width, int height, const ModuleMatrix& modules) {
    EdgeGrid grid(width, height, modules);
    const int corners = grid.Corners();
    Outlines outlines;
    for (int start = grid.NextStart(0); start != -1; start = grid.NextStart(start)) {
        const Corner first = {start % corners, start / corners};
        outlines.corners.push_back(first);
        // The start is the outline's top-left corner, so its first line is to the right (an
        // outer edge) or down (a hole), and its last line arrives from another direction.
        Corner at = first;
        Direction heading = RIGHT;
        bool moved = false;
        do {
            const Direction next = grid.Take(at.x + at.y * corners, heading);
            if (moved && next != heading) outlines.corners.push_back(at);
            heading = next;
            moved = true;
            at.x += heading == RIGHT ? 1 : heading == LEFT ? -1 : 0;
            at.y += heading == DOWN ? 1 : heading == UP ? -1 : 0;
        } while (!(at == first));
        outlines.ends.push_back(outlines.corners.size());
    }
    return outlines;
}

#if defined(__SSE2__)
// Sixteen rows of eight columns at a time: each column's cells compared with light, and the
// column's bit kept in the byte of each row that is dark there. Rows from `height` on are written
// with what the matrix holds there.
void CellRows(int width, int height, const ModuleMatrix& modules, std::uint64_t* rows) {
    unsigned char* const bytes = reinterpret_cast<unsigned char*>(rows);  // little-endian words
    constexpr std::size_t kRowBytes = sizeof *rows * kCellRowWords;
    const __m128i light = _mm_setzero_si128();
    for (int v = 0; v < height; v += 16) {
        for (int u = 0; u < width; u += 8) {
            __m128i gathered = light;  // byte j: row v + j as bits of columns u..u+7
            for (int i = 0; i < 8 && u + i < width; ++i) {
                __m128i cells;
                if (v + 16 <= kMaxSymbolSize) {
                    cells = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&modules[u + i][v]));
                } else {  // the last rows of the matrix
                    unsigned char last[16] = {};
                    std::memcpy(last, &modules[u + i][v],
                                static_cast<std::size_t>(kMaxSymbolSize - v));
                    cells = _mm_loadu_si128(reinterpret_cast<const __m128i*>(last));
                }
                gathered = _mm_or_si128(gathered,
                                        _mm_andnot_si128(_mm_cmpeq_epi8(cells, light),
                                                         _mm_set1_epi8(static_cast<char>(1 << i))));
            }
            alignas(16) unsigned char row[16];
            _mm_store_si128(reinterpret_cast<__m128i*>(row), gathered);
            for (int j = 0; j < 16; ++j)
                bytes[static_cast<std::size_t>(v + j) * kRowBytes + u / 8] = row[j];
        }
    }
}
#else
namespace {

std::uint64_t Load8(const unsigned char* at) {
    std::uint64_t word;
    std::memcpy(&word, at, sizeof word);
    return word;
}

constexpr std::uint64_t kOnes = 0x0101010101010101u;
constexpr std::uint64_t kLowSevens = 0x7F7F7F7F7F7F7F7Fu;

// 1 in each byte of `word` that is not 0, else 0.
std::uint64_t NonZeroBytes(std::uint64_t word) {
    return (((word & kLowSevens) + kLowSevens) | word) >> 7 & kOnes;
}

// The eight cells of a column `u` from row `v` on as bits (bit i for row v + i), dark 1; rows at
// `height` and after are light.
unsigned ColumnBits(const ModuleMatrix& modules, int u, int v, int height) {
    std::uint64_t cells = 0;
    if (v + 8 <= kMaxSymbolSize) {
        cells = Load8(&modules[u][v]);
    } else {
        std::memcpy(&cells, &modules[u][v], static_cast<std::size_t>(kMaxSymbolSize - v));
    }
    if (height - v < 8) cells &= (std::uint64_t{1} << (8 * (height - v))) - 1;
    return static_cast<unsigned>((NonZeroBytes(cells) * 0x0102040810204080u) >> 56);
}

// The 8x8 bits of `m` (byte i, bit j) transposed (byte j, bit i).
std::uint64_t Transpose8(std::uint64_t m) {
    std::uint64_t t = (m ^ (m >> 7)) & 0x00AA00AA00AA00AAu;
    m ^= t ^ (t << 7);
    t = (m ^ (m >> 14)) & 0x0000CCCC0000CCCCu;
    m ^= t ^ (t << 14);
    t = (m ^ (m >> 28)) & 0x00000000F0F0F0F0u;
    return m ^ t ^ (t << 28);
}

}  // namespace

// Blocks of 8x8 cells are turned from columns into rows; rows from `height` on are written
// light.
void CellRows(int width, int height, const ModuleMatrix& modules, std::uint64_t* rows) {
    for (int v = 0; v < height; v += 8) {
        for (int u = 0; u < width; u += 8) {
            std::uint64_t block = 0;  // byte i: column u + i as bits of rows v..v+7
            for (int i = 0; i < 8 && u + i < width; ++i)
                block |= std::uint64_t{ColumnBits(modules, u + i, v, height)} << (8 * i);
            block = Transpose8(block);  // byte j: row v + j as bits of columns u..u+7
            for (int j = 0; j < 8; ++j) {
                rows[static_cast<std::size_t>(v + j) * kCellRowWords + u / 64] |=
                    (block >> (8 * j) & 0xFF) << (u % 64);
            }
        }
    }
}
#endif

namespace {

// The last turn seen in a column of corners: where the link of its run down is to be written,
// and its first turn.
struct ColumnTail {
    std::uint16_t down;
    std::uint16_t first;
};

// Scratch of one thread's walks, kept for the next. A turn of an outline is a corner where it
// turns and the direction it leaves in; a saddle corner (two dark cells touching only there) is
// two turns, of two outlines or of one passing twice.
struct WalkScratch {
    std::vector<std::uint64_t> rows;   // the cells as bits, a light row above and below
    std::vector<std::uint16_t> next;   // of each turn, the turn that follows on its outline
    std::vector<std::uint16_t> place;  // of each turn, its corner: x + 256 * y
    std::vector<ColumnTail> tails;
    std::vector<std::uint16_t> starts;
    std::vector<unsigned char> seen;
};

// `a` when `bit` is 1, `b` when it is 0. The cells decide which, so no branch can guess it: the
// compilers make this a conditional move (a mask and two exclusive ors cost more).
unsigned Pick(unsigned bit, unsigned a, unsigned b) {
    return bit != 0 ? a : b;
}

// Turns are numbered in 16 bits, with room for two more.
static_assert(2 * (kMaxSymbolSize + 1) * (kMaxSymbolSize + 1) + 2 <= 0xFFFF);

template <typename T>
T* Room(std::vector<T>* scratch, std::size_t size) {
    if (scratch->size() < size) scratch->resize(size);
    return scratch->data();
}

}  // namespace

// The turns are numbered in the row order of their corners, a saddle's two in a row (right then
// left, or down then up). An outline's turn and the next are the ends of one run of edges, and a
// run ends at the first corner on its way where the outline turns: so a run to the right leads to
// the next turn in the row, one to the left to the turn before, and a run down or up to the next
// or the last turn in the column. At a saddle the outline turns right, so that the turn that
// follows is known from the direction of arrival alone. All links are made in one pass over the
// rows with no dependence from corner to corner, and the walk only follows them.
TurnLinks LinkTurns(int width, int height, const ModuleMatrix& modules) {
    static thread_local WalkScratch scratch;
    // Cell row v is rows[(v + 1) * kCellRowWords...]: rows -1 and `height` are light, and rows
    // after them are written over.
    const std::size_t rowsSize =
        static_cast<std::size_t>(height + 2 + kCellRowsPast) * kCellRowWords;
    std::uint64_t* const rows = Room(&scratch.rows, rowsSize);
    std::memset(rows, 0, rowsSize * sizeof *rows);
    CellRows(width, height, modules, rows + kCellRowWords);
    std::memset(rows + static_cast<std::size_t>(height + 1) * kCellRowWords, 0,
                kCellRowWords * sizeof *rows);
    // At most two turns a corner; one more place is written past the last turn, and `unused`
    // takes the links that no turn needs.
    const std::size_t most = 2 * static_cast<std::size_t>(width + 1) * (height + 1);
    std::uint16_t* const next = Room(&scratch.next, most + 2);
    std::uint16_t* const place = Room(&scratch.place, most + 2);
    const auto unused = static_cast<unsigned>(most + 1);
    ColumnTail* const tails = Room(&scratch.tails, static_cast<std::size_t>(width + 1));
    for (int x = 0; x <= width; ++x) tails[x] = {static_cast<std::uint16_t>(unused), 0};
    std::uint16_t* const starts = Room(&scratch.starts, most / 2);
    std::size_t startCount = 0;
    unsigned count = 0;  // turns so far
    for (int y = 0; y <= height; ++y) {
        // The cells around each corner: above (row y - 1) and below (row y), right of the corner
        // and left of it.
        const std::uint64_t* const aboveRow = rows + static_cast<std::size_t>(y) * kCellRowWords;
        const std::uint64_t* const belowRow = aboveRow + kCellRowWords;
        std::uint64_t carryAbove = 0;
        std::uint64_t carryBelow = 0;
        for (int w = 0; w < kCellRowWords; ++w) {
            const std::uint64_t above = aboveRow[w];
            const std::uint64_t below = belowRow[w];
            const std::uint64_t aboveLeft = above << 1 | carryAbove;
            const std::uint64_t belowLeft = below << 1 | carryBelow;
            carryAbove = above >> 63;
            carryBelow = below >> 63;
            // An outline turns where an edge across meets an edge up or down.
            std::uint64_t turning = ((above ^ aboveLeft) | (below ^ belowLeft)) &
                                    ((above ^ below) | (aboveLeft ^ belowLeft));
            const std::uint64_t saddles =
                ~(aboveLeft ^ below) & ~(above ^ belowLeft) & (above ^ below);
            const std::uint64_t rights = below & ~above;
            const std::uint64_t downs = belowLeft & ~below;
            const std::uint64_t ups = above & ~aboveLeft;
            // Corners that may begin an outline: the top-left one of a dark cell with light cells
            // above and left, or of a light cell with dark ones there; the first in row order on
            // each outline begins it.
            const std::uint64_t firsts =
                (below & ~above & ~belowLeft) | (~below & above & belowLeft);
            const unsigned placed = static_cast<unsigned>(y) << 8 | static_cast<unsigned>(64 * w);
            while (turning != 0) {
                const int bit = __builtin_ctzll(turning);
                turning &= turning - 1;
                const unsigned saddle = saddles >> bit & 1;
                const unsigned up = ups >> bit & 1;
                ColumnTail& tail = tails[64 * w + bit];
                // Right to the next turn in the row; left from the corner's last turn to the turn
                // before; up to the last turn in the column, and the last turn's run down to here.
                const unsigned upOrBack = Pick(up, tail.first, count - 1);
                next[count] = static_cast<std::uint16_t>(
                    Pick(rights >> bit & 1, count + 1 + saddle, upOrBack));
                next[count + 1] = static_cast<std::uint16_t>(upOrBack);
                next[tail.down] = static_cast<std::uint16_t>(count + saddle);
                tail = {static_cast<std::uint16_t>(Pick(downs >> bit & 1, count, unused)),
                        static_cast<std::uint16_t>(count)};
                place[count] = place[count + 1] = static_cast<std::uint16_t>(placed + bit);
                starts[startCount] = static_cast<std::uint16_t>(count);
                startCount += firsts >> bit & 1;
                count += 1 + saddle;
            }
        }
    }
    unsigned char* const seen = Room(&scratch.seen, most);
    std::memset(seen, 0, count);
    return {next, place, starts, startCount, seen, count};
}

Outlines WalkOutlines(int width, int height, const ModuleMatrix& modules) {
    const TurnLinks links = LinkTurns(width, height, modules);
    Outlines outlines;
    outlines.corners.resize(links.turnCount);
    Corner* const begin = outlines.corners.data();
    Corner* out = begin;
    FollowTurns(
        links, [&out](Corner corner, bool) { *out++ = corner; },
        [&outlines, &out, begin] {
            outlines.ends.push_back(static_cast<std::size_t>(out - begin));
        });
    return outlines;
}

std::string FractionOf255(unsigned component) {
    const unsigned thousandths =
        (component * kFractionPlaces + kFullComponent - 1) / kFullComponent;  // rounded up
    if (thousandths % kFractionPlaces == 0) return std::to_string(thousandths / kFractionPlaces);
    std::string text = "0.";
    unsigned digits = thousandths;
    for (unsigned place = kFractionPlaces / 10; place > 0 && digits != 0; place /= 10) {
        text += static_cast<char>('0' + digits / place);
        digits %= place;
    }
    return text;
}

std::string RgbFractions(Rgba colour) {
    return FractionOf255(RedOf(colour)) + " " + FractionOf255(GreenOf(colour)) + " " +
           FractionOf255(BlueOf(colour));
}

WordLines::WordLines(std::string* text, std::size_t room) : text_(text) {
    const std::size_t lineFeed = text->rfind('\n');
    lineLength_ = lineFeed == std::string::npos ? text->size() : text->size() - lineFeed - 1;
    text->reserve(text->size() + room);
}

void WordLines::Finish() {
    text_->append(buffer_, buffered_);
    buffered_ = 0;
}

void AppendEpsPrologue(const std::string& boxes, int room,
                       std::initializer_list<EpsOperator> operators, const std::string& height,
                       const std::string& unit, std::string* eps) {
    *eps += "%!PS-Adobe-3.0 EPSF-3.0\n" + boxes + "%%LanguageLevel: 2\n%%EndComments\n";
    *eps += std::to_string(room) + " dict begin\n";
    for (const EpsOperator& op : operators) {
        *eps += "/" + std::string(op.name) + " {" + op.body + "} bind def\n";
    }
    *eps += "0 " + height + " translate " + unit + " " + unit + " neg scale\n";
}

std::string AssemblePdf(const std::vector<std::string>& objects) {
    // Appends `value` in kPdfOffsetDigits decimal digits, zeros first.
    auto appendPadded = [](std::size_t value, std::string* text) {
        char digits[kPdfOffsetDigits];
        for (int i = kPdfOffsetDigits - 1; i >= 0; --i, value /= 10)
            digits[i] = static_cast<char>('0' + value % 10);
        text->append(digits, sizeof digits);
    };
    std::string pdf = PDF_FILE_HEADER;
    std::size_t room = pdf.size() + 256;  // the table and trailer of a few objects
    for (const std::string& object : objects) room += object.size() + 64;
    pdf.reserve(room);
    std::vector<std::size_t> offsets;
    offsets.reserve(objects.size());
    for (std::size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(pdf.size());
        // Piece by piece, so that a long object is copied once and no piece is made on its own.
        pdf += std::to_string(i + 1);
        pdf += " 0 obj\n";
        pdf += objects[i];
        pdf += "\nendobj\n";
    }
    // Every cross-reference entry is 20 bytes: offset, generation, kind and a two-byte end of line.
    const std::size_t table = pdf.size();
    const std::string count = std::to_string(objects.size() + 1);
    pdf += "xref\n0 ";
    pdf += count;
    pdf += '\n';
    appendPadded(0, &pdf);
    pdf += ' ';
    pdf += std::to_string(kPdfFreeGeneration);
    pdf += " f \n";
    for (const std::size_t offset : offsets) {
        appendPadded(offset, &pdf);
        pdf += " 00000 n \n";
    }
    pdf += "trailer\n<< /Size ";
    pdf += count;
    pdf += " /Root 1 0 R >>\nstartxref\n";
    pdf += std::to_string(table);
    pdf += "\n%%EOF\n";
    return pdf;
}

}  // namespace qr
