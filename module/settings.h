// The pipeline's first step: what a caller asks for, checked against the library's one table of
// rules (module/limits.h; the C API lists it as tessera_limit() rows) before anything is made.
// A check returns its status and, for a refusal, the one line that says why, in one pass.
// Settings for a new symbol family (rMQR, GS1 data) join EncodeSettings and CheckEncodeSettings.
#pragma once

#include <cstdint>
#include <string>

#include "module/tessera_api.h"

namespace qr {

using Status = tessera_status;

// A setting left to the library.
constexpr int kDefaultSetting = TESSERA_DEFAULT;

struct EncodeSettings {
    int level = kDefaultSetting;  // TESSERA_LEVEL_L..H, or kDefaultSetting
    int version = 0;             // 1..40 (Micro QR 1..4), or 0 for the smallest that holds the data
    bool strictVersion = false;  // never a larger version than `version`
    int mask = kDefaultSetting;  // 0..7 (Micro QR 0..3), or kDefaultSetting for the lowest penalty
    bool utf8 = false;           // UTF-8 text: ECI 26 ahead of the data, no Kanji pairs
    // `utf8` for data that is UTF-8 text (IsUtf8Text), and bytes as they are for any other data;
    // Micro QR, which has no ECI, always takes the bytes as they are (the command's default).
    bool utf8WhenText = false;
    bool micro = false;  // a Micro QR symbol
    bool boost = false;  // the highest level the chosen version holds
    // An rMQR symbol: `version` 1..32 (R7x43..R17x139, RmqrVersionNamed) or 0, and `rmqrHeight`
    // 7, 9, ..., 17 for the narrowest size of that height, or 0.
    bool rmqr = false;
    int rmqrHeight = 0;
    // GS1 data: the input is an element string, `[01]09501101530003[17]261231`, written with FNC1
    // in first position (QR Code and rMQR).
    bool gs1 = false;
    // A box of `fitWidth` x `fitHeight` modules (each in the table's range; 0 x 0 for none): the
    // symbol of smallest area, quiet zone included, among QR Code, Micro QR and rMQR that fits it
    // and holds the data at the level (M when none is asked).
    int fitWidth = 0;
    int fitHeight = 0;

    bool Fit() const { return fitWidth != 0 || fitHeight != 0; }
    int maxVersion = 0;  // the largest version the symbol may take (QR Code only), or 0: any
};

// How to draw a symbol, as asked: scale 0 and margin kDefaultSetting leave them to the format and
// the symbol. The colours start as the table's defaults.
struct OutputSettings {
    OutputSettings();

    int format = TESSERA_FORMAT_BMP;  // a format's number (tessera_format_name)
    int scale = 0;                    // in the table's range, or 0: the format's default
    int margin = kDefaultSetting;     // in the table's range, or the symbol's quiet zone
    std::uint32_t dark;               // 0xRRGGBBAA
    std::uint32_t light;
    int dpi = 0;  // in the table's range, or 0: none stated
};

// The first rule of Micro QR that settings break.
enum class MicroRefusal {
    kNone,
    kVersion,     // a version above M4
    kLevel,       // a level that no Micro QR symbol offers (H), or not the version asked for
    kMask,        // a mask above 3
    kUtf8,        // UTF-8 text: Micro QR has no ECI
    kStructured,  // structured append, which Micro QR does not have
};

// What `settings` ask of Micro QR that it does not offer, `structured` saying that they are for
// a structured-append set: the levels each version offers (none in M1; L and M in M2 and M3; L, M
// and Q in M4), masks 0 to 3, no ECI, no structured append. kNone when they ask for none of that,
// or not for Micro QR. Levels, masks and versions out of every range are CheckEncodeSettings'.
MicroRefusal CheckMicroSettings(const EncodeSettings& settings, bool structured = false);

// Applies a payload's limits to `settings`: `level` (TESSERA_LEVEL_*, or kDefaultSetting: any)
// and `maxVersion` (or 0: any), as tessera_payload_build() gives them. A payload that sets a level
// is read by the apps of its own format (a payment by banking apps), so its symbol is exactly as
// they expect: that level, its text as bytes (no ECI, UTF-8 or not), no boost, and no larger
// version than its largest. Returns TESSERA_OK with `settings` changed so, or
// TESSERA_ERROR_BAD_ARGUMENT with one line in `why` naming the first setting that asks otherwise
// (another level, boost, UTF-8, Micro QR, a larger version) or is out of its range; a payload
// without limits leaves every setting as it is.
Status ApplyPayloadLimits(int level, int maxVersion, EncodeSettings* settings, std::string* why);

// Whether Micro QR `version` (1..4; 0: some version) offers `level` (TESSERA_LEVEL_L..H).
bool MicroOffers(int version, int level);

// The smallest Micro QR version that offers `level`, or 0 when none does.
int SmallestMicroVersionWith(int level);

// Returns TESSERA_OK when every setting is in its range and Micro QR's and rMQR's rules are kept
// (for a structured-append set when `structured`): rMQR has levels M and H, sizes 1..32, heights
// 7..17 odd (the size's own with a size), one fixed mask, no ECI, no structured append; GS1 data
// is for QR Code and rMQR, unmarked, in one symbol; a box to fit takes no version, kind, height or
// mask. Else TESSERA_ERROR_BAD_ARGUMENT with one line in
// `*why` (when it is not null, without a "tessera:" prefix) that names the first setting that is
// not.
Status CheckEncodeSettings(const EncodeSettings& settings, bool structured, std::string* why);

// Returns TESSERA_OK when `settings` are in range and their format takes them (colours, alpha, a
// resolution); else TESSERA_ERROR_BAD_ARGUMENT with one line in `*why` (when it is not null) that
// names the value.
Status CheckOutputSettings(const OutputSettings& settings, std::string* why);

// Whether the extension of `path` names an image format that this library does not write (jpg,
// gif, tif, webp and their spellings), so that writing another format's bytes under it would
// mislead.
bool NamesForeignImage(const std::string& path);

// The count of a structured-append set of `version` (0: the smallest): 2..16 symbols, or 0 for
// symbols of that version filled in order, which needs a version. Returns TESSERA_OK, or
// TESSERA_ERROR_BAD_ARGUMENT with one line in `*why` (when it is not null).
Status CheckStructuredCount(int count, int version, std::string* why);

}  // namespace qr
