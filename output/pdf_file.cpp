// PDF: four objects (catalogue, page tree, page, content stream compressed by DeflateFast),
// assembled with their header, cross-reference table and trailer by AssemblePdf. The dark modules
// are one path of a rectangle for each run of them in a row: half the characters of their
// outlines, and regular enough to compress to less than half as many bytes.
#include "output/pdf_file.h"

#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "output/deflate_fast.h"
#include "output/vector_shared.h"

namespace qr {

namespace {

// The page's content up to its path into `content`, replacing what it held: the transform to
// module coordinates, the light page, the dark colour and the origin moved to the symbol's corner.
void ContentHead(int width, int height, const RenderOptions& options, std::string& content) {
    const int across = width + 2 * options.margin;
    const int down = height + 2 * options.margin;
    const std::string scale = std::to_string(options.scale);
    const std::string margin = std::to_string(options.margin);
    content.clear();
    content += scale + " 0 0 -" + scale + " 0 " + std::to_string(down * options.scale) + " cm\n";
    content += RgbFractions(options.light) + " rg\n";
    content += "0 0 " + std::to_string(across) + " " + std::to_string(down) + " re f\n";
    content += RgbFractions(options.dark) + " rg\n";
    content += "1 0 0 1 " + margin + " " + margin + " cm\n";
}

// ContentHead of the last page made on this thread, kept: the next page of the same size and
// options takes it as it is.
const std::string& KeptHead(int width, int height, const RenderOptions& options) {
    struct Kept {
        int width = -1;  // none yet
        int height;
        RenderOptions options;
        std::string head;
    };
    static thread_local Kept kept;
    const RenderOptions& o = kept.options;
    if (kept.width != width || kept.height != height || o.scale != options.scale ||
        o.margin != options.margin || o.dark != options.dark || o.light != options.light) {
        kept.width = -1;  // until the head is whole
        ContentHead(width, height, options, kept.head);
        kept.height = height;
        kept.options = options;
        kept.width = width;
    }
    return kept.head;
}

// The room the path of `width` x `height` cells may take: a row has at most (width + 1) / 2 runs; a
// word takes at most 3 * 4 + 5 characters and its separator ("176 176 176 1 re"); and the "f".
std::size_t PathRoom(int width, int height) {
    return 18 * static_cast<std::size_t>(height) * (width + 1) / 2 + 2;
}

// Writes at `at` the word of a run of `length` dark cells from column `x` in row `y`,
// "x y length 1 re", and returns the place after it (nothing is written past it).
char* PutRunWord(char* at, int x, int y, int length) {
    at = PutShortNumber(at, x);
    *at++ = ' ';
    at = PutShortNumber(at, y);
    *at++ = ' ';
    at = PutShortNumber(at, length);
    std::memcpy(at, " 1 re", 5);
    return at + 5;
}

// The length of the run of dark cells from column `x` of `row` (a row of CellRows, whose last
// word holds a light cell after the symbol's): the first light cell from there, looked for a word
// at a time.
int RunFrom(const std::uint64_t* row, int x) {
    int k = x / 64;
    int bit = x % 64;
    std::uint64_t light = ~row[k] >> bit;  // 0 when the run reaches the word's end
    int length = 0;
    while (light == 0) {
        length += 64 - bit;
        bit = 0;
        light = ~row[++k];
    }
    return length + __builtin_ctzll(light);
}

// Words written one after the other into room, each after the separator WordLines would give it:
// none on an empty line, else a space, or a line feed when the line would grow beyond
// kMaxLineLength. The plain content (PlainPdfContent) appends the same words through WordLines.
class WordsInRoom {
public:
    // Words from `at` on, on an empty line.
    explicit WordsInRoom(char* at) : at_(at) {}
    // Where the next word goes: after the place of its separator, unless the line is empty.
    char* Next() const { return at_ + (line_ > 0 ? 1 : 0); }
    // Ends the word written at Next() up to `end`: writes its separator and counts it into the
    // line.
    void End(char* end) {
        const std::size_t size = static_cast<std::size_t>(end - Next());
        if (line_ > 0) {
            const bool fits = line_ + 1 + size <= kMaxLineLength;
            *at_ = fits ? ' ' : '\n';
            line_ = fits ? line_ + 1 + size : size;
        } else {
            line_ = size;
        }
        at_ = end;
    }
    char* at() const { return at_; }

private:
    char* at_;
    std::size_t line_ = 0;
};

// Writes the words of the runs of dark cells and the "f" that fills them from `at` on (the start of
// a line, PathRoom(width, height) + 16 bytes of room), and returns the place after them. The rows
// are read as bits: the first cells of the runs in a word are the set bits of a mask, made with no
// test of a cell.
char* PutRuns(int width, int height, const ModuleMatrix& modules, char* at) {
    std::uint64_t rows[(kMaxSymbolSize + kCellRowsPast) * kCellRowWords];
    std::memset(rows, 0, sizeof *rows * kCellRowWords * (height + kCellRowsPast));
    CellRows(width, height, modules, rows);
    const int words = (width + 63) / 64;
    WordsInRoom out(at);
    for (int y = 0; y < height; ++y) {
        const std::uint64_t* const row = rows + y * kCellRowWords;
        std::uint64_t before = 0;  // the last cell of the word before, in bit 0
        for (int k = 0; k < words; ++k) {
            for (std::uint64_t firsts = row[k] & ~(row[k] << 1 | before); firsts != 0;
                 firsts &= firsts - 1) {
                const int x = 64 * k + __builtin_ctzll(firsts);
                out.End(PutRunWord(out.Next(), x, y, RunFrom(row, x)));
            }
            before = row[k] >> 63;
        }
    }
    char* f = out.Next();
    *f = 'f';
    out.End(f + 1);
    return out.at();
}

// The page's content into `content` (room kept from call to call, `size` bytes of it used): the
// head, then the path written straight into the room.
void Content(int width, int height, const ModuleMatrix& modules, const RenderOptions& options,
             std::vector<char>& content, std::size_t* size) {
    const std::string& head = KeptHead(width, height, options);
    const std::size_t most = head.size() + PathRoom(width, height) + 16;
    if (content.size() < most) content.resize(most);
    std::memcpy(content.data(), head.data(), head.size());
    *size = static_cast<std::size_t>(PutRuns(width, height, modules, content.data() + head.size()) -
                                     content.data());
}

}  // namespace

std::string PlainPdfContent(int width, int height, const ModuleMatrix& modules,
                            const RenderOptions& options) {
    std::string content;
    ContentHead(width, height, options, content);
    WordLines lines(&content, PathRoom(width, height));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (modules[x][y] == 0) continue;
            const int first = x;
            while (x + 1 < width && modules[x + 1][y] != 0) ++x;
            char word[WordLines::kShortWord];
            const char* end = PutRunWord(word, first, y, x - first + 1);
            lines.AppendShort(word, static_cast<std::size_t>(end - word));
        }
    }
    lines.Append("f", 1);
    lines.Finish();
    return content;
}

bool ComposePdf(int width, int height, const ModuleMatrix& modules, const RenderOptions& options,
                std::string* out) try {
    static thread_local std::vector<char> plain;  // room kept for the next page
    std::size_t size = 0;
    Content(width, height, modules, options, plain, &size);
    // The objects in room kept for the next page, each written in place; the stream is compressed
    // into its object, and its dictionary put before it once its length is known.
    static thread_local std::vector<std::string> objects(4);
    objects[0] = "<< /Type /Catalog /Pages 2 0 R >>";
    objects[1] = "<< /Type /Pages /Kids [3 0 R] /Count 1 >>";
    std::string& page = objects[2];
    page = "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 ";
    page += std::to_string((width + 2 * options.margin) * options.scale);
    page += ' ';
    page += std::to_string((height + 2 * options.margin) * options.scale);
    page += "] /Resources << >> /Contents 4 0 R >>";
    std::string& stream = objects[3];
    stream = "<< /Length ";
    const std::size_t lengthAt = stream.size();
    stream += " /Filter /FlateDecode >>\nstream\n";
    const std::size_t streamAt = stream.size();
    DeflateFast(reinterpret_cast<const unsigned char*>(plain.data()), size, &stream);
    stream.insert(lengthAt, std::to_string(stream.size() - streamAt));
    stream += "\nendstream";
    std::string pdf = AssemblePdf(objects);
    out->swap(pdf);
    return true;
} catch (const std::bad_alloc&) {
    out->clear();
    return false;
}

}  // namespace qr
