// The library's one table of rules for settings: every range and default of the encode settings
// and the render options, the counts of structured append and the bounds of input. The numbers
// are those of the layers that depend on them (the encoder's versions, masks and capacities, the
// writers' scale, margin and resolution), and this table is the one place where they become
// rules: the checks and their messages (module/settings.cpp), the one-export library's option
// defaults, and the C API's rows (tessera_limit), from which the command's flags and --help, the
// bindings, the web page and the docs' tables are made or checked.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qr {

// A setting's whole numbers, `low` to `high`.
struct Range {
    int low;
    int high;

    constexpr bool Holds(int value) const { return value >= low && value <= high; }
};

struct Limits {
    Range level;       // TESSERA_LEVEL_L..H
    int defaultLevel;  // what a level left to the library is: M
    Range version;     // 0 leaves it to the library: the smallest that holds the data
    Range mask;        // kDefaultSetting leaves it to the library: the lowest penalty
    Range microVersion;
    Range microMask;
    int microDefaultLevel;  // above M1, which has none: L
    Range rmqrVersion;      // R7x43..R17x139; 0 leaves it to the library
    Range rmqrHeight;       // odd heights only; 0 leaves it to the library
    Range fitSide;          // a side of a box to fit, in modules
    Range structuredCount;  // 0 fills symbols of one version in order instead
    Range scale;            // 0 leaves it to the format:
    int imageScale;         // images
    int textScale;          // text
    Range margin;           // kDefaultSetting leaves it to the symbol: its quiet zone
    int quietZone;
    int microQuietZone;
    int rmqrQuietZone;
    Range dpi;  // 0: none stated
    std::uint32_t dark;
    std::uint32_t light;
    // The most bytes of data one symbol holds (7089 digits). One byte more is read, enough to
    // learn that longer data does not fit, and never further (InputBytesKept).
    int symbolBytes;
};

extern const Limits kLimits;

}  // namespace qr

namespace qr {

// One number of the table by its name ("version.high"), as the C API lists them (tessera_limit).
struct LimitRow {
    const char* name;
    long long value;
};

// Row `index` (0, 1, ...) of the table. Returns false past the last.
bool LimitRowAt(int index, LimitRow* row);

// A fact of format `format` from its row of the table of formats: "binary", "colours", "alpha",
// "dpi" (1 or 0), "scale" (its default scale), "columns" (characters a pixel takes on a terminal;
// 0 for images) or "available" (1 when this build makes it). -1 for a format or a fact that there
// is not.
int FormatFact(int format, const char* fact);

}  // namespace qr
