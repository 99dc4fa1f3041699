// PNG written here, chunk by chunk. The image data is made of bands of `scale` identical pixel
// rows, so it is compressed from what is known of it rather than searched: each band's first row
// is coded against its own earlier bytes (runs) and the rows of the bands before it, and the rest
// of the band is one copy of the row above. Every row has filter type 0: a repeated row costs the
// same as a copy, and the one-bit pixels gain nothing from differences.
#include "output/png_file.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <iterator>
#include <new>
#include <vector>

#include "output/checksums.h"
#include "output/deflate.h"
#include "output/pixel_rows.h"
#include "output/png_chunks.h"

namespace qr {

namespace {

constexpr int kBitDepth = 1;
constexpr int kColourGray = 0;
constexpr int kColourPalette = 3;
constexpr int kPaletteSize = 2;  // the dark colour, then the light one
constexpr unsigned char kFilterNone = 0;

std::string Header(int across, int down, bool palette) {
    std::string ihdr;
    PutBig32(&ihdr, static_cast<std::uint32_t>(across));
    PutBig32(&ihdr, static_cast<std::uint32_t>(down));
    ihdr += static_cast<char>(kBitDepth);
    ihdr += static_cast<char>(palette ? kColourPalette : kColourGray);
    ihdr += std::string(3, '\0');  // deflate, filters of type 0-4, no interlace
    return ihdr;
}

// The chunks between IHDR and IDAT that say how pixels look: a palette of the dark (0) and the
// light (1) colour unless they are the default, with tRNS up to the last colour whose alpha is
// below FF; pHYs when a resolution is given.
void AppendColourChunks(std::string* png, const RenderOptions& options) {
    if (!options.DefaultColours()) {
        const Rgba colours[kPaletteSize] = {options.dark, options.light};
        std::string palette;
        std::string alpha;
        int transparent = 0;  // entries up to the last one below FF
        for (int i = 0; i < kPaletteSize; ++i) {
            palette += static_cast<char>(RedOf(colours[i]));
            palette += static_cast<char>(GreenOf(colours[i]));
            palette += static_cast<char>(BlueOf(colours[i]));
            alpha += static_cast<char>(AlphaOf(colours[i]));
            if (!Opaque(colours[i])) transparent = i + 1;
        }
        AppendPngChunk(png, "PLTE", palette);
        if (transparent > 0) AppendPngChunk(png, "tRNS", alpha.substr(0, transparent));
    }
    if (options.dpi != 0) {
        AppendPngChunk(png, "pHYs", PngResolution(options.dpi));
    }
}

// What each literal and distance symbol costs, in bits; a symbol without a code costs
// kUnknownBits.
struct Costs {
    std::uint8_t literal[256];
    std::uint8_t distance[30];
};
constexpr int kUnknownBits = 15;
// The parse guesses every length and distance symbol at these; literals cost what a code made for
// the bytes of the distinct rows gives them.
constexpr int kGuessedLengthBits = 7;
constexpr int kGuessedDistanceBits = 5;
// Repeats anywhere are found by a hash of this many bytes, into a table of 2^8 to 2^12 places
// as the distinct lines need.
constexpr std::size_t kHashedBytes = 4;
constexpr int kMinHashBits = 8;
constexpr int kMaxHashBits = 12;
constexpr int kHashTries = 8;  // earlier places of the same hash tried, the nearest first
// A repeat this long found at one place is taken, less its first byte, for the next place.
constexpr std::size_t kNiceLength = 16;
// Scales whose repeats are searched by hash: those whose modules do not fill whole bytes, or
// bytes whole modules (1, 2, 4, 8 and 16), where a row repeats mostly at the same places or in
// runs.
constexpr char HASHED_SCALES[kMaxScale + 1] = {0, 0, 0, 1, 0, 1, 1, 1, 0, 1, 1,
                                               1, 1, 1, 1, 1, 0, 1, 1, 1, 1};

// The hash of the four bytes at `at`, `bits` bits.
std::uint32_t Hash(const unsigned char* at, int bits) {
    const std::uint32_t four = std::uint32_t{at[0]} | std::uint32_t{at[1]} << 8 |
                               std::uint32_t{at[2]} << 16 | std::uint32_t{at[3]} << 24;
    return (four * 2654435761u) >> (32 - bits);
}

int Bits(std::uint8_t bits) {
    return bits != 0 ? bits : kUnknownBits;
}

// The bits of a copy of each length (3..258): the guessed length symbol and its extra bits.
const int* GuessedLengthBits() {
    static const std::array<int, kMaxCopyLength + 1> bits = [] {
        std::array<int, kMaxCopyLength + 1> table{};
        for (int length = kMinCopyLength; length <= kMaxCopyLength; ++length)
            table[length] = kGuessedLengthBits + LengthExtraBits(LengthSymbol(length));
        return table;
    }();
    return bits.data();
}

// The costs of copies under `costs`: the bits of each length (3..258) with its extra bits, and of
// a distance with its extra bits.
class CopyCosts {
public:
    explicit CopyCosts(const Costs& costs) : costs_(costs), lengthBits_(GuessedLengthBits()) {}

    int Distance(int distance) const {
        const CodedCopy c = CopySymbols(kMinCopyLength, distance);
        return Bits(costs_.distance[c.distanceSymbol]) + c.distanceExtraBits;
    }

    // A copy of `length` bytes whose distance costs `distanceBits`, in the pieces that
    // DeflateStream::Copy makes.
    int Copy(std::size_t length, int distanceBits) const {
        if (length <= kMaxCopyLength) return lengthBits_[length] + distanceBits;
        int bits = 0;
        while (length > kMaxCopyLength) {
            const std::size_t piece =
                length - kMaxCopyLength < kMinCopyLength ? length - kMinCopyLength : kMaxCopyLength;
            bits += lengthBits_[piece] + distanceBits;
            length -= piece;
        }
        return bits + lengthBits_[length] + distanceBits;
    }

private:
    const Costs& costs_;
    const int* lengthBits_;
};

// The image data as its distinct scanlines (filter byte and pixel row) in order, each with the
// number of bands that repeat it one after the other.
struct Scanlines {
    std::size_t lineBytes;
    std::vector<unsigned char> lines;
    std::vector<int> bands;
};

Scanlines DistinctScanlines(int width, int height, const ModuleMatrix& modules,
                            const RenderOptions& options) {
    Scanlines s;
    s.lineBytes = static_cast<std::size_t>(PixelRowBytes(ImageSide(width, options))) + 1;
    BandPixels pixels(width, height, modules, options);
    s.lines.reserve(static_cast<std::size_t>(height + 2) * s.lineBytes);
    s.bands.reserve(static_cast<std::size_t>(height + 2));
    std::vector<unsigned char> line(s.lineBytes);
    for (int band = 0; band < height + 2 * options.margin; ++band) {
        const bool quiet = band < options.margin || band >= options.margin + height;
        if (quiet && band > 0 && band != options.margin + height) {
            ++s.bands.back();  // the quiet row once more
            continue;
        }
        line[0] = kFilterNone;
        pixels.Compose(band, line.data() + 1, static_cast<int>(s.lineBytes - 1));
        if (!s.bands.empty() && std::equal(line.begin(), line.end(), s.lines.end() - s.lineBytes)) {
            ++s.bands.back();
        } else {
            s.lines.insert(s.lines.end(), line.begin(), line.end());
            s.bands.push_back(1);
        }
    }
    return s;
}

// Where each line's last copy begins in the image data.
std::vector<std::size_t> LastCopies(const Scanlines& s, int scale) {
    std::vector<std::size_t> lastCopy(s.bands.size());
    std::size_t written = 0;
    for (std::size_t i = 0; i < s.bands.size(); ++i) {
        const std::size_t rows = static_cast<std::size_t>(s.bands[i]) * scale;
        lastCopy[i] = written + (rows - 1) * s.lineBytes;
        written += rows * s.lineBytes;
    }
    return lastCopy;
}

// Repeats found by a hash of four bytes, for every place of every distinct line: the longest of
// the kHashTries nearest earlier places with the same hash, within the window and the lines.
struct Repeats {
    std::vector<std::uint16_t> length;  // 0 where none was found; empty when none was searched
    std::vector<std::uint16_t> distance;
};

Repeats FindRepeats(const Scanlines& s, int scale) {
    const std::size_t n = s.lineBytes;
    const std::size_t total = s.lines.size();
    Repeats r;
    if (HASHED_SCALES[scale] == 0) return r;
    r.length.assign(total, 0);
    r.distance.assign(total, 0);
    const std::vector<std::size_t> lastCopy = LastCopies(s, scale);
    int hashBits = kMinHashBits;
    while (hashBits < kMaxHashBits && (std::size_t{1} << hashBits) < total) ++hashBits;
    std::vector<std::int32_t> lastSeen(std::size_t{1} << hashBits, -1);
    std::vector<std::int32_t> earlierSeen(total);  // the place before with the same hash
    std::size_t written = 0;                       // where the line's first copy begins
    for (std::size_t i = 0; i < s.bands.size(); ++i) {
        const unsigned char* line = &s.lines[i * n];
        std::size_t previous = 0;  // the repeat found one place before
        for (std::size_t at = 0; at + kHashedBytes <= n; ++at) {
            const std::size_t here = i * n + at;
            const std::uint32_t h = Hash(line + at, hashBits);
            std::int32_t seen = lastSeen[h];
            lastSeen[h] = static_cast<std::int32_t>(here);
            earlierSeen[here] = seen;
            std::size_t longest = 0;
            if (previous > kNiceLength) {
                // The rest of a long repeat found one place before.
                longest = previous - 1;
                r.distance[here] = r.distance[here - 1];
                seen = -1;
            }
            for (int tries = 0; seen >= 0 && tries < kHashTries;
                 ++tries, seen = earlierSeen[static_cast<std::size_t>(seen)]) {
                const std::size_t seenLine = static_cast<std::size_t>(seen) / n;
                const std::size_t seenAt = static_cast<std::size_t>(seen) % n;
                const std::size_t from =
                    seenLine == i ? written + seenAt : lastCopy[seenLine] + seenAt;
                const std::size_t back = written + at - from;
                if (back > kMaxCopyDistance) break;
                const unsigned char* source = &s.lines[static_cast<std::size_t>(seen)];
                const std::size_t most =
                    std::min<std::size_t>({n - at, n - seenAt, kMaxCopyLength});
                std::size_t length = 0;
                while (length < most && source[length] == line[at + length]) ++length;
                if (length > longest) {
                    longest = length;
                    r.distance[here] = static_cast<std::uint16_t>(back - 1);
                }
            }
            r.length[here] = static_cast<std::uint16_t>(longest);
            previous = longest;
        }
        written = lastCopy[i] + n;
    }
    return r;
}

// What the parse of one distinct scanline weighs: the line, the distinct line before it when it is
// within reach (with the distance of its copies and their bits), the bits of a copy of the byte
// before, and the repeats found by hash at each place of the line.
struct LineSources {
    const unsigned char* line;
    std::size_t size;
    const unsigned char* up;
    int upDistance;
    int upBits;
    int leftBits;
    const std::uint16_t* hashLength;
    const std::uint16_t* hashDistance;
};

// The cheapest parse of a line under `costs` into literals and the longest copies of each kind at
// each place: writes to `choice[at]` the copy taken at `at` (length << 16 | distance), 0 for a
// literal, and to `best[at]` the bits from `at` on. kUp and kHashed say which sources there are.
template <bool kUp, bool kHashed>
void ParseLine(const LineSources& l, const Costs& costs, const CopyCosts& copies, int* best,
               std::uint32_t* choice) {
    std::size_t upRun = 0;  // the length of the repeat of each source at the place weighed
    std::size_t leftRun = 0;
    best[l.size] = 0;
    for (std::size_t at = l.size; at-- > 0;) {
        const unsigned char byte = l.line[at];
        int cheapest = costs.literal[byte] + best[at + 1];
        std::uint32_t taken = 0;
        if (kUp) {
            upRun = byte == l.up[at] ? upRun + 1 : 0;
            if (upRun >= kMinCopyLength) {
                const int cost = copies.Copy(upRun, l.upBits) + best[at + upRun];
                if (cost < cheapest) {
                    cheapest = cost;
                    taken = static_cast<std::uint32_t>(upRun << 16 | l.upDistance);
                }
            }
        }
        leftRun = at > 0 && byte == l.line[at - 1] ? leftRun + 1 : 0;
        if (leftRun >= kMinCopyLength) {
            const int cost = copies.Copy(leftRun, l.leftBits) + best[at + leftRun];
            if (cost < cheapest) {
                cheapest = cost;
                taken = static_cast<std::uint32_t>(leftRun << 16 | 1);
            }
        }
        if (kHashed && l.hashLength[at] >= kMinCopyLength) {
            const int back = l.hashDistance[at] + 1;
            const int cost =
                copies.Copy(l.hashLength[at], copies.Distance(back)) + best[at + l.hashLength[at]];
            if (cost < cheapest) {
                cheapest = cost;
                taken = static_cast<std::uint32_t>(l.hashLength[at]) << 16 |
                        static_cast<std::uint32_t>(back);
            }
        }
        best[at] = cheapest;
        choice[at] = taken;
    }
}

// Adds the image data to `stream`, every band of each scanline after it as copies of the row
// above. Each distinct scanline is parsed into literals and copies of the byte before it, of the
// distinct scanline before it or of the repeats found by hash, whichever sum of `costs` is least
// (at each place the longest copy of each kind is weighed).
void AddScanlines(const Scanlines& s, int scale, const Repeats& repeats, const Costs& costs,
                  DeflateStream* stream) {
    const std::size_t n = s.lineBytes;
    const CopyCosts copies(costs);
    const std::vector<std::size_t> lastCopy = LastCopies(s, scale);
    std::vector<int> best(n + 1);
    std::vector<std::uint32_t> choice(n);
    const bool hashed = !repeats.length.empty();
    LineSources l = {nullptr, n, nullptr, 0, 0, copies.Distance(1), nullptr, nullptr};
    std::size_t written = 0;  // bytes of scanlines so far
    for (std::size_t i = 0; i < s.bands.size(); ++i) {
        l.line = &s.lines[i * n];
        l.up = nullptr;
        if (i > 0 && written - lastCopy[i - 1] <= kMaxCopyDistance) {
            l.up = &s.lines[(i - 1) * n];
            l.upDistance = static_cast<int>(written - lastCopy[i - 1]);
            l.upBits = copies.Distance(l.upDistance);
        }
        if (hashed) {
            l.hashLength = &repeats.length[i * n];
            l.hashDistance = &repeats.distance[i * n];
        }
        if (l.up != nullptr) {
            (hashed ? ParseLine<true, true> : ParseLine<true, false>)(l, costs, copies, best.data(),
                                                                      choice.data());
        } else {
            (hashed ? ParseLine<false, true> : ParseLine<false, false>)(l, costs, copies,
                                                                        best.data(), choice.data());
        }
        for (std::size_t at = 0; at < n;) {
            const std::uint32_t taken = choice[at];
            if (taken != 0) {
                stream->Copy(taken >> 16, static_cast<int>(taken & 0xFFFF));
                at += taken >> 16;
            } else {
                stream->Literal(l.line[at++]);
            }
        }
        const std::size_t repeated = static_cast<std::size_t>(s.bands[i]) * scale - 1;
        if (repeated > 0) stream->Copy(repeated * n, static_cast<int>(n));
        written += (repeated + 1) * n;
    }
}

// The zlib stream of the image data.
std::string CompressScanlines(int width, int height, const ModuleMatrix& modules,
                              const RenderOptions& options) {
    const Scanlines s = DistinctScanlines(width, height, modules, options);
    Costs costs;
    std::uint32_t counts[256] = {};
    for (const unsigned char byte : s.lines) ++counts[byte];
    ByteCodeBits(counts, costs.literal);
    for (int b = 0; b < 256; ++b)
        costs.literal[b] = static_cast<std::uint8_t>(Bits(costs.literal[b]));
    std::fill(std::begin(costs.distance), std::end(costs.distance), kGuessedDistanceBits);
    const Repeats repeats = FindRepeats(s, options.scale);
    DeflateStream stream;
    stream.Reserve(s.lines.size() + s.bands.size());
    AddScanlines(s, options.scale, repeats, costs, &stream);
    Adler32 adler;
    for (std::size_t i = 0; i < s.bands.size(); ++i) {
        adler.AppendRepeated(&s.lines[i * s.lineBytes], s.lineBytes,
                             static_cast<std::size_t>(s.bands[i]) * options.scale);
    }
    std::string data;
    stream.FinishZlib(adler.Value(), &data);
    return data;
}

}  // namespace

std::string PlainScanlines(int width, int height, const ModuleMatrix& modules,
                           const RenderOptions& options) {
    const int rowBytes = PixelRowBytes(ImageSide(width, options));
    std::string scanlines;
    std::vector<unsigned char> row(static_cast<std::size_t>(rowBytes));
    for (int y = 0; y < ImageSide(height, options); ++y) {
        ComposeBand(width, height, modules, options, y / options.scale, row.data());
        scanlines += static_cast<char>(kFilterNone);
        scanlines.append(row.begin(), row.end());
    }
    return scanlines;
}

bool ComposePng(int width, int height, const ModuleMatrix& modules, const RenderOptions& options,
                std::string* out) try {
    const std::string data = CompressScanlines(width, height, modules, options);

    std::string png(reinterpret_cast<const char*>(kPngSignature), sizeof kPngSignature);
    AppendPngChunk(
        &png, "IHDR",
        Header(ImageSide(width, options), ImageSide(height, options), !options.DefaultColours()));
    AppendColourChunks(&png, options);
    AppendPngChunk(&png, "IDAT", data);
    AppendPngChunk(&png, "IEND", "");
    out->swap(png);
    return true;
} catch (const std::bad_alloc&) {
    out->clear();
    return false;
}

}  // namespace qr
