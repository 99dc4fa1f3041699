// The random inputs of the round-trip suite: what each call of tessera asks for, and data sized so
// that the symbol lands on a chosen version. Every case is reproducible from the seed, its content
// kind and its index alone.
#pragma once

#include <array>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "encoder/qr_encoder.h"

namespace qr::test {

using Bytes = std::vector<unsigned char>;

enum class ContentKind { kNumeric, kAlphanumeric, kByte, kKanji, kMixed };
constexpr int kContentKindCount = 5;
const char* ContentKindName(ContentKind kind);
// Prints the kind's name in test names and messages.
void PrintTo(ContentKind kind, std::ostream* out);

// How a case obtains its version.
enum class VersionRequest {
    kSmallest,  // no /V: the data is sized so that the smallest version that holds it is the target
    kRequested,  // /V: the data fits the target, which is used even when a smaller one would do
    kExact,      // /V and /EN: as kRequested, and tessera may not grow the symbol
};
const char* VersionRequestName(VersionRequest request);

// The options tessera takes in its four slots: the data, the output path and at most two more.
constexpr int kOptionSlots = 4;
constexpr int kDefaultLevel = LEVEL_M;
constexpr int kAutomaticMask = -1;
constexpr int kDefaultScale = 4;
constexpr int kMaxTestScale = 4;

struct SymbolCase {
    ContentKind kind = ContentKind::kByte;
    int index = 0;  // within its kind
    VersionRequest request = VersionRequest::kSmallest;
    int version = 0;  // the version the symbol must have
    int level = kDefaultLevel;
    int mask = kAutomaticMask;
    int scale = kDefaultScale;
    Bytes data;
    // The encoder's segments of the data, "mode:length,..." (0 numeric, 1 alphanumeric, 2 byte,
    // 3 Kanji, lengths in bytes), and how many there are: more than one is a mixed-mode symbol.
    std::string segments;
    int segmentCount = 0;
    // Option strings in slot order; the output slot holds kOutputMarker.
    std::array<std::string, kOptionSlots> options;

    // The options with the output slot set to "/O" `outputPath`.
    std::array<std::string, kOptionSlots> OptionsFor(const std::string& outputPath) const;
    // One line naming everything that decides the symbol, for failure messages: kind, index,
    // seed, version, level, mask, scale, data length, segments and the options (long data cut
    // short).
    std::string Describe(std::uint64_t seed) const;
};

constexpr const char* kOutputMarker = "/O{out}";

// Draws the level, mask, scale, version request and option slots of case `index` of `kind`.
// The version and level are spread evenly: `version` = 1 + index mod 40 and the level cycles
// every 40 cases; the rest is random from the case's own generator. An option that finds no free
// slot keeps tessera's default, and the case records the value in force. No data yet.
SymbolCase PlanCase(std::uint64_t seed, ContentKind kind, int index);

// Plans case `index` of `kind` and fills its data: random content of the kind whose length is
// chosen with `sizer`'s version selection so that the symbol has exactly `version`, the segments
// the encoder makes of it, and the "/T" option with %XX escapes. Returns false when no length lands
// on the planned version (the case is then unusable, which the suite reports).
bool MakeCase(std::uint64_t seed, ContentKind kind, int index, CQrEncoder* sizer,
              SymbolCase* symbolCase);

// The Shift_JIS code of JIS X 0208 row `row` and cell `cell` (1..94 each), lead byte first.
std::array<unsigned char, 2> ShiftJisOf(int row, int cell);

// Every assigned character of JIS X 0208 as Shift_JIS pairs, in code order.
const std::vector<std::array<unsigned char, 2>>& JisX0208ShiftJisPairs();

// The "/T" value of `data`: '%', NUL and bytes from 0x80 up always escaped, other bytes now and
// then too, each escape as %XX or %xx, drawn from a generator seeded with `choice`.
std::string EscapeText(const Bytes& data, std::uint64_t choice);

}  // namespace qr::test
