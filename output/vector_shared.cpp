// Outlines from edges: every dark module contributes the sides it shares with light modules (or
// the quiet zone) as directed edges, clockwise around the module on screen; edges between two dark
// modules cancel and are never made. The edges are then walked into closed outlines, and the
// corners where a walk turns are kept.
#include "output/vector_shared.h"

#include <cstdint>
#include <cstring>

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

namespace {

// The direction to the right of each direction, the first of each set of directions in the order
// right, down, left, up.
constexpr unsigned char RIGHT_OF[UP + 1] = {0, DOWN, LEFT, 0, UP, 0, 0, 0, RIGHT};
constexpr unsigned char FIRST_OF[16] = {0,  RIGHT, DOWN, RIGHT, LEFT, RIGHT, DOWN, RIGHT,
                                        UP, RIGHT, DOWN, RIGHT, LEFT, RIGHT, DOWN, RIGHT};

std::uint64_t Load8(const unsigned char* at) {
    std::uint64_t word;
    std::memcpy(&word, at, sizeof word);
    return word;
}

void Store8(unsigned char* at, std::uint64_t word) {
    std::memcpy(at, &word, sizeof word);
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

// Eight bytes of 0 or 1 from the bits of `bits` (bit i into byte i).
std::uint64_t SpreadBits(unsigned bits) {
    const std::uint64_t own = (bits * kOnes) & 0x8040201008040201u;
    return ((own + 0x7F * kOnes) & (0x80 * kOnes)) >> 7;
}

// Scratch of one thread's walks, kept for the next: the bordered cells and the corners' edges.
struct WalkScratch {
    std::vector<unsigned char> dark;
    std::vector<unsigned char> out;
};

}  // namespace

Outlines WalkOutlines(int width, int height, const ModuleMatrix& modules) {
    Outlines outlines;
    WalkOutlines(width, height, modules, &outlines);
    return outlines;
}

void WalkOutlines(int width, int height, const ModuleMatrix& modules, Outlines* outlines) {
    static thread_local WalkScratch scratch;
    // The cells row by row, 1 dark, with a light border on every side and light bytes after each
    // row to a multiple of eight and eight more, so that eight cells and their neighbours are
    // read at once. Blocks of 8x8 cells are turned from columns into rows as bits.
    const int stride = (width + 1 + 7) / 8 * 8 + 8;
    const std::size_t darkSize = static_cast<std::size_t>(height + 2 + 8) * stride;
    if (scratch.dark.size() < darkSize) scratch.dark.resize(darkSize);
    unsigned char* const dark = scratch.dark.data();
    std::memset(dark, 0, static_cast<std::size_t>(stride));
    for (int v = 0; v < height; v += 8) {
        for (int j = 0; j < 8; ++j) dark[static_cast<std::size_t>(v + j + 1) * stride] = 0;
        for (int u = 0; u < stride - 8; u += 8) {
            std::uint64_t block = 0;  // byte i: column u + i as bits of rows v..v+7
            for (int i = 0; i < 8 && u + i < width; ++i)
                block |= std::uint64_t{ColumnBits(modules, u + i, v, height)} << (8 * i);
            block = Transpose8(block);  // byte j: row v + j as bits of columns u..u+7
            for (int j = 0; j < 8; ++j) {
                unsigned char* row = dark + static_cast<std::size_t>(v + j + 1) * stride + 1;
                Store8(row + u, SpreadBits(static_cast<unsigned>(block >> (8 * j)) & 0xFF));
            }
        }
    }
    // Rows written past the last are light: the row below the cells is the border.
    std::memset(dark + static_cast<std::size_t>(height + 1) * stride, 0,
                static_cast<std::size_t>(stride));
    // Each corner's edges leaving it, as the plain grid has them, eight corners at a time from
    // the cells around them: a module's edge is there where its neighbour on that side is light.
    // The bytes written past a row's last corner are zero (light cells around them) and are
    // written again by the next row.
    const int corners = width + 1;
    const std::size_t total = static_cast<std::size_t>(corners) * (height + 1);
    if (scratch.out.size() < total + 16) scratch.out.resize(total + 16);
    unsigned char* const out = scratch.out.data();
    std::memset(out + total, 0, 16);
    std::size_t turning = 0;  // corners with edges: each is an outline's corner at most twice
    for (int v = 0; v <= height; ++v) {
        // Cells right of and left of the corners, in the row below them and the row above.
        const unsigned char* below = dark + static_cast<std::size_t>(v + 1) * stride + 1;
        const unsigned char* above = below - stride;
        unsigned char* row = out + static_cast<std::size_t>(v) * corners;
        for (int x = 0; x < corners; x += 8) {
            const std::uint64_t belowRight = Load8(below + x);
            const std::uint64_t belowLeft = Load8(below + x - 1);
            const std::uint64_t aboveRight = Load8(above + x);
            const std::uint64_t aboveLeft = Load8(above + x - 1);
            const std::uint64_t edges =
                (belowRight & ~aboveRight) * RIGHT | (belowLeft & ~belowRight) * DOWN |
                (aboveLeft & ~belowLeft) * LEFT | (aboveRight & ~aboveLeft) * UP;
            Store8(row + x, edges);
            turning += static_cast<std::size_t>((NonZeroBytes(edges) * kOnes) >> 56);
        }
    }
    // The walk of TraceOutlines: straight on as long as there is an edge, then right, else the
    // first edge in the order right, down, left, up.
    outlines->corners.clear();
    outlines->ends.clear();
    outlines->corners.reserve(2 * turning);
    for (std::size_t start = 0; start < total;) {
        const std::uint64_t ahead = Load8(out + start);
        if (ahead == 0) {
            start += 8;
            continue;
        }
        start += static_cast<std::size_t>(__builtin_ctzll(ahead) / 8);
        if (start >= total) break;
        Corner at = {static_cast<int>(start % corners), static_cast<int>(start / corners)};
        outlines->corners.push_back(at);
        unsigned char* here = out + start;
        const unsigned char* first = here;
        unsigned heading = (*here & RIGHT)  ? unsigned{RIGHT}
                           : (*here & DOWN) ? unsigned{DOWN}
                                            : unsigned{FIRST_OF[*here]};
        // Each heading's run of edges, the edges taken as they are passed; the run ends where
        // the next corner has no edge in that direction, or back at the first.
        auto run = [&here, first](unsigned direction, std::ptrdiff_t step, int& coordinate,
                                  int sign) {
            do {
                *here = static_cast<unsigned char>(*here & ~direction);
                here += step;
                coordinate += sign;
            } while (here != first && (*here & direction));
        };
        for (;;) {
            switch (heading) {
                case RIGHT:
                    run(RIGHT, 1, at.x, 1);
                    break;
                case DOWN:
                    run(DOWN, corners, at.y, 1);
                    break;
                case LEFT:
                    run(LEFT, -1, at.x, -1);
                    break;
                default:
                    run(UP, -corners, at.y, -1);
                    break;
            }
            if (here == first) break;
            outlines->corners.push_back(at);
            heading = (*here & RIGHT_OF[heading]) ? RIGHT_OF[heading] : FIRST_OF[*here];
        }
        outlines->ends.push_back(outlines->corners.size());
    }
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
    auto padded = [](std::size_t value) {
        const std::string text = std::to_string(value);
        return std::string(static_cast<std::size_t>(kPdfOffsetDigits) - text.size(), '0') + text;
    };
    std::string pdf = PDF_FILE_HEADER;
    std::size_t room = pdf.size() + 256;  // the table and trailer of a few objects
    for (const std::string& object : objects) room += object.size() + 64;
    pdf.reserve(room);
    std::vector<std::size_t> offsets;
    for (std::size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(pdf.size());
        // Piece by piece, so that a long object is copied once.
        pdf += std::to_string(i + 1);
        pdf += " 0 obj\n";
        pdf += objects[i];
        pdf += "\nendobj\n";
    }
    // Every cross-reference entry is 20 bytes: offset, generation, kind and a two-byte end of line.
    const std::size_t table = pdf.size();
    const std::string count = std::to_string(objects.size() + 1);
    pdf +=
        "xref\n0 " + count + "\n" + padded(0) + " " + std::to_string(kPdfFreeGeneration) + " f \n";
    for (const std::size_t offset : offsets) pdf += padded(offset) + " 00000 n \n";
    pdf += "trailer\n<< /Size " + count + " /Root 1 0 R >>\nstartxref\n" + std::to_string(table) +
           "\n%%EOF\n";
    return pdf;
}

}  // namespace qr
