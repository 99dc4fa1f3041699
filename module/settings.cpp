// The table of rules and the checks of settings against it.
#include "module/settings.h"

#include <cstring>
#include <iterator>

#include "encoder/micro_encoder.h"
#include "encoder/qr_encoder.h"
#include "encoder/rmqr_encoder.h"
#include "module/limits.h"
#include "module/messages.h"
#include "output/image_format.h"
#include "output/render_options.h"
#include "output/style_options.h"

namespace qr {

static_assert(int{TESSERA_LEVEL_L} == int{LEVEL_L} && int{TESSERA_LEVEL_H} == int{LEVEL_H},
              "the API's levels are EcLevels");

constexpr Limits kLimits = {
    {LEVEL_L, LEVEL_H},
    LEVEL_M,
    {kMinVersion, kMaxVersion},
    {0, kMaskCount - 1},
    {kMinVersion, kMicroVersionCount},
    {0, kMicroMaskCount - 1},
    LEVEL_L,
    {1, kRmqrVersionCount},
    {kRmqrMinHeight, kRmqrMaxHeight},
    {1, 10000},
    {2, kMaxStructuredSymbols},
    {kMinScale, kMaxScale},
    kDefaultImageScale,
    kDefaultTextScale,
    {kMinMargin, kMaxMargin},
    kQuietZoneModules,
    kMicroQuietZoneModules,
    kRmqrQuietZoneModules,
    {kMinDpi, kMaxDpi},
    kDefaultDark,
    kDefaultLight,
    kMaxInputBytes,
};

namespace {

constexpr const char* MICRO_LEVEL_ROWS[] = {"micro.levels.1", "micro.levels.2", "micro.levels.3",
                                            "micro.levels.4"};
static_assert(std::size(MICRO_LEVEL_ROWS) == kMicroVersionCount, "a row per Micro QR version");

constexpr LimitRow ROWS[] = {
    {"level.low", kLimits.level.low},
    {"level.high", kLimits.level.high},
    {"level.default", kLimits.defaultLevel},
    {"version.low", kLimits.version.low},
    {"version.high", kLimits.version.high},
    {"mask.low", kLimits.mask.low},
    {"mask.high", kLimits.mask.high},
    {"micro.version.low", kLimits.microVersion.low},
    {"micro.version.high", kLimits.microVersion.high},
    {"micro.mask.low", kLimits.microMask.low},
    {"micro.mask.high", kLimits.microMask.high},
    {"micro.level.default", kLimits.microDefaultLevel},
    {"rmqr.version.low", kLimits.rmqrVersion.low},
    {"rmqr.version.high", kLimits.rmqrVersion.high},
    {"rmqr.height.low", kLimits.rmqrHeight.low},
    {"rmqr.height.high", kLimits.rmqrHeight.high},
    {"fit.low", kLimits.fitSide.low},
    {"fit.high", kLimits.fitSide.high},
    {"structured.low", kLimits.structuredCount.low},
    {"structured.high", kLimits.structuredCount.high},
    {"scale.low", kLimits.scale.low},
    {"scale.high", kLimits.scale.high},
    {"scale.image", kLimits.imageScale},
    {"scale.text", kLimits.textScale},
    {"margin.low", kLimits.margin.low},
    {"margin.high", kLimits.margin.high},
    {"margin.default", kLimits.quietZone},
    {"margin.micro", kLimits.microQuietZone},
    {"margin.rmqr", kLimits.rmqrQuietZone},
    {"logo.low", kMinLogoPercent},
    {"logo.high", kMaxLogoPercent},
    {"logo.default", kDefaultLogoPercent},
    {"dpi.low", kLimits.dpi.low},
    {"dpi.high", kLimits.dpi.high},
    {"dark.default", kLimits.dark},
    {"light.default", kLimits.light},
    {"input.symbol.high", kLimits.symbolBytes},
    {"input.read", kLimits.symbolBytes + 1},
    {"input.structured.high",
     static_cast<long long>(kLimits.symbolBytes) * kLimits.structuredCount.high},
};
constexpr int kRowCount = static_cast<int>(std::size(ROWS));

// The facts of a format's row that are switches.
struct SwitchFact {
    const char* name;
    bool ImageFormatInfo::*member;
};
constexpr SwitchFact SWITCH_FACTS[] = {
    {"binary", &ImageFormatInfo::binary},
    {"colours", &ImageFormatInfo::colours},
    {"alpha", &ImageFormatInfo::alpha},
    {"dpi", &ImageFormatInfo::dpi},
};

// A colour as RRGGBBAA in quotes.
std::string ColourText(std::uint32_t colour) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string text = "'";
    for (int shift = 28; shift >= 0; shift -= 4) text += kHex[colour >> shift & 0xF];
    return text + "'";
}

Status Refused(std::string* why, const std::string& sentence) {
    if (why != nullptr) *why = sentence;
    return TESSERA_ERROR_BAD_ARGUMENT;
}

std::string MicroName(int version) {
    return "M" + std::to_string(version);
}

// The sentence of a Micro QR refusal of `s`.
std::string MicroRefusalText(MicroRefusal refusal, const EncodeSettings& s) {
    const std::string after =
        " (M1 to " + MicroName(kLimits.microVersion.high) + ") for Micro QR (0 for the smallest)";
    switch (refusal) {
        case MicroRefusal::kNone:
            break;
        case MicroRefusal::kStructured:
            return "Micro QR has no structured append";
        case MicroRefusal::kUtf8:
            return "Micro QR has no ECI for UTF-8 text";
        case MicroRefusal::kVersion:
            return OutOfRange("the version", kLimits.microVersion.low, kLimits.microVersion.high,
                              after, s.version);
        case MicroRefusal::kLevel:
            if (s.version == 0) {
                return std::string("Micro QR has no level ") + LevelLetter(s.level) + ": take " +
                       MicroLevelNames(0);
            }
            if (MicroLevelNames(s.version).empty()) {
                return MicroName(s.version) +
                       " has no error-correction level: leave the level out, or take " +
                       MicroName(s.version + 1) + " or above";
            }
            return MicroName(s.version) + " has no level " + LevelLetter(s.level) + ": take " +
                   MicroLevelNames(s.version) + ", or " +
                   MicroName(SmallestMicroVersionWith(s.level));
        case MicroRefusal::kMask:
            return OutOfRange("the mask", kLimits.microMask.low, kLimits.microMask.high,
                              " for Micro QR", s.mask);
    }
    return std::string();
}

// The first rMQR rule that `s` (for rMQR) breaks, or an empty string.
std::string RmqrRefusalText(const EncodeSettings& s, bool structured) {
    if (s.micro) return "a symbol is Micro QR or rMQR, not both";
    if (structured) return "rMQR has no structured append";
    if (s.utf8) return "rMQR has no ECI for UTF-8 text";
    if (s.level != kDefaultSetting && s.level != LEVEL_M && s.level != LEVEL_H) {
        return std::string("rMQR has no level ") + LevelLetter(s.level) + ": take M or H";
    }
    if (s.version != 0 && !kLimits.rmqrVersion.Holds(s.version)) {
        return OutOfRange("the rMQR size", kLimits.rmqrVersion.low, kLimits.rmqrVersion.high,
                          " (" + RmqrSizeName(kLimits.rmqrVersion.low) + " to " +
                              RmqrSizeName(kLimits.rmqrVersion.high) + ", 0 for the smallest)",
                          s.version);
    }
    if (s.rmqrHeight != 0 && (!kLimits.rmqrHeight.Holds(s.rmqrHeight) || s.rmqrHeight % 2 == 0)) {
        return "the rMQR height must be 7, 9, 11, 13, 15 or 17 modules, not " +
               Quoted(s.rmqrHeight);
    }
    if (s.rmqrHeight != 0 && s.version != 0 && RmqrSize(s.version).height != s.rmqrHeight) {
        return RmqrSizeName(s.version) + " is " + std::to_string(RmqrSize(s.version).height) +
               " modules high, not " + std::to_string(s.rmqrHeight);
    }
    if (s.mask != kDefaultSetting) return "rMQR has one fixed mask: leave the mask out";
    return std::string();
}

// The first rule of a box to fit or of GS1 data that `s` breaks, or an empty string.
std::string FitAndGs1RefusalText(const EncodeSettings& s, bool structured) {
    if (s.Fit()) {
        if (!kLimits.fitSide.Holds(s.fitWidth) || !kLimits.fitSide.Holds(s.fitHeight)) {
            return "the box to fit must be " + std::to_string(kLimits.fitSide.low) + " to " +
                   std::to_string(kLimits.fitSide.high) + " modules each way, not " +
                   std::to_string(s.fitWidth) + "x" + std::to_string(s.fitHeight);
        }
        if (s.version != 0 || s.micro || s.rmqr || s.rmqrHeight != 0 || s.strictVersion) {
            return "a box to fit chooses the symbol: no version, Micro QR or rMQR with it";
        }
        if (s.mask != kDefaultSetting) return "a box to fit chooses the symbol: no mask with it";
        if (structured) return "a box to fit is for one symbol, not structured append";
    }
    if (s.gs1) {
        if (s.micro) return "GS1 data is for QR Code and rMQR, not Micro QR";
        if (s.utf8) return "GS1 data is GS1's own characters, not marked UTF-8 text";
        if (structured) return "GS1 data is one symbol's, not structured append";
    }
    if (s.rmqrHeight != 0 && !s.rmqr) return "a height is for rMQR";
    return std::string();
}

}  // namespace

OutputSettings::OutputSettings() : dark(kLimits.dark), light(kLimits.light) {}

bool LimitRowAt(int index, LimitRow* row) {
    if (index < 0) return false;
    if (index < kRowCount) {
        *row = ROWS[index];
        return true;
    }
    const int version = index - kRowCount + 1;  // the levels of each Micro QR version
    if (version > kLimits.microVersion.high) return false;
    long long levels = 0;
    for (int level = kLimits.level.low; level <= kLimits.level.high; ++level) {
        if (MicroOffers(version, level)) levels |= 1LL << level;
    }
    *row = {MICRO_LEVEL_ROWS[version - 1], levels};
    return true;
}

int FormatFact(int format, const char* fact) {
    if (!IsFormat(format) || fact == nullptr) return -1;
    const ImageFormatInfo& info = FormatInfo(static_cast<ImageFormat>(format));
    for (const SwitchFact& row : SWITCH_FACTS) {
        if (std::strcmp(fact, row.name) == 0) return info.*row.member ? 1 : 0;
    }
    if (std::strcmp(fact, "scale") == 0) return info.defaultScale;
    if (std::strcmp(fact, "columns") == 0) return info.columnsPerPixel;
    if (std::strcmp(fact, "available") == 0) return info.writer != nullptr ? 1 : 0;
    return -1;
}

bool MicroOffers(int version, int level) {
    if (version != 0) return MicroDataBits(version, level) > 0;
    return SmallestMicroVersionWith(level) != 0;
}

int SmallestMicroVersionWith(int level) {
    for (int version = kLimits.microVersion.low; version <= kLimits.microVersion.high; ++version) {
        if (MicroDataBits(version, level) > 0) return version;
    }
    return 0;
}

MicroRefusal CheckMicroSettings(const EncodeSettings& s, bool structured) {
    if (!s.micro) return MicroRefusal::kNone;
    if (structured) return MicroRefusal::kStructured;
    if (s.utf8) return MicroRefusal::kUtf8;
    if (s.version != 0 && !kLimits.microVersion.Holds(s.version)) return MicroRefusal::kVersion;
    if (s.level != kDefaultSetting && !MicroOffers(s.version, s.level)) {
        return MicroRefusal::kLevel;
    }
    if (s.mask != kDefaultSetting && !kLimits.microMask.Holds(s.mask)) return MicroRefusal::kMask;
    return MicroRefusal::kNone;
}

Status CheckEncodeSettings(const EncodeSettings& s, bool structured, std::string* why) {
    if (s.level != kDefaultSetting && !kLimits.level.Holds(s.level)) {
        return Refused(why, "the level must be L, M, Q or H (" + std::to_string(kLimits.level.low) +
                                " to " + std::to_string(kLimits.level.high) + "), not " +
                                Quoted(s.level));
    }
    std::string rule = FitAndGs1RefusalText(s, structured);
    if (rule.empty() && s.rmqr) rule = RmqrRefusalText(s, structured);
    if (!rule.empty()) return Refused(why, rule);
    if (s.rmqr) return TESSERA_OK;
    if (!s.micro && s.version != 0 && !kLimits.version.Holds(s.version)) {
        return Refused(why, OutOfRange("the version", kLimits.version.low, kLimits.version.high,
                                       " (0 for the smallest)", s.version));
    }
    if (!s.micro && s.mask != kDefaultSetting && !kLimits.mask.Holds(s.mask)) {
        return Refused(why,
                       OutOfRange("the mask", kLimits.mask.low, kLimits.mask.high, "", s.mask));
    }
    if (s.maxVersion != 0) {
        if (s.micro || structured) {
            return Refused(why, "a largest version is for one QR Code symbol only");
        }
        const int lowest = s.version > kLimits.version.low ? s.version : kLimits.version.low;
        if (s.maxVersion < lowest || !kLimits.version.Holds(s.maxVersion)) {
            return Refused(why, OutOfRange("the largest version", lowest, kLimits.version.high,
                                           " (0 for any)", s.maxVersion));
        }
    }
    const MicroRefusal micro = CheckMicroSettings(s, structured);
    if (micro != MicroRefusal::kNone) return Refused(why, MicroRefusalText(micro, s));
    return TESSERA_OK;
}

Status ApplyPayloadLimits(int level, int maxVersion, EncodeSettings* settings, std::string* why) {
    if (level == kDefaultSetting && maxVersion == 0) return TESSERA_OK;
    if (CheckEncodeSettings(*settings, false, why) != TESSERA_OK) return TESSERA_ERROR_BAD_ARGUMENT;
    const int asked = settings->level == kDefaultSetting ? kLimits.defaultLevel : settings->level;
    const int kept = level == kDefaultSetting ? asked : level;
    const std::string payload = std::string("the payload's symbol is level ") + LevelLetter(kept);
    if (settings->level != kDefaultSetting && settings->level != kept) {
        return Refused(why, payload + ", not " + LevelLetter(settings->level));
    }
    if (settings->boost) return Refused(why, payload + ": it is not boosted");
    if (settings->utf8)
        return Refused(why, payload + " with its text as bytes: no UTF-8 mark (ECI)");
    if (settings->micro) return Refused(why, payload + ": Micro QR is not read for it");
    if (settings->rmqr) return Refused(why, payload + ": rMQR is not read for it");
    if (settings->fitWidth != 0 || settings->fitHeight != 0) {
        return Refused(why, payload + ": no box to fit, which may choose Micro QR or rMQR");
    }
    if (maxVersion != 0 && settings->version > maxVersion) {
        return Refused(why, payload + " of version " + std::to_string(maxVersion) +
                                " at most, not " + std::to_string(settings->version));
    }
    settings->level = kept;
    settings->utf8WhenText = false;
    settings->maxVersion = maxVersion;
    return TESSERA_OK;
}

bool NamesForeignImage(const std::string& path) {
    return IsForeignImageExtension(path.c_str());
}

Status CheckStructuredCount(int count, int version, std::string* why) {
    if (count != 0 && !kLimits.structuredCount.Holds(count)) {
        return Refused(why, "structured append takes " +
                                std::to_string(kLimits.structuredCount.low) + " to " +
                                std::to_string(kLimits.structuredCount.high) + " symbols, not " +
                                Quoted(count));
    }
    if (count == 0 && version == 0) {
        return Refused(why, "filling symbols of one version needs that version");
    }
    return TESSERA_OK;
}

Status CheckOutputSettings(const OutputSettings& s, std::string* why) {
    if (!IsFormat(s.format)) {
        return Refused(
            why, "the format must be one of " + FormatNameList() + ", not " + Quoted(s.format));
    }
    const ImageFormatInfo& info = FormatInfo(static_cast<ImageFormat>(s.format));
    if (s.scale != 0 && !kLimits.scale.Holds(s.scale)) {
        return Refused(why,
                       OutOfRange("the scale", kLimits.scale.low, kLimits.scale.high, "", s.scale));
    }
    if (s.margin != kDefaultSetting && !kLimits.margin.Holds(s.margin)) {
        return Refused(why, OutOfRange("the margin", kLimits.margin.low, kLimits.margin.high,
                                       " modules", s.margin));
    }
    if (s.dpi != 0 && !kLimits.dpi.Holds(s.dpi)) {
        return Refused(
            why, OutOfRange("the resolution", kLimits.dpi.low, kLimits.dpi.high, " dpi", s.dpi));
    }
    if (s.dpi != 0 && !info.dpi) {
        return Refused(why, std::string(info.name) + " states no resolution, so not " +
                                Quoted(s.dpi) + " dpi; a resolution is for " +
                                FormatNamesWith("dpi"));
    }
    const bool defaultColours = s.dark == kLimits.dark && s.light == kLimits.light;
    if (!defaultColours && !info.colours) {
        return Refused(why, std::string(info.name) + " output has no colours of its own, so not " +
                                ColourText(s.dark != kLimits.dark ? s.dark : s.light));
    }
    if (!info.alpha && (!Opaque(s.dark) || !Opaque(s.light))) {
        return Refused(why, std::string(info.name) + " has no transparency, so not " +
                                ColourText(!Opaque(s.dark) ? s.dark : s.light) +
                                ": give colours with alpha FF");
    }
    return TESSERA_OK;
}

}  // namespace qr
