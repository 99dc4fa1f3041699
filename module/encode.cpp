// One symbol from data and settings, with the reason when it cannot be made; the records kept.
#include "module/encode.h"

#include <algorithm>
#include <cstring>

#include "encoder/gs1.h"
#include "encoder/micro_encoder.h"
#include "encoder/qr_encoder.h"
#include "encoder/rmqr_encoder.h"
#include "encoder/tables.h"
#include "module/kept_records.h"
#include "module/limits.h"
#include "module/messages.h"
#include "module/symbol.h"
#include "module/symbol_fit.h"

namespace qr {

namespace {

constexpr int kLargestGroup = kVersionGroupCount - 1;

int DataBits(int version, int level) {
    return VERSION_TABLE[version].dataCodewordCount[level] * 8;
}

// Bits that the stream of `versionGroup` takes for `length` bytes at `data`, which are no more
// than InputBytesKept().
long BitsNeeded(CQrEncoder* encoder, const unsigned char* data, std::size_t length,
                int versionGroup) {
    if (encoder->EncodeSegments(data, static_cast<int>(length), versionGroup)) {
        return encoder->dataBitCount;
    }
    // The stream overflowed; its segment list is complete all the same.
    long bits = encoder->HeaderBits();
    for (int s = 0; s < encoder->segmentCount; ++s) {
        bits += encoder->EstimateSegmentBits(encoder->segmentModes[s], encoder->segmentLengths[s],
                                             versionGroup);
    }
    return bits;
}

std::string VersionAt(int version, int level) {
    return "version " + std::to_string(version) + " at level " + LevelLetter(level);
}

std::string MicroAt(int version, int level) {
    return "M" + std::to_string(version) +
           (level == kMicroNoLevel ? std::string()
                                   : std::string(" at level ") + LevelLetter(level));
}

std::string RmqrAt(int version, int level) {
    return RmqrSizeName(version) + " at level " + LevelLetter(level);
}

Status Failed(Status status, std::string* why, const std::string& sentence) {
    if (why != nullptr) *why = sentence;
    return status;
}

// The cells of `width` x `height` of `modules` copied into `symbol`.
void CopyCells(const ModuleMatrix& modules, int width, int height, Symbol* symbol) {
    for (int x = 0; x < width; ++x) {
        std::memcpy(symbol->modules[x], modules[x], static_cast<std::size_t>(height));
    }
}

// Why `length` bytes (over that, when `cut`) fit no symbol of `kind`, which holds at most `most`.
std::string TooLong(std::size_t length, bool cut, const char* kind, int most) {
    return CannotEncode("it is " + std::string(cut ? "over " : "") + std::to_string(length) +
                        " bytes, and no " + kind + " symbol holds more than " +
                        std::to_string(most));
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

bool IsUtf8Text(const unsigned char* data, std::size_t length, bool cut) {
    constexpr unsigned char kLastAscii = 0x7F;
    return std::any_of(data, data + length, [](unsigned char b) { return b > kLastAscii; }) &&
           FindNonUtf8(data, length, cut) == length;
}

std::string DescribeSymbol(const Symbol& symbol) {
    const std::string level =
        symbol.level == kDefaultSetting ? "" : std::string("-") + LevelLetter(symbol.level);
    std::string words;
    if (symbol.rmqr) {
        words = "rMQR " + RmqrSizeName(symbol.version) + level;
    } else {
        words = (symbol.micro ? "Micro QR M" : "QR Code version ") +
                std::to_string(symbol.version) + level + ", mask " + std::to_string(symbol.mask);
    }
    words += ", " + std::to_string(symbol.size) + "x" + std::to_string(symbol.height) + " modules";
    if (symbol.gs1) words += ", GS1";
    return words;
}

std::size_t InputBytesKept(int symbols) {
    return static_cast<std::size_t>(symbols) * static_cast<std::size_t>(kLimits.symbolBytes) + 1;
}

SymbolRecord::SymbolRecord() : symbol_(Kept<Symbol>().Take()) {}

SymbolRecord::~SymbolRecord() {
    Kept<Symbol>().Give(std::move(symbol_));
}

struct Encoder::Gs1Data {
    unsigned char bytes[kMaxStreamInputBytes];
};

Encoder::Encoder() : qr_(Kept<CQrEncoder>().Take()) {}

Encoder::~Encoder() {
    Kept<CQrEncoder>().Give(std::move(qr_));
    Kept<CMicroEncoder>().Give(std::move(micro_));
    Kept<CRmqrEncoder>().Give(std::move(rmqr_));
    Kept<Gs1Data>().Give(std::move(gs1_));
}

Status Encoder::Encode(const unsigned char* data, std::size_t whole, const EncodeSettings& asked,
                       Symbol* symbol, bool cut, std::string* why) {
    const Status checked = CheckEncodeSettings(asked, false, why);
    if (checked != TESSERA_OK) return checked;
    if (!Ready()) return Failed(TESSERA_ERROR_NO_MEMORY, why, CannotEncode("out of memory"));
    if (whole == 0) return Failed(TESSERA_ERROR_CANNOT_ENCODE, why, CannotEncode("it is empty"));
    // More than one symbol holds is never read.
    std::size_t length = std::min(whole, InputBytesKept());
    if (length < whole) cut = true;
    if (asked.gs1) {
        // The element string becomes the GS1 data that the symbol holds, or is refused.
        if (!gs1_) gs1_ = Kept<Gs1Data>().Take();
        if (!gs1_) return Failed(TESSERA_ERROR_NO_MEMORY, why, CannotEncode("out of memory"));
        Gs1Report report;
        const int parsed = ParseGs1(data, static_cast<int>(length), gs1_->bytes, &report);
        if (parsed < 0) {
            char line[160];
            DescribeGs1Report(report, line, sizeof line);
            return Failed(TESSERA_ERROR_CANNOT_ENCODE, why, CannotEncode(line));
        }
        data = gs1_->bytes;
        length = static_cast<std::size_t>(parsed);
    }
    if (asked.Fit()) return EncodeFit(data, length, asked, symbol, cut, why);
    return EncodeOne(data, length, asked, symbol, cut, why);
}

Status Encoder::EncodeOne(const unsigned char* data, std::size_t length,
                          const EncodeSettings& asked, Symbol* symbol, bool cut, std::string* why) {
    EncodeSettings settings = asked;
    // Micro QR and rMQR have no ECI, and GS1 data is ASCII.
    if (settings.utf8WhenText && !settings.micro && !settings.rmqr && !settings.gs1 &&
        IsUtf8Text(data, length, cut)) {
        settings.utf8 = true;
    }
    // Data marked as UTF-8 text must be UTF-8, or readers would show other text.
    const std::size_t bad = settings.utf8 ? FindNonUtf8(data, length, cut) : length;
    if (bad != length) {
        return Failed(TESSERA_ERROR_CANNOT_ENCODE, why, NotUtf8(bad));
    }
    // The symbol families, each with an Encode* of its own.
    if (settings.micro) return EncodeMicro(data, length, settings, symbol, cut, why);
    if (settings.rmqr) return EncodeRmqr(data, length, settings, symbol, cut, why);
    qr_->gs1 = settings.gs1;
    return EncodeQrSymbol(data, length, settings, symbol, cut, why);
}

Status Encoder::EncodeFit(const unsigned char* data, std::size_t length,
                          const EncodeSettings& settings, Symbol* symbol, bool cut,
                          std::string* why) {
    const int level = settings.level == kDefaultSetting ? kLimits.defaultLevel : settings.level;
    for (const FitCandidate& candidate : FitCandidates(settings.fitWidth, settings.fitHeight)) {
        EncodeSettings one = settings;
        one.fitWidth = one.fitHeight = 0;
        one.version = candidate.shape.version;
        one.strictVersion = true;
        one.micro = candidate.family == FAMILY_MICRO_QR;
        one.rmqr = candidate.family == FAMILY_RMQR;
        one.level = level;
        // A kind that cannot take the data's settings (a level, UTF-8 text, GS1) is passed over.
        if (CheckEncodeSettings(one, false, nullptr) != TESSERA_OK) continue;
        const Status status = EncodeOne(data, length, one, symbol, cut, nullptr);
        if (status != TESSERA_ERROR_CANNOT_ENCODE) return status;
    }
    return Failed(
        TESSERA_ERROR_CANNOT_ENCODE, why,
        CannotEncode("no symbol " + std::to_string(settings.fitWidth) + "x" +
                     std::to_string(settings.fitHeight) +
                     " modules with its quiet zone holds it at level " + LevelLetter(level)));
}

bool Encoder::RmqrReady() {
    if (!rmqr_) rmqr_ = Kept<CRmqrEncoder>().Take();
    return rmqr_ != nullptr;
}

Status Encoder::EncodeRmqr(const unsigned char* data, std::size_t length,
                           const EncodeSettings& settings, Symbol* symbol, bool cut,
                           std::string* why) {
    if (!RmqrReady()) return Failed(TESSERA_ERROR_NO_MEMORY, why, CannotEncode("out of memory"));
    // Beyond the most any rMQR symbol holds nothing fits.
    const int kept = static_cast<int>(
        std::min<std::size_t>(length, static_cast<std::size_t>(kMaxRmqrInputBytes) + 1));
    const int level = settings.level == kDefaultSetting ? kLimits.defaultLevel : settings.level;
    rmqr_->gs1 = settings.gs1;
    if (!rmqr_->Encode(level, settings.version, settings.strictVersion ? 0 : 1, settings.rmqrHeight,
                       data, kept)) {
        if (why == nullptr) return TESSERA_ERROR_CANNOT_ENCODE;
        if (length > static_cast<std::size_t>(kMaxRmqrInputBytes)) {
            *why = TooLong(length, cut, "rMQR", kMaxRmqrInputBytes);
            return TESSERA_ERROR_CANNOT_ENCODE;
        }
        // The size asked for when it is strict, else the largest of the height asked (or of all).
        const bool strict = settings.version != 0 && settings.strictVersion;
        int version = strict ? settings.version : kLimits.rmqrVersion.high;
        const int height =
            settings.version != 0 ? RmqrSize(settings.version).height : settings.rmqrHeight;
        for (int v = 1; v <= kLimits.rmqrVersion.high && !strict && height != 0; ++v) {
            if (RmqrSize(v).height == height) version = v;
        }
        *why = NeedsMoreBits(rmqr_->StreamBits(data, kept, version), false, RmqrAt(version, level),
                             RmqrDataCodewords(version, level) * 8, !strict, strict);
        return TESSERA_ERROR_CANNOT_ENCODE;
    }
    if (settings.boost && rmqr_->level == LEVEL_M &&
        RmqrDataCodewords(rmqr_->version, LEVEL_H) * 8 >= rmqr_->streamBitCount) {
        rmqr_->Encode(LEVEL_H, rmqr_->version, 0, 0, data, kept);
    }
    symbol->size = rmqr_->width;
    symbol->height = rmqr_->height;
    symbol->version = rmqr_->version;
    symbol->level = rmqr_->level;
    symbol->mask = 0;
    symbol->micro = false;
    symbol->rmqr = true;
    symbol->gs1 = settings.gs1;
    symbol->partIndex = symbol->partCount = 0;
    symbol->parity = 0;
    symbol->dataBits = rmqr_->streamBitCount;
    symbol->capacityBits = RmqrDataCodewords(rmqr_->version, rmqr_->level) * 8;
    CopyCells(rmqr_->modules, rmqr_->width, rmqr_->height, symbol);
    return TESSERA_OK;
}

bool Encoder::EncodeQr(const unsigned char* data, std::size_t length, int level, int version,
                       bool strict, int mask, bool utf8, int partIndex, int partCount,
                       unsigned parity) {
    // Beyond one stream's worth nothing fits, and the encoder says so without reading the rest.
    const int kept = static_cast<int>(
        std::min<std::size_t>(length, static_cast<std::size_t>(kMaxStreamInputBytes) + 1));
    qr_->utf8Eci = utf8;
    qr_->structuredAppend.index = partIndex;
    qr_->structuredAppend.count = partCount;
    qr_->structuredAppend.parity = parity;
    return qr_->Encode(level, version, strict ? 0 : 1, mask, data, kept) != 0;
}

Status Encoder::EncodeQrSymbol(const unsigned char* data, std::size_t length,
                               const EncodeSettings& settings, Symbol* symbol, bool cut,
                               std::string* why) {
    const int level = settings.level == kDefaultSetting ? kLimits.defaultLevel : settings.level;
    if (EncodeQr(data, length, level, settings.version, settings.strictVersion, settings.mask,
                 settings.utf8, 0, 0, 0) &&
        (settings.maxVersion == 0 || qr_->version <= settings.maxVersion)) {
        if (settings.boost) {
            // The same stream at a higher level of the version found: it fits by its length.
            const int boosted = BoostedLevel(level);
            if (boosted != level) {
                EncodeQr(data, length, boosted, qr_->version, true, settings.mask, settings.utf8, 0,
                         0, 0);
            }
        }
        TakeSymbol(symbol, 0, 0, 0);
        return TESSERA_OK;
    }
    if (why == nullptr) return TESSERA_ERROR_CANNOT_ENCODE;
    // The bits of the stream in the largest versions, without a set's header.
    qr_->structuredAppend = {};
    const long need = BitsNeeded(qr_.get(), data, length, kLargestGroup);
    const int most = DataBits(kLimits.version.high, level);
    const int ceiling =
        settings.strictVersion && settings.version != 0 ? settings.version : settings.maxVersion;
    if (ceiling != 0 && need <= most) {
        // It fits a larger version than the one that was asked for, or allowed.
        const long there = BitsNeeded(qr_.get(), data, length, VersionGroupOf(ceiling));
        *why = NeedsMoreBits(there, false, VersionAt(ceiling, level), DataBits(ceiling, level),
                             false, true);
    } else {
        *why = NeedsMoreBits(need, cut, VersionAt(kLimits.version.high, level), most, true, false);
    }
    return TESSERA_ERROR_CANNOT_ENCODE;
}

bool Encoder::MicroReady() {
    if (!micro_) micro_ = Kept<CMicroEncoder>().Take();
    return micro_ != nullptr;
}

Status Encoder::EncodeMicro(const unsigned char* data, std::size_t length,
                            const EncodeSettings& settings, Symbol* symbol, bool cut,
                            std::string* why) {
    if (!MicroReady()) return Failed(TESSERA_ERROR_NO_MEMORY, why, CannotEncode("out of memory"));
    // Beyond the most any Micro QR symbol holds nothing fits.
    const int kept = static_cast<int>(
        std::min<std::size_t>(length, static_cast<std::size_t>(kMaxMicroInputBytes) + 1));
    const int level = settings.level == kDefaultSetting ? kMicroNoLevel : settings.level;
    if (!micro_->Encode(level, settings.version, settings.strictVersion ? 0 : 1, settings.mask,
                        data, kept)) {
        if (why == nullptr) return TESSERA_ERROR_CANNOT_ENCODE;
        const int largest = kLimits.microVersion.high;
        if (length > static_cast<std::size_t>(kMaxMicroInputBytes)) {
            *why = TooLong(length, cut, "Micro QR", kMaxMicroInputBytes);
            return TESSERA_ERROR_CANNOT_ENCODE;
        }
        // Above M1, which has none, a level left to the library is L.
        const int letter = level == kMicroNoLevel ? kLimits.microDefaultLevel : level;
        if (!settings.strictVersion || settings.version == 0) {
            *why = NeedsMoreBits(micro_->StreamBits(data, kept, largest), false,
                                 MicroAt(largest, letter), MicroDataBits(largest, letter), true,
                                 false);
            return TESSERA_ERROR_CANNOT_ENCODE;
        }
        const int version = settings.version;
        const int need = micro_->StreamBits(data, kept, version);
        const int at = version == 1 ? kMicroNoLevel : letter;
        if (need < 0) {
            *why = CannotEncode("M" + std::to_string(version) + " has no mode for some of it");
        } else if (MicroDataBits(version, at) == 0) {
            *why = CannotEncode("M" + std::to_string(version) + " has no level " +
                                LevelLetter(letter));
        } else {
            *why = NeedsMoreBits(need, false, MicroAt(version, at), MicroDataBits(version, at),
                                 false, true);
        }
        return TESSERA_ERROR_CANNOT_ENCODE;
    }
    if (settings.boost && micro_->level != kMicroNoLevel) {
        // The highest level the same version holds the stream at; M1 has none to raise.
        for (int higher = LEVEL_Q; higher > micro_->level; --higher) {
            if (MicroDataBits(micro_->version, higher) >= micro_->streamBitCount) {
                micro_->Encode(higher, micro_->version, 0, settings.mask, data, kept);
                break;
            }
        }
    }
    symbol->size = symbol->height = micro_->symbolSize;
    symbol->version = micro_->version;
    symbol->level = micro_->level;
    symbol->mask = micro_->maskNumber;
    symbol->micro = true;
    symbol->rmqr = symbol->gs1 = false;
    symbol->partIndex = symbol->partCount = 0;
    symbol->parity = 0;
    symbol->dataBits = micro_->streamBitCount;
    symbol->capacityBits = MicroDataBits(micro_->version, micro_->level);
    CopyCells(micro_->modules, micro_->symbolSize, micro_->symbolSize, symbol);
    return TESSERA_OK;
}

int Encoder::BoostedLevel(int level) const {
    for (int higher = kLimits.level.high; higher > level; --higher) {
        if (DataBits(qr_->version, higher) >= qr_->streamBitCount) return higher;
    }
    return level;
}

void Encoder::TakeSymbol(Symbol* symbol, int partIndex, int partCount, unsigned parity) const {
    symbol->size = symbol->height = qr_->symbolSize;
    symbol->version = qr_->version;
    symbol->level = qr_->level;
    symbol->mask = qr_->maskNumber;
    symbol->micro = symbol->rmqr = false;
    symbol->gs1 = qr_->gs1;
    symbol->partIndex = partIndex;
    symbol->partCount = partCount;
    symbol->parity = parity;
    symbol->dataBits = qr_->streamBitCount;
    symbol->capacityBits = DataBits(qr_->version, qr_->level);
    CopyCells(qr_->modules, qr_->symbolSize, qr_->symbolSize, symbol);
}

}  // namespace qr
