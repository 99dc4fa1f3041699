// The road of every call: settings checked, the symbol encoded, rendered and written.
#include "module/pipeline.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>

#include "encoder/qr_encoder.h"
#include "encoder/tables.h"

namespace qr {

namespace {

constexpr int kLargestGroup = kVersionGroupCount - 1;

static_assert(int{TESSERA_LEVEL_L} == int{LEVEL_L} && int{TESSERA_LEVEL_H} == int{LEVEL_H},
              "the API's levels are EcLevels");

bool InRange(int value, int low, int high) {
    return value >= low && value <= high;
}

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

// The bytes of `length` that one symbol's encoding reads: more never fit. Sets `cut` when some
// are left unread.
std::size_t KeptForOneSymbol(std::size_t length, bool* cut) {
    const std::size_t kept = std::min(length, InputBytesKept());
    if (kept < length) *cut = true;
    return kept;
}

// `settings` for `length` bytes at `data`: `utf8` set where `utf8WhenText` finds text.
EncodeSettings ForData(const EncodeSettings& settings, const unsigned char* data,
                       std::size_t length, bool cut) {
    EncodeSettings resolved = settings;
    if (settings.utf8WhenText && !settings.micro && IsUtf8Text(data, length, cut)) {
        resolved.utf8 = true;
    }
    return resolved;
}

std::string NotUtf8(std::size_t offset) {
    return "the data cannot be encoded as UTF-8 text: not UTF-8 at byte " +
           std::to_string(offset + 1);
}

std::string MicroName(int version) {
    return "M" + std::to_string(version);
}

// Whether Micro QR `version` (0: some version) offers `level`.
bool MicroOffers(int version, int level) {
    if (version != 0) return MicroDataBits(version, level) > 0;
    return SmallestMicroVersionWith(level) != 0;
}

// Records of one kind kept between calls. Take() hands out one kept before, or a new one (null
// without memory); Give() keeps it for a later call, or releases it when kKeptRecords are kept.
template <class Record>
class KeptRecords {
public:
    KeptRecords() = default;
    KeptRecords(const KeptRecords&) = delete;
    KeptRecords& operator=(const KeptRecords&) = delete;
    ~KeptRecords() {
        for (int i = 0; i < count_; ++i) delete kept_[i];
    }

    std::unique_ptr<Record> Take() {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            if (count_ > 0) return std::unique_ptr<Record>(kept_[--count_]);
        }
        return std::unique_ptr<Record>(new (std::nothrow) Record);
    }

    void Give(std::unique_ptr<Record> record) {
        if (!record) return;
        const std::lock_guard<std::mutex> lock(mutex_);
        if (count_ < kKeptRecords) kept_[count_++] = record.release();
    }

private:
    std::mutex mutex_;
    Record* kept_[kKeptRecords] = {};
    int count_ = 0;
};

template <class Record>
KeptRecords<Record>& Kept() {
    static KeptRecords<Record> kept;
    return kept;
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

bool IsUtf8Text(const unsigned char* data, std::size_t length, bool cut) {
    constexpr unsigned char kLastAscii = 0x7F;
    return std::any_of(data, data + length, [](unsigned char b) { return b > kLastAscii; }) &&
           FindNonUtf8(data, length, cut) == length;
}

std::size_t InputBytesKept(int symbols) {
    return static_cast<std::size_t>(symbols) * kMaxInputBytes + 1;
}

char LevelLetter(int level) {
    return "LMQH"[level];
}

int SmallestMicroVersionWith(int level) {
    for (int version = 1; version <= kMicroVersionCount; ++version) {
        if (MicroDataBits(version, level) > 0) return version;
    }
    return 0;
}

std::string MicroLevelNames(int version) {
    std::vector<char> letters;
    for (int level = LEVEL_L; level <= LEVEL_H; ++level) {
        if (MicroOffers(version, level)) letters.push_back(LevelLetter(level));
    }
    std::string words;
    for (std::size_t i = 0; i < letters.size(); ++i) {
        words += i == 0 ? "" : i + 1 == letters.size() ? " or " : ", ";
        words += letters[i];
    }
    return words;
}

MicroRefusal CheckMicroSettings(const EncodeSettings& s, bool structured) {
    if (!s.micro) return MicroRefusal::kNone;
    if (structured) return MicroRefusal::kStructured;
    if (s.utf8) return MicroRefusal::kUtf8;
    if (!InRange(s.version, 0, kMicroVersionCount)) return MicroRefusal::kVersion;
    if (s.level != kDefaultSetting && !MicroOffers(s.version, s.level)) {
        return MicroRefusal::kLevel;
    }
    if (s.mask != kDefaultSetting && !InRange(s.mask, 0, kMicroMaskCount - 1)) {
        return MicroRefusal::kMask;
    }
    return MicroRefusal::kNone;
}

std::string CheckEncodeSettings(const EncodeSettings& s, bool structured) {
    if (s.level != kDefaultSetting && !InRange(s.level, LEVEL_L, LEVEL_H)) {
        return "the level must be L, M, Q or H (0 to 3), not " + Quoted(s.level);
    }
    if (!s.micro && !InRange(s.version, 0, kMaxVersion)) {
        return "the version must be 1 to " + std::to_string(kMaxVersion) +
               " (0 for the smallest), not " + Quoted(s.version);
    }
    if (!s.micro && s.mask != kDefaultSetting && !InRange(s.mask, 0, kMaskCount - 1)) {
        return "the mask must be 0 to " + std::to_string(kMaskCount - 1) + ", not " +
               Quoted(s.mask);
    }
    if (s.maxVersion != 0) {
        if (s.micro || structured) return "a largest version is for one QR Code symbol only";
        if (!InRange(s.maxVersion, kMinVersion, kMaxVersion) || s.version > s.maxVersion) {
            return "the largest version must be " + std::to_string(std::max(s.version, 1)) +
                   " to " + std::to_string(kMaxVersion) + " (0 for any), not " +
                   Quoted(s.maxVersion);
        }
    }
    switch (CheckMicroSettings(s, structured)) {
        case MicroRefusal::kNone:
            break;
        case MicroRefusal::kStructured:
            return "Micro QR has no structured append";
        case MicroRefusal::kUtf8:
            return "Micro QR has no ECI for UTF-8 text";
        case MicroRefusal::kVersion:
            return "the version must be 1 to " + std::to_string(kMicroVersionCount) + " (M1 to M" +
                   std::to_string(kMicroVersionCount) +
                   ") for Micro QR (0 for the smallest), not " + Quoted(s.version);
        case MicroRefusal::kLevel:
            if (s.version == 0) {
                return std::string("Micro QR has no level ") + LevelLetter(s.level) + ": take " +
                       MicroLevelNames(0);
            }
            if (MicroLevelNames(s.version).empty()) {
                return MicroName(s.version) +
                       " has no error-correction level: leave the level out, or take M" +
                       std::to_string(s.version + 1) + " or above";
            }
            return MicroName(s.version) + " has no level " + LevelLetter(s.level) + ": take " +
                   MicroLevelNames(s.version) + ", or " +
                   MicroName(SmallestMicroVersionWith(s.level));
        case MicroRefusal::kMask:
            return "the mask must be 0 to " + std::to_string(kMicroMaskCount - 1) +
                   " for Micro QR, not " + Quoted(s.mask);
    }
    return std::string();
}

SymbolRecord::SymbolRecord() : symbol_(Kept<Symbol>().Take()) {}

SymbolRecord::~SymbolRecord() {
    Kept<Symbol>().Give(std::move(symbol_));
}

Encoder::Encoder() : qr_(Kept<CQrEncoder>().Take()) {}

Encoder::~Encoder() {
    Kept<CQrEncoder>().Give(std::move(qr_));
    Kept<CMicroEncoder>().Give(std::move(micro_));
}

bool Encoder::MicroReady() {
    if (!micro_) micro_ = Kept<CMicroEncoder>().Take();
    return micro_ != nullptr;
}

Status Encoder::EncodeMicro(const unsigned char* data, std::size_t length,
                            const EncodeSettings& settings, Symbol* symbol) {
    if (!MicroReady()) return TESSERA_ERROR_NO_MEMORY;
    // Beyond the most any Micro QR symbol holds nothing fits.
    const int kept = static_cast<int>(
        std::min<std::size_t>(length, static_cast<std::size_t>(kMaxMicroInputBytes) + 1));
    const int level = settings.level == kDefaultSetting ? kMicroNoLevel : settings.level;
    if (!micro_->Encode(level, settings.version, settings.strictVersion ? 0 : 1, settings.mask,
                        data, kept)) {
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
    symbol->size = micro_->symbolSize;
    symbol->version = micro_->version;
    symbol->level = micro_->level;
    symbol->mask = micro_->maskNumber;
    symbol->micro = true;
    symbol->partIndex = symbol->partCount = 0;
    symbol->parity = 0;
    symbol->dataBits = micro_->streamBitCount;
    symbol->capacityBits = MicroDataBits(micro_->version, micro_->level);
    for (int x = 0; x < micro_->symbolSize; ++x) {
        std::memcpy(symbol->modules[x], micro_->modules[x],
                    static_cast<std::size_t>(micro_->symbolSize));
    }
    return TESSERA_OK;
}

std::string Encoder::ExplainMicroFailure(const unsigned char* data, std::size_t length,
                                         const EncodeSettings& settings, bool cut) {
    if (!MicroReady()) return "the data cannot be encoded: out of memory";
    if (length > static_cast<std::size_t>(kMaxMicroInputBytes)) {
        return "the data cannot be encoded: it is " + std::string(cut ? "over " : "") +
               std::to_string(length) + " bytes, and no Micro QR symbol holds more than " +
               std::to_string(kMaxMicroInputBytes);
    }
    const int level = settings.level == kDefaultSetting ? kMicroNoLevel : settings.level;
    const int letter = level == kMicroNoLevel ? LEVEL_L : level;  // above M1, the default is L
    const int bytes = static_cast<int>(length);
    if (settings.strictVersion && settings.version > 0) {
        const int version = settings.version;
        const int need = micro_->StreamBits(data, bytes, version);
        const std::string name = MicroName(version);
        if (need < 0) return "the data cannot be encoded: " + name + " has no mode for some of it";
        const int holds = MicroDataBits(version, version == 1 ? kMicroNoLevel : letter);
        if (holds == 0) {
            return "the data cannot be encoded: " + name + " has no level " + LevelLetter(letter);
        }
        return "the data cannot be encoded: it needs " + std::to_string(need) + " bits and " +
               name + (version == 1 ? "" : std::string(" at level ") + LevelLetter(letter)) +
               " holds " + std::to_string(holds) + " (a larger version is not allowed)";
    }
    const int largest = kMicroVersionCount;
    const int need = micro_->StreamBits(data, bytes, largest);
    return "the data cannot be encoded: it needs " + std::to_string(need) + " bits and " +
           MicroName(largest) + " at level " + LevelLetter(letter) + " holds at most " +
           std::to_string(MicroDataBits(largest, letter));
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

int Encoder::BoostedLevel(int level) const {
    for (int higher = LEVEL_H; higher > level; --higher) {
        if (DataBits(qr_->version, higher) >= qr_->streamBitCount) return higher;
    }
    return level;
}

void Encoder::TakeSymbol(Symbol* symbol, int partIndex, int partCount, unsigned parity) const {
    symbol->size = qr_->symbolSize;
    symbol->version = qr_->version;
    symbol->level = qr_->level;
    symbol->mask = qr_->maskNumber;
    symbol->micro = false;
    symbol->partIndex = partIndex;
    symbol->partCount = partCount;
    symbol->parity = parity;
    symbol->dataBits = qr_->streamBitCount;
    symbol->capacityBits = DataBits(qr_->version, qr_->level);
    for (int x = 0; x < qr_->symbolSize; ++x) {
        std::memcpy(symbol->modules[x], qr_->modules[x], static_cast<std::size_t>(qr_->symbolSize));
    }
}

Status Encoder::Encode(const unsigned char* data, std::size_t whole, const EncodeSettings& asked,
                       Symbol* symbol, bool cut) {
    if (!CheckEncodeSettings(asked).empty()) return TESSERA_ERROR_BAD_ARGUMENT;
    if (!Ready()) return TESSERA_ERROR_NO_MEMORY;
    if (whole == 0) return TESSERA_ERROR_CANNOT_ENCODE;
    const std::size_t length = KeptForOneSymbol(whole, &cut);
    const EncodeSettings settings = ForData(asked, data, length, cut);
    // Data marked as UTF-8 text must be UTF-8, or readers would show other text.
    if (settings.utf8 && FindNonUtf8(data, length, cut) != length) {
        return TESSERA_ERROR_CANNOT_ENCODE;
    }
    if (settings.micro) return EncodeMicro(data, length, settings, symbol);
    const int level = settings.level == kDefaultSetting ? kDefaultLevel : settings.level;
    if (!EncodeQr(data, length, level, settings.version, settings.strictVersion, settings.mask,
                  settings.utf8, 0, 0, 0)) {
        return TESSERA_ERROR_CANNOT_ENCODE;
    }
    if (settings.maxVersion != 0 && qr_->version > settings.maxVersion) {
        return TESSERA_ERROR_CANNOT_ENCODE;
    }
    if (settings.boost) {
        // The same stream at a higher level of the version found: it fits by its length.
        const int boosted = BoostedLevel(level);
        if (boosted != level) {
            EncodeQr(data, length, boosted, qr_->version, true, settings.mask, settings.utf8, 0, 0,
                     0);
        }
    }
    TakeSymbol(symbol, 0, 0, 0);
    return TESSERA_OK;
}

std::vector<std::size_t> SplitPoints(const unsigned char* data, std::size_t length, bool utf8) {
    constexpr unsigned char kContinuationMask = 0xC0;
    constexpr unsigned char kContinuation = 0x80;
    std::vector<std::size_t> points;
    for (std::size_t at = 0; at < length;) {
        std::size_t next = at + 1;
        if (utf8) {
            while (next < length && (data[next] & kContinuationMask) == kContinuation) ++next;
        } else if (IsKanjiPair(data, static_cast<long>(length), static_cast<long>(at))) {
            next = at + 2;
        }
        if (next < length) points.push_back(next);
        at = next;
    }
    return points;
}

bool Encoder::PlanParts(const unsigned char* data, std::size_t length,
                        const EncodeSettings& settings, int count, std::vector<Part>* parts,
                        std::string* why) {
    const std::vector<std::size_t> points = SplitPoints(data, length, settings.utf8);
    const int level = settings.level == kDefaultSetting ? kDefaultLevel : settings.level;
    parts->clear();
    if (count > 0) {
        if (points.size() + 1 < static_cast<std::size_t>(count)) {
            *why = "the data cannot be split into " + std::to_string(count) +
                   " symbols: it has only " + std::to_string(points.size() + 1) +
                   " characters to share out";
            return false;
        }
        // Cut k ends nearest to k/count of the length, after cut k-1 and leaving a point for
        // each cut still to come.
        std::size_t from = 0;
        std::size_t begin = 0;
        for (int k = 1; k < count; ++k) {
            const double ideal = static_cast<double>(length) * k / count;
            const std::size_t last = points.size() - static_cast<std::size_t>(count - k);
            std::size_t best = from;
            for (std::size_t i = from; i <= last; ++i) {
                if (std::abs(static_cast<double>(points[i]) - ideal) <
                    std::abs(static_cast<double>(points[best]) - ideal)) {
                    best = i;
                }
            }
            parts->push_back({begin, points[best]});
            begin = points[best];
            from = best + 1;
        }
        parts->push_back({begin, length});
        return true;
    }
    // Symbols of one version filled in order: each takes the longest run of whole characters
    // that its stream holds.
    std::vector<std::size_t> ends = points;
    ends.push_back(length);
    std::size_t begin = 0;
    std::size_t first = 0;  // the first end after `begin`
    while (begin < length) {
        if (parts->size() == static_cast<std::size_t>(kMaxStructuredSymbols)) {
            *why = "the data needs more than " + std::to_string(kMaxStructuredSymbols) +
                   " symbols of version " + std::to_string(settings.version) + " at level " +
                   LevelLetter(level);
            return false;
        }
        // The last end whose part fits: the stream grows with the part, so the ends are searched
        // by halves.
        std::size_t low = first, high = ends.size();
        while (low < high) {
            const std::size_t middle = (low + high) / 2;
            qr_->utf8Eci = settings.utf8;
            qr_->structuredAppend.count = kMaxStructuredSymbols;  // the header's bits
            const std::size_t size = ends[middle] - begin;
            if (size <= static_cast<std::size_t>(kMaxStreamInputBytes) &&
                qr_->EncodeSegments(data + begin, static_cast<int>(size),
                                    VersionGroupOf(settings.version)) &&
                qr_->dataBitCount <= DataBits(settings.version, level)) {
                low = middle + 1;
            } else {
                high = middle;
            }
        }
        if (low == first) {
            *why = "the data cannot be encoded: version " + std::to_string(settings.version) +
                   " at level " + LevelLetter(level) + " holds no part of it";
            return false;
        }
        parts->push_back({begin, ends[low - 1]});
        begin = ends[low - 1];
        first = low;
    }
    return true;
}

Status Encoder::EncodeStructured(const unsigned char* data, std::size_t length,
                                 const EncodeSettings& asked, int count,
                                 std::vector<std::unique_ptr<Symbol>>* symbols, std::string* why) {
    symbols->clear();
    *why = CheckEncodeSettings(asked, true);
    if (!why->empty()) return TESSERA_ERROR_BAD_ARGUMENT;
    if (count != 0 && (count < kMinStructuredSymbols || count > kMaxStructuredSymbols)) {
        *why = "structured append takes " + std::to_string(kMinStructuredSymbols) + " to " +
               std::to_string(kMaxStructuredSymbols) + " symbols, not '" + std::to_string(count) +
               "'";
        return TESSERA_ERROR_BAD_ARGUMENT;
    }
    if (count == 0 && asked.version == 0) {
        *why = "filling symbols of one version needs that version";
        return TESSERA_ERROR_BAD_ARGUMENT;
    }
    if (!Ready()) return TESSERA_ERROR_NO_MEMORY;
    if (length == 0) {
        *why = "the data cannot be encoded: it is empty";
        return TESSERA_ERROR_CANNOT_ENCODE;
    }
    // Beyond what the most symbols hold nothing fits, and nothing of it is read.
    const std::size_t most = InputBytesKept(kMaxStructuredSymbols) - 1;
    if (length > most) {
        *why = "the data cannot be encoded: it is more than " + std::to_string(most) +
               " bytes, the most that " + std::to_string(kMaxStructuredSymbols) + " symbols hold";
        return TESSERA_ERROR_CANNOT_ENCODE;
    }
    const EncodeSettings settings = ForData(asked, data, length, false);
    const std::size_t bad = settings.utf8 ? FindNonUtf8(data, length, false) : length;
    if (bad != length) {
        *why = NotUtf8(bad);
        return TESSERA_ERROR_CANNOT_ENCODE;
    }
    std::vector<Part> parts;
    if (!PlanParts(data, length, settings, count, &parts, why)) {
        return TESSERA_ERROR_CANNOT_ENCODE;
    }
    if (parts.size() == 1) {  // all of it fits one symbol of the version
        std::unique_ptr<Symbol> symbol(new (std::nothrow) Symbol);
        if (!symbol) return TESSERA_ERROR_NO_MEMORY;
        const Status status = Encode(data, length, settings, symbol.get());
        if (status != TESSERA_OK) {
            *why = ExplainFailure(data, length, settings);
            return status;
        }
        symbols->push_back(std::move(symbol));
        return TESSERA_OK;
    }
    unsigned parity = 0;
    for (std::size_t i = 0; i < length; ++i) parity ^= data[i];
    const int total = static_cast<int>(parts.size());
    int level = settings.level == kDefaultSetting ? kDefaultLevel : settings.level;

    // One version for all: the smallest that holds the largest part; then the highest level that
    // every part's stream fits at it, when boosted.
    int version = settings.version;
    for (int i = 0; i < total; ++i) {
        const Part& part = parts[static_cast<std::size_t>(i)];
        if (!EncodeQr(data + part.begin, part.end - part.begin, level, version,
                      settings.strictVersion, settings.mask, settings.utf8, i, total, parity)) {
            *why = "the data cannot be encoded in " + std::to_string(total) + " symbols: part " +
                   std::to_string(i + 1) + " of " + std::to_string(part.end - part.begin) +
                   " bytes fits no version" +
                   (settings.strictVersion ? " up to " + std::to_string(version) : "") +
                   " at level " + LevelLetter(level);
            return TESSERA_ERROR_CANNOT_ENCODE;
        }
        version = std::max(version, qr_->version);
    }
    if (settings.boost) {
        int boosted = LEVEL_H;
        for (int i = 0; i < total; ++i) {
            const Part& part = parts[static_cast<std::size_t>(i)];
            EncodeQr(data + part.begin, part.end - part.begin, level, version, true, settings.mask,
                     settings.utf8, i, total, parity);
            boosted = std::min(boosted, BoostedLevel(level));
        }
        level = boosted;
    }
    for (int i = 0; i < total; ++i) {
        const Part& part = parts[static_cast<std::size_t>(i)];
        std::unique_ptr<Symbol> symbol(new (std::nothrow) Symbol);
        if (!symbol) return TESSERA_ERROR_NO_MEMORY;
        if (!EncodeQr(data + part.begin, part.end - part.begin, level, version, true, settings.mask,
                      settings.utf8, i, total, parity)) {
            *why = "the data cannot be encoded: part " + std::to_string(i + 1) +
                   " does not fit version " + std::to_string(version);
            return TESSERA_ERROR_CANNOT_ENCODE;
        }
        TakeSymbol(symbol.get(), i, total, parity);
        symbols->push_back(std::move(symbol));
    }
    return TESSERA_OK;
}

std::string Encoder::ExplainFailure(const unsigned char* data, std::size_t whole,
                                    const EncodeSettings& asked, bool cut) {
    const std::string checked = CheckEncodeSettings(asked);
    if (!checked.empty()) return checked;
    if (whole == 0) return "the data cannot be encoded: it is empty";
    if (!Ready()) return "the data cannot be encoded: out of memory";
    const std::size_t length = KeptForOneSymbol(whole, &cut);
    const EncodeSettings settings = ForData(asked, data, length, cut);
    if (settings.utf8) {
        const std::size_t bad = FindNonUtf8(data, length, cut);
        if (bad != length) return NotUtf8(bad);
    }
    if (settings.micro) return ExplainMicroFailure(data, length, settings, cut);
    const int level = settings.level == kDefaultSetting ? kDefaultLevel : settings.level;
    const char letter = LevelLetter(level);
    // A record kept from an earlier call may still hold another call's header.
    qr_->utf8Eci = settings.utf8;
    qr_->structuredAppend = {};
    const long need = BitsNeeded(qr_.get(), data, length, kLargestGroup);
    const int most = DataBits(kMaxVersion, level);
    const std::string needs = cut ? "at least " : "";
    const int ceiling = settings.strictVersion && settings.version >= kMinVersion
                            ? settings.version
                            : settings.maxVersion;
    if (ceiling != 0 && need <= most) {
        // It fits a larger version than the one that was asked for, or allowed.
        const long needThere = BitsNeeded(qr_.get(), data, length, VersionGroupOf(ceiling));
        return "the data cannot be encoded: it needs " + std::to_string(needThere) +
               " bits and version " + std::to_string(ceiling) + " at level " + letter + " holds " +
               std::to_string(DataBits(ceiling, level)) + " (a larger version is not allowed)";
    }
    return "the data cannot be encoded: it needs " + needs + std::to_string(need) +
           " bits and version " + std::to_string(kMaxVersion) + " at level " + letter +
           " holds at most " + std::to_string(most);
}

std::string CheckOutputSettings(const OutputSettings& s) {
    const int format = static_cast<int>(s.format);
    if (!IsFormat(format)) {
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
        return std::string(info.name) + " states no resolution, so not " + Quoted(s.dpi) +
               " dpi; a resolution is for " + FormatNamesWith(&ImageFormatInfo::dpi);
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
    const ImageWriter writer = FormatInfo(settings.format).writer;
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

Status EncodeExplained(Encoder* encoder, Symbol* symbol, const unsigned char* data,
                       std::size_t length, bool cut, const EncodeSettings& encode,
                       std::string* message) {
    const Status status = encoder->Encode(data, length, encode, symbol, cut);
    if (status == TESSERA_ERROR_CANNOT_ENCODE) {
        *message = encoder->ExplainFailure(data, length, encode, cut);
    } else if (status != TESSERA_OK) {
        *message = status == TESSERA_ERROR_BAD_ARGUMENT
                       ? CheckEncodeSettings(encode)
                       : "the data cannot be encoded: out of memory";
    }
    return status;
}

Status EncodeRenderWrite(Encoder* encoder, Symbol* scratch, const unsigned char* data,
                         std::size_t length, bool cut, const EncodeSettings& encode,
                         const OutputSettings& output, const Destination& destination,
                         std::string* message) {
    const Status status = EncodeExplained(encoder, scratch, data, length, cut, encode, message);
    return status == TESSERA_OK ? RenderWrite(*scratch, output, destination, message) : status;
}

namespace {

// Renders `symbol` into `bytes`, checking that it fits `maxColumns` (0: any). Returns TESSERA_OK,
// or the status with one line in `message`.
Status RenderChecked(const Symbol& symbol, const OutputSettings& output, int maxColumns,
                     std::string* bytes, std::string* message) {
    const Status status = Render(symbol, output, bytes);
    if (status != TESSERA_OK) {
        const std::string format = FormatInfo(output.format).name;
        *message = status == TESSERA_ERROR_BAD_ARGUMENT ? CheckOutputSettings(output)
                   : status == TESSERA_ERROR_FORMAT_NOT_AVAILABLE
                       ? format + " output is not available in this build"
                       : "the " + format + " output cannot be made: out of memory";
        return status;
    }
    const RenderOptions drawn = ResolveRenderOptions(symbol, output);
    const int columns =
        FormatInfo(output.format).columnsPerPixel * drawn.scale * (symbol.size + 2 * drawn.margin);
    if (maxColumns > 0 && columns > maxColumns) {
        *message = "the symbol is " + std::to_string(columns) + " columns wide and the terminal " +
                   std::to_string(maxColumns) + ": write it to an image file instead (-o code.png)";
        return TESSERA_ERROR_CANNOT_WRITE;
    }
    return TESSERA_OK;
}

}  // namespace

Status RenderWrite(const Symbol& symbol, const OutputSettings& output,
                   const Destination& destination, std::string* message) {
    std::string bytes;
    Status status = RenderChecked(symbol, output, destination.maxColumns, &bytes, message);
    if (status != TESSERA_OK) return status;
    platform::WriteFailure failure = platform::WriteFailure::kOther;
    if (destination.standardOutput) {
        status = WriteToStandardOutput(bytes, &failure);
        if (status != TESSERA_OK) {
            *message =
                std::string("standard output cannot be written: ") + WriteFailureText(failure);
        }
        return status;
    }
    status = SaveBytes(destination.path.c_str(), bytes, destination.options, &failure);
    if (status != TESSERA_OK) *message = CannotCreateMessage(destination.path, failure);
    return status;
}

GroupWriter::GroupWriter(std::size_t capacity, const platform::WriteOptions& options,
                         bool eachGroup, Done done)
    : eachGroup_(eachGroup), done_(std::move(done)) {
    capacity = std::min(std::max<std::size_t>(capacity, 1), platform::FileGroup::kMaxFiles);
    slots_.reset(new (std::nothrow) platform::StagedFile[capacity]);
    if (slots_) {
        group_.reset(new (std::nothrow) platform::FileGroup(slots_.get(), capacity, options));
    }
    if (!group_) return;
    staged_.reserve(capacity);
    results_.resize(capacity);
}

GroupWriter::~GroupWriter() {
    Abandon();
}

Status GroupWriter::Add(const Symbol& symbol, const OutputSettings& output, const std::string& path,
                        std::size_t id, std::string* message) {
    if (!group_) {
        *message = "the output file cannot be created: out of memory";
        return TESSERA_ERROR_NO_MEMORY;
    }
    std::string bytes;
    const Status status = RenderChecked(symbol, output, 0, &bytes, message);
    if (status != TESSERA_OK) return status;
    // Made before the file is staged: once it is, nothing may fail.
    std::pair<std::size_t, std::string> entry(id, path);
    platform::WriteFailure failure = platform::WriteFailure::kOther;
    if (!group_->Full()) failure = group_->Stage(path.c_str(), bytes.data(), bytes.size());
    // Out of open files: the files staged so far are committed to make room.
    if (failure == platform::WriteFailure::kTooManyFiles && eachGroup_ && Size() > 0) {
        Commit();
        failure = group_->Stage(path.c_str(), bytes.data(), bytes.size());
    }
    if (failure != platform::WriteFailure::kNone) {
        *message = CannotCreateMessage(path, failure);
        return TESSERA_ERROR_CANNOT_WRITE;
    }
    staged_.push_back(std::move(entry));  // within the room reserved
    if (eachGroup_ && group_->Full()) Commit();
    return TESSERA_OK;
}

void GroupWriter::Commit() {
    if (!group_) return;
    group_->Commit(results_.data());
    for (std::size_t i = 0; i < staged_.size(); ++i) {
        const platform::WriteFailure failure = results_[i];
        std::string message;
        try {
            if (failure != platform::WriteFailure::kNone) {
                message = CannotCreateMessage(staged_[i].second, failure);
            }
        } catch (...) {  // each file is told of all the same, without its line
        }
        done_(staged_[i].first,
              failure == platform::WriteFailure::kNone ? TESSERA_OK : TESSERA_ERROR_CANNOT_WRITE,
              message);
    }
    staged_.clear();
}

void GroupWriter::Abandon() {
    if (group_) group_->Abandon();
    staged_.clear();
}

std::string CannotCreateMessage(const std::string& path, platform::WriteFailure failure) {
    return "the output file cannot be created: " + PrintableName(path) + ": " +
           WriteFailureText(failure);
}

std::string PrintableName(const std::string& name) {
    static const char kHex[] = "0123456789abcdef";
    constexpr unsigned char kC1Lead = 0xC2, kC1Last = 0x9F;  // U+0080..U+009F in UTF-8
    const auto* bytes = reinterpret_cast<const unsigned char*>(name.data());
    std::string printable = "'";
    const auto escape = [&](std::size_t at, std::size_t count) {
        for (std::size_t i = at; i < at + count; ++i) {
            printable += "\\x";
            printable += kHex[bytes[i] >> 4];
            printable += kHex[bytes[i] & 15];
        }
    };
    for (std::size_t at = 0; at < name.size();) {
        const unsigned char lead = bytes[at];
        // The length of the UTF-8 sequence `lead` would begin; FindNonUtf8 says whether it does.
        std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        if (length > name.size() - at || FindNonUtf8(bytes + at, length, false) != length) {
            length = 1;  // not UTF-8: this byte alone, escaped
            escape(at, 1);
        } else if (lead < 0x20 || lead == 0x7F || (lead == kC1Lead && bytes[at + 1] <= kC1Last)) {
            escape(at, length);
        } else {
            printable.append(name, at, length);
        }
        at += length;
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
        case platform::WriteFailure::kReadOnly:
            return "the file system is read-only";
        case platform::WriteFailure::kMissingFolder:
            return "the folder does not exist";
        case platform::WriteFailure::kFolderBlocked:
            return "a file stands where a folder would be";
        case platform::WriteFailure::kNoNewFiles:
            return "its folder takes no new files";
        case platform::WriteFailure::kNotAFile:
            return "it is not a file that can be replaced";
        case platform::WriteFailure::kTooLarge:
            return "the file would exceed the file-size limit";
        case platform::WriteFailure::kBrokenPipe:
            return "the reading end of the pipe is closed";
        case platform::WriteFailure::kNoMemory:
            return "out of memory";
        case platform::WriteFailure::kTooManyFiles:
            return "too many open files";
        case platform::WriteFailure::kNameTooLong:
            return "the name is too long";
        case platform::WriteFailure::kLinkLoop:
            return "too many symbolic links, or a loop of them";
        case platform::WriteFailure::kInterrupted:
            return "interrupted";
        case platform::WriteFailure::kOther:
            break;
    }
    return "it cannot be written";
}

int ErrorNumberOf(platform::WriteFailure failure) {
    switch (failure) {
        case platform::WriteFailure::kNone:
            return 0;
        case platform::WriteFailure::kNoSpace:
            return ENOSPC;
        case platform::WriteFailure::kPermission:
            return EACCES;
        case platform::WriteFailure::kMissingFolder:
            return ENOENT;
        case platform::WriteFailure::kNotAFile:
            return EISDIR;
        case platform::WriteFailure::kTooLarge:
            return EFBIG;
        case platform::WriteFailure::kBrokenPipe:
            return EPIPE;
        case platform::WriteFailure::kNoMemory:
            return ENOMEM;
        case platform::WriteFailure::kReadOnly:
            return EROFS;
        case platform::WriteFailure::kFolderBlocked:
            return ENOTDIR;
        case platform::WriteFailure::kNoNewFiles:
            return ENOENT;
        case platform::WriteFailure::kTooManyFiles:
            return EMFILE;
        case platform::WriteFailure::kNameTooLong:
            return ENAMETOOLONG;
        case platform::WriteFailure::kLinkLoop:
            return ELOOP;
        case platform::WriteFailure::kInterrupted:
            return EINTR;
        case platform::WriteFailure::kOther:
            break;
    }
    return EIO;
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
