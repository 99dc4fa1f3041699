// CQrEncoder::Encode with fuzzed bytes and arguments. Input: a 4-byte header, then the data.
//   byte 0: level (mod 4)           byte 1: requested version (mod 41, 0 = automatic)
//   byte 2: bit 0 allow a larger version, bit 1 pass the data as a zero-terminated string,
//           bit 2 encode again with an encoder made in storage full of garbage, bit 3 choose and
//           apply the mask again with the plain rules, bit 4 make a Micro QR symbol instead
//   byte 3: mask + 1 (mod 9, 0 = lowest penalty)
// With bit 4, CMicroEncoder::Encode takes level byte 0 mod 5 less 1 (kMicroNoLevel and L, M, Q,
// H), version byte 1 mod 5 and mask byte 3 mod 5 less 1, and the data as it is; a symbol is
// checked for its finder with the separator, the timing cells, the format information and the
// search's choice, a failure against the stream's bits and the capacity, and an encoder made in
// garbage must make the same symbol.
// Every successful result is checked for structure: the version against the request, the size,
// 0/1 cells, the finder patterns with their separators, the timing patterns, the dark module, both
// copies of the format information and, from version 7, of the version information. A second
// encoding by an encoder constructed in storage full of garbage must give the same symbol: every
// field that construction leaves alone is written before it is read. Choosing the mask again with
// the plain operations (ApplyMask, PlaceFormatInformation, ScoreMask, FlattenModules) must give
// the mask and the symbol that the mask trial gave.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "encoder/masking.h"
#include "encoder/micro_encoder.h"
#include "encoder/qr_encoder.h"

namespace {

using qr::CQrEncoder;

constexpr std::size_t kHeaderBytes = 4;
constexpr int kFinderSide = 7;
constexpr int kTimingLine = 6;
constexpr int kFormatBits = 15;
constexpr int kVersionBits = 18;
constexpr int kFirstVersionWithInformation = 7;
// No stream of this many bytes or fewer can outgrow version 40-H, however it is segmented: even
// with a segment header of at most 28 bits per byte it stays under 10208 data bits.
constexpr int kAlwaysFitsBytes = 300;
constexpr unsigned char kGarbage = 0xA5;

[[noreturn]] void Fail(const char* what, int a = 0, int b = 0) {
    std::fprintf(stderr, "encoder fuzzer: %s (%d, %d)\n", what, a, b);
    std::abort();
}

void Expect(bool condition, const char* what, int a = 0, int b = 0) {
    if (!condition) Fail(what, a, b);
}

// The 7x7 finder pattern with its light separator, whose pattern starts at (x0, y0).
void CheckFinder(const CQrEncoder& e, int x0, int y0) {
    for (int dx = -1; dx <= kFinderSide; ++dx) {
        for (int dy = -1; dy <= kFinderSide; ++dy) {
            const int x = x0 + dx, y = y0 + dy;
            if (x < 0 || y < 0 || x >= e.symbolSize || y >= e.symbolSize) continue;
            const int ring = std::max(std::abs(2 * dx - 6), std::abs(2 * dy - 6)) / 2;  // 0 centre
            const bool dark =
                ring != 2 && ring != 4;  // rings 0, 1 and 3 are dark, the separator light
            Expect(e.modules[x][y] == (dark ? 1 : 0), "finder pattern cell", x, y);
        }
    }
}

// The 15 format bits of one copy, bit 14 first; `copy` 0 is the one around the top-left finder.
int ReadFormat(const CQrEncoder& e, int copy) {
    const int n = e.symbolSize;
    int word = 0;
    for (int i = 0; i < kFormatBits; ++i) {
        int x, y;
        if (copy == 0) {
            if (i < 6) {
                x = 8, y = i;
            } else if (i < 8) {
                x = 8, y = i + 1;
            } else if (i == 8) {
                x = 7, y = 8;
            } else {
                x = 14 - i, y = 8;
            }
        } else if (i < 8) {
            x = n - 1 - i, y = 8;
        } else {
            x = 8, y = n - kFormatBits + i;
        }
        word |= e.modules[x][y] << i;
    }
    return word;
}

// The 18 version bits of one copy: 0 below the top-right finder, 1 right of the bottom-left one.
int ReadVersion(const CQrEncoder& e, int copy) {
    const int n = e.symbolSize;
    int word = 0;
    for (int i = 0; i < kVersionBits; ++i) {
        const int along = i / 3, across = n - 11 + i % 3;
        word |= (copy == 0 ? e.modules[across][along] : e.modules[along][across]) << i;
    }
    return word;
}

void CheckSymbol(const CQrEncoder& e, int level, int requestedVersion, int allowLarger, int mask) {
    Expect(e.version >= qr::kMinVersion && e.version <= qr::kMaxVersion, "version", e.version);
    if (requestedVersion != 0) {
        Expect(e.version >= requestedVersion, "version below the request", e.version);
        if (!allowLarger) Expect(e.version == requestedVersion, "larger version", e.version);
    }
    Expect(e.level == level, "level", e.level, level);
    Expect(e.maskNumber >= 0 && e.maskNumber < qr::kMaskCount, "mask", e.maskNumber);
    if (mask >= 0) Expect(e.maskNumber == mask, "requested mask", e.maskNumber, mask);
    const int n = e.symbolSize;
    Expect(n == 4 * e.version + 17, "symbol size", n, e.version);
    for (int x = 0; x < n; ++x) {
        for (int y = 0; y < n; ++y) Expect(e.modules[x][y] <= 1, "cell not 0 or 1", x, y);
    }
    CheckFinder(e, 0, 0);
    CheckFinder(e, n - kFinderSide, 0);
    CheckFinder(e, 0, n - kFinderSide);
    for (int i = kFinderSide + 1; i < n - kFinderSide - 1; ++i) {
        Expect(e.modules[i][kTimingLine] == (i % 2 == 0), "timing row", i);
        Expect(e.modules[kTimingLine][i] == (i % 2 == 0), "timing column", i);
    }
    Expect(e.modules[8][n - 8] == 1, "dark module");
    const int format = qr::FormatInfoWord(e.level, e.maskNumber);
    Expect(ReadFormat(e, 0) == format, "format information, first copy", ReadFormat(e, 0), format);
    Expect(ReadFormat(e, 1) == format, "format information, second copy", ReadFormat(e, 1), format);
    if (e.version >= kFirstVersionWithInformation) {
        const int word = qr::VersionInfoWord(e.version);
        Expect(ReadVersion(e, 0) == word, "version information, top right", ReadVersion(e, 0),
               word);
        Expect(ReadVersion(e, 1) == word, "version information, bottom left", ReadVersion(e, 1),
               word);
    }
}

// The mask choice of `e` made again on a copy with the plain rules: every mask tried in order,
// the first of the lowest scores kept, the symbol finished with it.
void CheckMaskChoice(const CQrEncoder& e, int mask) {
    static CQrEncoder* const plain = new CQrEncoder;
    *plain = e;
    std::memset(plain->modules, 0, sizeof plain->modules);
    plain->PlaceFunctionPatterns();
    plain->PlaceCodewords();
    int chosen = mask;
    if (mask == -1) {
        int best = -1;
        for (int m = 0; m < qr::kMaskCount; ++m) {
            plain->ApplyMask(m);
            plain->PlaceFormatInformation(m);
            const int score = plain->ScoreMask();
            if (best == -1 || score < best) best = score, chosen = m;
        }
    }
    Expect(e.maskNumber == chosen, "mask differs from the plain choice", e.maskNumber, chosen);
    plain->ApplyMask(chosen);
    plain->PlaceFormatInformation(chosen);
    plain->FlattenModules();
    for (int x = 0; x < e.symbolSize; ++x) {
        Expect(std::memcmp(plain->modules[x], e.modules[x], e.symbolSize) == 0,
               "modules differ from the plain rules", x);
    }
}

// The Micro QR symbol of `e` against its request, and again from an encoder made in garbage.
void CheckMicro(const std::uint8_t* header, const unsigned char* data, int length) {
    static qr::CMicroEncoder* const micro = new qr::CMicroEncoder;  // dirty with earlier runs
    const int level = header[0] % 5 - 1;
    const int requestedVersion = header[1] % (qr::kMicroVersionCount + 1);
    const int allowLarger = header[2] & 1;
    const int mask = header[3] % (qr::kMicroMaskCount + 1) - 1;
    const int result = micro->Encode(level, requestedVersion, allowLarger, mask, data, length);
    Expect(result == 0 || result == 1, "micro result", result);
    if (result == 0) {
        // Only data that the largest version allowed does not hold, or a level none offers.
        const bool searchOpen = requestedVersion == 0 || allowLarger;
        const int bits = micro->StreamBits(data, length, qr::kMicroVersionCount);
        const int capacity = qr::MicroDataBits(qr::kMicroVersionCount,
                                               level == qr::kMicroNoLevel ? qr::LEVEL_L : level);
        Expect(length == 0 || !searchOpen || level == qr::LEVEL_H || bits == -1 || bits > capacity,
               "micro data that fits M4 was refused", bits, capacity);
        return;
    }
    const qr::CMicroEncoder& e = *micro;
    Expect(e.version >= 1 && e.version <= qr::kMicroVersionCount, "micro version", e.version);
    if (requestedVersion != 0) {
        Expect(e.version >= requestedVersion, "micro version below the request", e.version);
        if (!allowLarger) Expect(e.version == requestedVersion, "larger micro version", e.version);
    }
    const int expectedLevel = level == qr::kMicroNoLevel && e.version > 1 ? qr::LEVEL_L : level;
    Expect(e.level == expectedLevel, "micro level", e.level, level);
    Expect(e.maskNumber >= 0 && e.maskNumber < qr::kMicroMaskCount, "micro mask", e.maskNumber);
    if (mask >= 0) Expect(e.maskNumber == mask, "requested micro mask", e.maskNumber, mask);
    const int n = e.symbolSize;
    Expect(n == 2 * e.version + 9, "micro symbol size", n, e.version);
    Expect(e.streamBitCount <= qr::MicroDataBits(e.version, e.level), "micro stream too long");
    for (int v = requestedVersion == 0 ? 1 : requestedVersion; v < e.version; ++v) {
        const int l = level == qr::kMicroNoLevel && v > 1 ? qr::LEVEL_L : level;
        const int bits = micro->StreamBits(data, length, v);
        Expect(qr::MicroDataBits(v, l) == 0 || bits == -1 || bits > qr::MicroDataBits(v, l),
               "a smaller micro version holds the data", v);
    }
    micro->StreamBits(data, length, e.version);  // scratch only: the symbol stays
    for (int x = 0; x < n; ++x) {
        for (int y = 0; y < n; ++y) Expect(e.modules[x][y] <= 1, "micro cell not 0 or 1", x, y);
    }
    for (int dx = 0; dx <= kFinderSide; ++dx) {
        for (int dy = 0; dy <= kFinderSide; ++dy) {
            const int ring = std::max(std::abs(2 * dx - 6), std::abs(2 * dy - 6)) / 2;
            const bool dark = ring != 2 && ring != 4;
            Expect(e.modules[dx][dy] == (dark ? 1 : 0), "micro finder cell", dx, dy);
        }
    }
    for (int t = kFinderSide + 1; t < n; ++t) {
        Expect(e.modules[t][0] == (t % 2 == 0), "micro timing row", t);
        Expect(e.modules[0][t] == (t % 2 == 0), "micro timing column", t);
    }
    int word = 0;
    for (int bit = 0; bit < kFormatBits; ++bit) {
        const int x = bit < 8 ? 8 : 15 - bit, y = bit < 8 ? bit + 1 : 8;
        word |= e.modules[x][y] << bit;
    }
    const int symbolNumber = qr::MICRO_VERSION_TABLE[e.version].symbolNumbers[e.level + 1];
    Expect(word == qr::MicroFormatInfoWord(symbolNumber, e.maskNumber), "micro format information",
           word, symbolNumber);

    static auto* const storage = static_cast<unsigned char*>(
        ::operator new (sizeof(qr::CMicroEncoder), std::align_val_t{alignof(qr::CMicroEncoder)}));
    std::memset(storage, kGarbage, sizeof(qr::CMicroEncoder));
    qr::CMicroEncoder* const garbage = new (storage) qr::CMicroEncoder;
    Expect(garbage->Encode(level, requestedVersion, allowLarger, mask, data, length) == 1,
           "a micro encoder made in garbage failed");
    Expect(garbage->version == e.version && garbage->maskNumber == e.maskNumber,
           "micro symbol differs from an encoder made in garbage");
    for (int x = 0; x < n; ++x) {
        Expect(std::memcmp(garbage->modules[x], e.modules[x], n) == 0,
               "micro modules differ from an encoder made in garbage", x);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t size) {
    static CQrEncoder* const reused = new CQrEncoder;  // dirty with every earlier run
    if (size < kHeaderBytes) return 0;
    if (input[2] & 16) {
        CheckMicro(input, input + kHeaderBytes, static_cast<int>(size - kHeaderBytes));
        return 0;
    }
    const int level = input[0] % qr::kLevelCount;
    const int requestedVersion = input[1] % (qr::kMaxVersion + 1);
    const int allowLarger = input[2] & 1;
    const bool asString = (input[2] & 2) != 0;
    const bool again = (input[2] & 4) != 0;
    const bool plainRules = (input[2] & 8) != 0;
    const int mask = input[3] % (qr::kMaskCount + 1) - 1;

    // The data in a block of its exact size, or as a zero-terminated string of length 0 (which
    // no data at all also is).
    const std::size_t dataSize = size - kHeaderBytes;
    const bool terminated = asString || dataSize == 0;
    std::unique_ptr<unsigned char[]> data(new unsigned char[dataSize + (terminated ? 1 : 0)]);
    std::memcpy(data.get(), input + kHeaderBytes, dataSize);
    int length = static_cast<int>(dataSize);
    int effective = length;
    if (terminated) {
        data[dataSize] = 0;
        length = 0;
        effective = static_cast<int>(std::strlen(reinterpret_cast<const char*>(data.get())));
    }

    const int result =
        reused->Encode(level, requestedVersion, allowLarger, mask, data.get(), length);
    Expect(result == 0 || result == 1, "result", result);
    if (result == 0) {
        const bool searchOpen = requestedVersion == 0 || allowLarger;
        Expect(effective == 0 || !searchOpen || effective > kAlwaysFitsBytes,
               "short data did not fit", effective);
        return 0;
    }
    Expect(effective > 0 && effective <= qr::kMaxInputBytes, "encoded data of this length",
           effective);
    CheckSymbol(*reused, level, requestedVersion, allowLarger, mask);
    if (plainRules) CheckMaskChoice(*reused, mask);
    if (!again) return 0;

    // Default-initialised in place: fields with an initialiser get it, the others keep the fill.
    static auto* const storage = static_cast<unsigned char*>(
        ::operator new (sizeof(CQrEncoder), std::align_val_t{alignof(CQrEncoder)}));
    std::memset(storage, kGarbage, sizeof(CQrEncoder));
    CQrEncoder* const garbage = new (storage) CQrEncoder;
    const auto filled = std::count(storage, storage + sizeof(CQrEncoder), kGarbage);
    Expect(filled > static_cast<long>(sizeof(CQrEncoder) / 2), "the garbage fill did not stay");
    Expect(garbage->Encode(level, requestedVersion, allowLarger, mask, data.get(), length) == 1,
           "an encoder made in garbage failed");
    Expect(garbage->symbolSize == reused->symbolSize,
           "size differs from an encoder made in garbage");
    for (int x = 0; x < reused->symbolSize; ++x) {
        Expect(std::memcmp(garbage->modules[x], reused->modules[x], reused->symbolSize) == 0,
               "modules differ from an encoder made in garbage", x);
    }
    return 0;
}
