// Structured append: the plan of the parts, then the set.
#include "module/structured.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "encoder/qr_encoder.h"
#include "encoder/tables.h"
#include "module/limits.h"
#include "module/messages.h"
#include "module/symbol.h"

namespace qr {

namespace {

struct Part {
    std::size_t begin, end;
};

int DataBits(int version, int level) {
    return VERSION_TABLE[version].dataCodewordCount[level] * 8;
}

Status Failed(Status status, std::string* why, const std::string& sentence) {
    if (why != nullptr) *why = sentence;
    return status;
}

std::string AtLevel(int level) {
    return std::string(" at level ") + LevelLetter(level);
}

// `count` parts (2..16) of `length` bytes, cut at `points` nearest to equal lengths. Returns
// false when there are fewer characters than parts.
bool EqualParts(std::size_t length, const std::vector<std::size_t>& points, int count,
                std::vector<Part>* parts, std::string* why) {
    if (points.size() + 1 < static_cast<std::size_t>(count)) {
        *why = "the data cannot be split into " + std::to_string(count) + " symbols: it has only " +
               std::to_string(points.size() + 1) + " characters to share out";
        return false;
    }
    // Cut k ends nearest to k/count of the length, after cut k-1 and leaving a point for each cut
    // still to come.
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

// Symbols of `settings.version` at `level` filled in order, `qr` measuring the streams: each
// takes the longest run of whole characters that its stream holds. Returns false when more than
// 16 symbols would be needed, or a symbol holds no character.
bool FilledParts(CQrEncoder* qr, const unsigned char* data, std::size_t length,
                 const std::vector<std::size_t>& points, const EncodeSettings& settings, int level,
                 std::vector<Part>* parts, std::string* why) {
    const int most = kLimits.structuredCount.high;
    std::vector<std::size_t> ends = points;
    ends.push_back(length);
    std::size_t begin = 0;
    std::size_t first = 0;  // the first end after `begin`
    while (begin < length) {
        if (parts->size() == static_cast<std::size_t>(most)) {
            *why = "the data needs more than " + std::to_string(most) + " symbols of version " +
                   std::to_string(settings.version) + AtLevel(level);
            return false;
        }
        // The last end whose part fits: the stream grows with the part, so the ends are searched
        // by halves.
        std::size_t low = first, high = ends.size();
        while (low < high) {
            const std::size_t middle = (low + high) / 2;
            qr->utf8Eci = settings.utf8;
            qr->structuredAppend.count = most;  // the header's bits
            const std::size_t size = ends[middle] - begin;
            if (size <= static_cast<std::size_t>(kMaxStreamInputBytes) &&
                qr->EncodeSegments(data + begin, static_cast<int>(size),
                                   VersionGroupOf(settings.version)) &&
                qr->dataBitCount <= DataBits(settings.version, level)) {
                low = middle + 1;
            } else {
                high = middle;
            }
        }
        if (low == first) {
            *why = CannotEncode("version " + std::to_string(settings.version) + AtLevel(level) +
                                " holds no part of it");
            return false;
        }
        parts->push_back({begin, ends[low - 1]});
        begin = ends[low - 1];
        first = low;
    }
    return true;
}

}  // namespace

SymbolSet::SymbolSet() = default;
SymbolSet::~SymbolSet() = default;

Symbol* SymbolSet::Add() {
    std::unique_ptr<Symbol> symbol(new (std::nothrow) Symbol);
    if (!symbol) return nullptr;
    symbols_.push_back(std::move(symbol));
    return symbols_.back().get();
}

void SymbolSet::Clear() {
    symbols_.clear();
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

Status EncodeStructured(Encoder* encoder, const unsigned char* data, std::size_t length,
                        const EncodeSettings& asked, int count, SymbolSet* symbols,
                        std::string* why) {
    symbols->Clear();
    std::string reason;
    Status status = CheckEncodeSettings(asked, true, why);
    if (status == TESSERA_OK) status = CheckStructuredCount(count, asked.version, why);
    if (status != TESSERA_OK) return status;
    const std::string noMemory = CannotEncode("out of memory");
    if (!encoder->Ready()) return Failed(TESSERA_ERROR_NO_MEMORY, why, noMemory);
    encoder->qr_->gs1 = false;  // a record kept from an earlier call may have been GS1's
    if (length == 0) return Failed(TESSERA_ERROR_CANNOT_ENCODE, why, CannotEncode("it is empty"));
    // Beyond what the most symbols hold nothing fits, and nothing of it is read.
    const int most = kLimits.structuredCount.high;
    const std::size_t longest = InputBytesKept(most) - 1;
    if (length > longest) {
        return Failed(
            TESSERA_ERROR_CANNOT_ENCODE, why,
            CannotEncode("it is more than " + std::to_string(longest) + " bytes, the most that " +
                         std::to_string(most) + " symbols hold"));
    }
    EncodeSettings settings = asked;
    if (settings.utf8WhenText && IsUtf8Text(data, length, false)) settings.utf8 = true;
    const std::size_t bad = settings.utf8 ? FindNonUtf8(data, length, false) : length;
    if (bad != length) return Failed(TESSERA_ERROR_CANNOT_ENCODE, why, NotUtf8(bad));

    CQrEncoder* qr = encoder->qr_.get();
    int level = settings.level == kDefaultSetting ? kLimits.defaultLevel : settings.level;
    const std::vector<std::size_t> points = SplitPoints(data, length, settings.utf8);
    std::vector<Part> parts;
    if (!(count > 0 ? EqualParts(length, points, count, &parts, &reason)
                    : FilledParts(qr, data, length, points, settings, level, &parts, &reason))) {
        return Failed(TESSERA_ERROR_CANNOT_ENCODE, why, reason);
    }
    if (parts.size() == 1) {  // all of it fits one symbol of the version
        Symbol* symbol = symbols->Add();
        if (symbol == nullptr) return Failed(TESSERA_ERROR_NO_MEMORY, why, noMemory);
        status = encoder->Encode(data, length, settings, symbol, false, why);
        if (status != TESSERA_OK) symbols->Clear();
        return status;
    }
    unsigned parity = 0;
    for (std::size_t i = 0; i < length; ++i) parity ^= data[i];
    const int total = static_cast<int>(parts.size());

    // One version for all: the smallest that holds the largest part; then the highest level that
    // every part's stream fits at it, when boosted.
    int version = settings.version;
    for (int i = 0; i < total; ++i) {
        const Part& part = parts[static_cast<std::size_t>(i)];
        if (!encoder->EncodeQr(data + part.begin, part.end - part.begin, level, version,
                               settings.strictVersion, settings.mask, settings.utf8, i, total,
                               parity)) {
            return Failed(TESSERA_ERROR_CANNOT_ENCODE, why,
                          "the data cannot be encoded in " + std::to_string(total) +
                              " symbols: part " + std::to_string(i + 1) + " of " +
                              std::to_string(part.end - part.begin) + " bytes fits no version" +
                              (settings.strictVersion ? " up to " + std::to_string(version) : "") +
                              AtLevel(level));
        }
        version = std::max(version, qr->version);
    }
    if (settings.boost) {
        int boosted = kLimits.level.high;
        for (int i = 0; i < total; ++i) {
            const Part& part = parts[static_cast<std::size_t>(i)];
            encoder->EncodeQr(data + part.begin, part.end - part.begin, level, version, true,
                              settings.mask, settings.utf8, i, total, parity);
            boosted = std::min(boosted, encoder->BoostedLevel(level));
        }
        level = boosted;
    }
    for (int i = 0; i < total; ++i) {
        const Part& part = parts[static_cast<std::size_t>(i)];
        Symbol* symbol = symbols->Add();
        if (symbol == nullptr) return Failed(TESSERA_ERROR_NO_MEMORY, why, noMemory);
        if (!encoder->EncodeQr(data + part.begin, part.end - part.begin, level, version, true,
                               settings.mask, settings.utf8, i, total, parity)) {
            symbols->Clear();
            return Failed(TESSERA_ERROR_CANNOT_ENCODE, why,
                          CannotEncode("part " + std::to_string(i + 1) + " does not fit version " +
                                       std::to_string(version)));
        }
        encoder->TakeSymbol(symbol, i, total, parity);
    }
    return TESSERA_OK;
}

}  // namespace qr
