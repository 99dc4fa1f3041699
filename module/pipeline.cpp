// The road of every call: settings checked, the symbol encoded, rendered and written.
#include "module/pipeline.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "encoder/qr_encoder.h"
#include "encoder/tables.h"
#include "output/writers.h"

namespace qr {

namespace {

constexpr int kLargestGroup = kVersionGroupCount - 1;
constexpr int kMaxMask = kMaskCount - 1;

static_assert(int{TESSERA_LEVEL_L} == int{LEVEL_L} && int{TESSERA_LEVEL_H} == int{LEVEL_H},
              "the API's levels are EcLevels");
static_assert(TESSERA_FORMAT_BMP == static_cast<int>(ImageFormat::kBmp) &&
                  TESSERA_FORMAT_PNG == static_cast<int>(ImageFormat::kPng) &&
                  TESSERA_FORMAT_SVG == static_cast<int>(ImageFormat::kSvg) &&
                  TESSERA_FORMAT_TXT == static_cast<int>(ImageFormat::kTxt) &&
                  TESSERA_FORMAT_UTF8 == static_cast<int>(ImageFormat::kUtf8) &&
                  TESSERA_FORMAT_ANSI == static_cast<int>(ImageFormat::kAnsi) &&
                  TESSERA_FORMAT_EPS == static_cast<int>(ImageFormat::kEps) &&
                  TESSERA_FORMAT_PDF == static_cast<int>(ImageFormat::kPdf),
              "the API's format numbers are the table's rows");

bool InRange(int value, int low, int high) {
    return value >= low && value <= high;
}

int DataBits(int version, int level) {
    return VERSION_TABLE[version].dataCodewordCount[level] * 8;
}

// Bits that the stream of `versionGroup` takes for the data. Input longer than one stream can
// hold is costed in pieces of the longest input any symbol holds; `estimated` is then set.
long BitsNeeded(CQrEncoder* encoder, const unsigned char* data, std::size_t length,
                int versionGroup, bool* estimated) {
    long bits = 0;
    *estimated = length > static_cast<std::size_t>(kMaxStreamInputBytes);
    const std::size_t piece = *estimated ? kMaxInputBytes : kMaxStreamInputBytes;
    for (std::size_t at = 0; at < length; at += piece) {
        const int count = static_cast<int>(std::min(piece, length - at));
        if (encoder->EncodeSegments(data + at, count, versionGroup)) {
            bits += encoder->dataBitCount;
            continue;
        }
        // The stream overflowed; its segment list is complete all the same.
        bits += encoder->HeaderBits();
        for (int s = 0; s < encoder->segmentCount; ++s) {
            bits += encoder->EstimateSegmentBits(encoder->segmentModes[s],
                                                 encoder->segmentLengths[s], versionGroup);
        }
    }
    return bits;
}

std::string Quoted(int value) {
    return "'" + std::to_string(value) + "'";
}

// A colour as RRGGBBAA in quotes.
std::string ColourText(Rgba colour) {
    char text[16];
    std::snprintf(text, sizeof text, "'%08X'", static_cast<unsigned>(colour));
    return text;
}

}  // namespace

std::size_t FindNonUtf8(const unsigned char* data, std::size_t length, bool cut) {
    for (std::size_t at = 0; at < length;) {
        const unsigned lead = data[at];
        int more = 0;
        unsigned low = 0x80, high = 0xBF;  // the range of the first continuation byte
        if (lead < 0x80) {
            ++at;
            continue;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            more = 1;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            more = 2;
            if (lead == 0xE0) low = 0xA0;   // no overlong forms
            if (lead == 0xED) high = 0x9F;  // no surrogates
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            more = 3;
            if (lead == 0xF0) low = 0x90;   // no overlong forms
            if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
        } else {
            return at;
        }
        for (int i = 1; i <= more; ++i) {
            if (at + i >= length) return cut ? length : at;
            const unsigned byte = data[at + i];
            if (byte < (i == 1 ? low : 0x80) || byte > (i == 1 ? high : 0xBF)) return at;
        }
        at += static_cast<std::size_t>(more) + 1;
    }
    return length;
}

std::size_t InputBytesKept(int symbols) {
    return static_cast<std::size_t>(symbols) * kMaxInputBytes + 1;
}

char LevelLetter(int level) {
    return "LMQH"[level];
}

std::string CheckEncodeSettings(const EncodeSettings& s) {
    if (s.level != kDefaultSetting && !InRange(s.level, LEVEL_L, LEVEL_H)) {
        return "the level must be L, M, Q or H (0 to 3), not " + Quoted(s.level);
    }
    if (!InRange(s.version, 0, kMaxVersion)) {
        return "the version must be 1 to " + std::to_string(kMaxVersion) +
               " (0 for the smallest), not " + Quoted(s.version);
    }
    if (s.mask != kDefaultSetting && !InRange(s.mask, 0, kMaxMask)) {
        return "the mask must be 0 to " + std::to_string(kMaxMask) + ", not " + Quoted(s.mask);
    }
    if (s.micro) return "Micro QR is not available in this build";
    return std::string();
}

Encoder::Encoder() : qr_(new (std::nothrow) CQrEncoder) {}

Encoder::~Encoder() = default;

Status Encoder::Encode(const unsigned char* data, std::size_t length,
                       const EncodeSettings& settings, Symbol* symbol, bool cut) {
    if (!CheckEncodeSettings(settings).empty()) return TESSERA_ERROR_BAD_ARGUMENT;
    if (!Ready()) return TESSERA_ERROR_NO_MEMORY;
    if (length == 0) return TESSERA_ERROR_CANNOT_ENCODE;
    // Data marked as UTF-8 text must be UTF-8, or readers would show other text.
    if (settings.utf8 && FindNonUtf8(data, length, cut) != length) {
        return TESSERA_ERROR_CANNOT_ENCODE;
    }
    const int level = settings.level == kDefaultSetting ? kDefaultLevel : settings.level;
    // Beyond one stream's worth nothing fits, and the encoder says so without reading the rest.
    const int kept = static_cast<int>(
        std::min<std::size_t>(length, static_cast<std::size_t>(kMaxStreamInputBytes) + 1));
    qr_->utf8Eci = settings.utf8;
    if (!qr_->Encode(level, settings.version, settings.strictVersion ? 0 : 1, settings.mask, data,
                     kept)) {
        return TESSERA_ERROR_CANNOT_ENCODE;
    }
    symbol->size = qr_->symbolSize;
    symbol->version = qr_->version;
    symbol->level = qr_->level;
    symbol->mask = qr_->maskNumber;
    symbol->micro = false;
    for (int x = 0; x < qr_->symbolSize; ++x) {
        std::memcpy(symbol->modules[x], qr_->modules[x], static_cast<std::size_t>(qr_->symbolSize));
    }
    return TESSERA_OK;
}

std::string Encoder::ExplainFailure(const unsigned char* data, std::size_t length,
                                    const EncodeSettings& settings, bool cut) {
    const std::string checked = CheckEncodeSettings(settings);
    if (!checked.empty()) return checked;
    if (length == 0) return "the data cannot be encoded: it is empty";
    if (!Ready()) return "the data cannot be encoded: out of memory";
    if (settings.utf8) {
        const std::size_t bad = FindNonUtf8(data, length, cut);
        if (bad != length) {
            return "the data cannot be encoded as UTF-8 text: not UTF-8 at byte " +
                   std::to_string(bad + 1);
        }
    }
    const int level = settings.level == kDefaultSetting ? kDefaultLevel : settings.level;
    const char letter = LevelLetter(level);
    qr_->utf8Eci = settings.utf8;
    bool estimated = false;
    const long need = BitsNeeded(qr_.get(), data, length, kLargestGroup, &estimated);
    const int most = DataBits(kMaxVersion, level);
    const std::string needs = cut ? "at least " : estimated ? "about " : "";
    if (settings.strictVersion && settings.version >= kMinVersion && need <= most) {
        // It fits a larger version than the one that was asked for.
        const long needThere =
            BitsNeeded(qr_.get(), data, length, VersionGroupOf(settings.version), &estimated);
        return "the data cannot be encoded: it needs " + std::to_string(needThere) +
               " bits and version " + std::to_string(settings.version) + " at level " + letter +
               " holds " + std::to_string(DataBits(settings.version, level)) +
               " (a larger version is not allowed)";
    }
    return "the data cannot be encoded: it needs " + needs + std::to_string(need) +
           " bits and version " + std::to_string(kMaxVersion) + " at level " + letter +
           " holds at most " + std::to_string(most);
}

std::string CheckOutputSettings(const OutputSettings& s) {
    const int format = static_cast<int>(s.format);
    if (!InRange(format, 0, kImageFormatCount - 1)) {
        return "the format must be one of " + FormatNameList() + ", not " + Quoted(format);
    }
    const ImageFormatInfo& info = FormatInfo(s.format);
    if (s.scale != 0 && !InRange(s.scale, kMinScale, kMaxScale)) {
        return "the scale must be " + std::to_string(kMinScale) + " to " +
               std::to_string(kMaxScale) + ", not " + Quoted(s.scale);
    }
    if (s.margin != kDefaultSetting && !InRange(s.margin, kMinMargin, kMaxMargin)) {
        return "the margin must be " + std::to_string(kMinMargin) + " to " +
               std::to_string(kMaxMargin) + " modules, not " + Quoted(s.margin);
    }
    if (s.dpi != 0 && !InRange(s.dpi, kMinDpi, kMaxDpi)) {
        return "the resolution must be " + std::to_string(kMinDpi) + " to " +
               std::to_string(kMaxDpi) + " dpi, not " + Quoted(s.dpi);
    }
    if (s.dpi != 0 && !info.dpi) {
        std::string takers;
        for (const ImageFormatInfo& other : IMAGE_FORMATS) {
            if (other.dpi) takers += std::string(takers.empty() ? "" : " and ") + other.name;
        }
        return std::string(info.name) + " states no resolution, so not " + Quoted(s.dpi) +
               " dpi; a resolution is for " + takers;
    }
    const bool defaultColours = s.dark == kDefaultDark && s.light == kDefaultLight;
    if (!defaultColours && !info.colours) {
        return std::string(info.name) + " output has no colours of its own, so not " +
               ColourText(s.dark != kDefaultDark ? s.dark : s.light);
    }
    if (!info.alpha && (AlphaOf(s.dark) != 0xFF || AlphaOf(s.light) != 0xFF)) {
        return std::string(info.name) + " has no transparency, so not " +
               ColourText(AlphaOf(s.dark) != 0xFF ? s.dark : s.light) +
               ": give colours with alpha FF";
    }
    return std::string();
}

RenderOptions ResolveRenderOptions(const Symbol& symbol, const OutputSettings& settings) {
    RenderOptions options;
    options.scale = settings.scale != 0 ? settings.scale : FormatInfo(settings.format).defaultScale;
    options.margin = settings.margin != kDefaultSetting ? settings.margin
                     : symbol.micro                     ? kMicroQuietZoneModules
                                                        : kQuietZoneModules;
    options.dark = settings.dark;
    options.light = settings.light;
    options.dpi = settings.dpi;
    return options;
}

Status Render(const Symbol& symbol, const OutputSettings& settings, std::string* bytes) {
    if (!CheckOutputSettings(settings).empty()) return TESSERA_ERROR_BAD_ARGUMENT;
    const ImageWriter writer = WriterFor(settings.format);
    if (writer == nullptr) return TESSERA_ERROR_FORMAT_NOT_AVAILABLE;
    const RenderOptions options = ResolveRenderOptions(symbol, settings);
    return writer(symbol.size, symbol.modules, options, bytes) ? TESSERA_OK
                                                               : TESSERA_ERROR_NO_MEMORY;
}

Status SaveBytes(const char* path, const std::string& bytes, const platform::WriteOptions& options,
                 platform::WriteFailure* failure) {
    return platform::ReplaceFile(path, bytes.data(), bytes.size(), options, failure)
               ? TESSERA_OK
               : TESSERA_ERROR_CANNOT_WRITE;
}

Status WriteToStandardOutput(const std::string& bytes, platform::WriteFailure* failure) {
    platform::WriteFailure ignored;
    return platform::WriteStandardOutput(bytes.data(), bytes.size(),
                                         failure != nullptr ? failure : &ignored)
               ? TESSERA_OK
               : TESSERA_ERROR_CANNOT_WRITE;
}

Status ReadInput(const char* path, std::size_t limit, std::string* data,
                 platform::ReadFailure* failure) {
    platform::InputStream stream;
    if (!stream.Open(path, failure)) return TESSERA_ERROR_NOTHING_TO_DO;
    try {
        data->resize(limit);
    } catch (const std::bad_alloc&) {
        *failure = platform::ReadFailure::kOther;
        return TESSERA_ERROR_NO_MEMORY;
    }
    const long long n = stream.ReadFully(&(*data)[0], limit);
    if (n < 0) {
        data->clear();
        *failure = n == platform::InputStream::kInterrupted ? platform::ReadFailure::kInterrupted
                                                            : platform::ReadFailure::kOther;
        return TESSERA_ERROR_NOTHING_TO_DO;
    }
    data->resize(static_cast<std::size_t>(n));
    return TESSERA_OK;
}

Status EncodeRenderWrite(Encoder* encoder, Symbol* scratch, const unsigned char* data,
                         std::size_t length, bool cut, const EncodeSettings& encode,
                         const OutputSettings& output, const Destination& destination,
                         std::string* message) {
    Status status = encoder->Encode(data, length, encode, scratch, cut);
    if (status == TESSERA_ERROR_CANNOT_ENCODE) {
        *message = encoder->ExplainFailure(data, length, encode, cut);
        return status;
    }
    if (status != TESSERA_OK) {
        *message = status == TESSERA_ERROR_BAD_ARGUMENT
                       ? CheckEncodeSettings(encode)
                       : "the data cannot be encoded: out of memory";
        return status;
    }
    std::string bytes;
    status = Render(*scratch, output, &bytes);
    if (status != TESSERA_OK) {
        const std::string format = FormatInfo(output.format).name;
        *message = status == TESSERA_ERROR_BAD_ARGUMENT ? CheckOutputSettings(output)
                   : status == TESSERA_ERROR_FORMAT_NOT_AVAILABLE
                       ? format + " output is not available in this build"
                       : "the " + format + " output cannot be made: out of memory";
        return status;
    }
    const RenderOptions drawn = ResolveRenderOptions(*scratch, output);
    const int columns = FormatInfo(output.format).columnsPerPixel * drawn.scale *
                        (scratch->size + 2 * drawn.margin);
    if (destination.maxColumns > 0 && columns > destination.maxColumns) {
        *message = "the symbol is " + std::to_string(columns) + " columns wide and the terminal " +
                   std::to_string(destination.maxColumns) +
                   ": write it to an image file instead (-o code.png)";
        return TESSERA_ERROR_CANNOT_WRITE;
    }
    platform::WriteFailure failure = platform::WriteFailure::kOther;
    if (destination.standardOutput) {
        status = WriteToStandardOutput(bytes, &failure);
        if (status != TESSERA_OK) {
            *message =
                std::string("standard output cannot be written: ") + WriteFailureText(failure);
        }
        return status;
    }
    if (destination.makeFolders &&
        !platform::MakeFoldersAbove(destination.path.c_str(), &failure)) {
        *message =
            "the output file cannot be created: " + PrintableName(destination.path) +
            ": its folder cannot be made: " +
            (failure == platform::WriteFailure::kNotAFile ? "a file stands where a folder would be"
                                                          : WriteFailureText(failure));
        return TESSERA_ERROR_CANNOT_WRITE;
    }
    status = SaveBytes(destination.path.c_str(), bytes, destination.options, &failure);
    if (status != TESSERA_OK) {
        *message = "the output file cannot be created: " + PrintableName(destination.path) + ": " +
                   WriteFailureText(failure);
    }
    return status;
}

std::string PrintableName(const std::string& name) {
    static const char kHex[] = "0123456789abcdef";
    std::string printable = "'";
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            printable += "\\x";
            printable += kHex[byte >> 4];
            printable += kHex[byte & 15];
        } else {
            printable += c;
        }
    }
    return printable + "'";
}

const char* WriteFailureText(platform::WriteFailure failure) {
    switch (failure) {
        case platform::WriteFailure::kNone:
            return "no error";
        case platform::WriteFailure::kNoSpace:
            return "no space left on the device";
        case platform::WriteFailure::kPermission:
            return "permission denied";
        case platform::WriteFailure::kMissingFolder:
            return "the folder does not exist";
        case platform::WriteFailure::kNotAFile:
            return "it is not a file that can be replaced";
        case platform::WriteFailure::kTooLarge:
            return "the file would exceed the file-size limit";
        case platform::WriteFailure::kBrokenPipe:
            return "the reading end of the pipe is closed";
        case platform::WriteFailure::kNoMemory:
            return "out of memory";
        case platform::WriteFailure::kOther:
            break;
    }
    return "it cannot be written";
}

const char* ReadFailureText(platform::ReadFailure failure) {
    switch (failure) {
        case platform::ReadFailure::kNone:
            return "no error";
        case platform::ReadFailure::kMissing:
            return "no such file";
        case platform::ReadFailure::kPermission:
            return "permission denied";
        case platform::ReadFailure::kFolder:
            return "it is a folder";
        case platform::ReadFailure::kInterrupted:
            return "interrupted";
        case platform::ReadFailure::kOther:
            break;
    }
    return "it cannot be read";
}

}  // namespace qr
