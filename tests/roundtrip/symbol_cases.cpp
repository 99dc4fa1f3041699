#include "tests/roundtrip/symbol_cases.h"

#include <algorithm>
#include <cstdio>
#include <random>

#include "encoder/tables.h"

namespace qr::test {
namespace {

constexpr int kLastMask = kMaskCount - 1;
constexpr int kBitsPerByte = 8;
// Fewest bits any content unit takes in a stream: a digit costs 10/3 bits.
constexpr int kMinBitsPerUnit = 3;
// The longest option value quoted whole in a case description.
constexpr std::size_t kQuotedOptionLength = 60;
// Runs of one kind inside mixed content are 1 to this many units long.
constexpr int kMaxMixedRun = 20;

constexpr char kAlphanumericSet[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ $%*+-./:";
constexpr int kAlphanumericCount = sizeof kAlphanumericSet - 1;
static_assert(kAlphanumericCount == 45);
// Byte-mode text of the kind people type: lower case, punctuation.
constexpr char kLowerText[] = "abcdefghijklmnopqrstuvwxyz,;!?'\"()[]{}<>=_@#&~^`|\\";
constexpr int kLowerTextCount = sizeof kLowerText - 1;

// Rows and cells of JIS X 0208 that hold characters (the 6879 of the 1990 edition); rows 9 to
// 15 and 85 to 94 hold none.
struct JisRange {
    int row;
    int firstCell;
    int lastCell;
};
constexpr int kJisCells = 94;
constexpr JisRange kJisAssigned[] = {
    {1, 1, 94},  {2, 1, 14},  {2, 26, 33}, {2, 42, 48}, {2, 60, 74}, {2, 82, 89}, {2, 94, 94},
    {3, 16, 25}, {3, 33, 58}, {3, 65, 90}, {4, 1, 83},  {5, 1, 86},  {6, 1, 24},  {6, 33, 56},
    {7, 1, 33},  {7, 49, 81}, {8, 1, 32},  {47, 1, 51}, {84, 1, 6},
};
// Rows whose 94 cells are all assigned: 16 to 46 and 48 to 83 (the kanji of both levels).
constexpr int kFullRowRanges[][2] = {{16, 46}, {48, 83}};

using Random = std::mt19937_64;

// The generators of one case: one for its plan, one for its data, so that a plan can be drawn
// without the data and still match.
Random CaseRandom(std::uint64_t seed, ContentKind kind, int index, int stream) {
    std::seed_seq sequence{static_cast<std::uint32_t>(seed), static_cast<std::uint32_t>(seed >> 32),
                           static_cast<std::uint32_t>(kind), static_cast<std::uint32_t>(index),
                           static_cast<std::uint32_t>(stream)};
    return Random(sequence);
}
constexpr int kPlanStream = 0;
constexpr int kDataStream = 1;

int Uniform(Random& random, int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random);
}

std::string OptionLetter(Random& random, char upper) {
    const bool lower = Uniform(random, 0, 1) == 1;
    return std::string("/") + static_cast<char>(lower ? upper - 'A' + 'a' : upper);
}

const char* LevelName(int level) {
    static const char* const names[kLevelCount] = {"L", "M", "Q", "H"};
    return names[level];
}

// One piece of content: a single byte, or a Kanji pair.
using Unit = std::vector<unsigned char>;

Unit RandomKanji(Random& random) {
    const auto& pairs = JisX0208ShiftJisPairs();
    const auto& pair =
        pairs[static_cast<std::size_t>(Uniform(random, 0, static_cast<int>(pairs.size()) - 1))];
    return {pair[0], pair[1]};
}

// `count` units of `kind`.
std::vector<Unit> RandomUnits(ContentKind kind, int count, Random& random) {
    std::vector<Unit> units;
    units.reserve(static_cast<std::size_t>(count));
    auto one = [&random](ContentKind of) -> Unit {
        switch (of) {
            case ContentKind::kNumeric:
                return {static_cast<unsigned char>('0' + Uniform(random, 0, 9))};
            case ContentKind::kAlphanumeric:
                return {static_cast<unsigned char>(
                    kAlphanumericSet[Uniform(random, 0, kAlphanumericCount - 1)])};
            case ContentKind::kByte:
                return {static_cast<unsigned char>(Uniform(random, 0, 255))};
            case ContentKind::kKanji:
                return RandomKanji(random);
            case ContentKind::kMixed:
                break;
        }
        return {static_cast<unsigned char>(kLowerText[Uniform(random, 0, kLowerTextCount - 1)])};
    };
    while (static_cast<int>(units.size()) < count) {
        if (kind != ContentKind::kMixed) {
            units.push_back(one(kind));
            continue;
        }
        // Mixed: runs of digits, alphanumerics, typed text, any bytes and Kanji, so that the
        // symbol holds segments of several modes.
        const int pick = Uniform(random, 0, kContentKindCount - 1);
        const int run = Uniform(random, 1, kMaxMixedRun);
        for (int i = 0; i < run && static_cast<int>(units.size()) < count; ++i) {
            units.push_back(one(static_cast<ContentKind>(pick)));
        }
    }
    return units;
}

// The bytes of `units`, and the byte count of each prefix: prefixBytes[n] for the first n units.
void Flatten(const std::vector<Unit>& units, Bytes* bytes, std::vector<int>* prefixBytes) {
    bytes->clear();
    prefixBytes->assign(1, 0);
    for (const Unit& unit : units) {
        bytes->insert(bytes->end(), unit.begin(), unit.end());
        prefixBytes->push_back(static_cast<int>(bytes->size()));
    }
}

// Whether the first `length` bytes of `bytes` fit a symbol of `version` at `level` when the
// version `requested` is asked for (0: the smallest), in the encoder's own version selection.
bool FitsVersion(CQrEncoder* sizer, int level, int requested, int version, const Bytes& bytes,
                 int length) {
    if (length == 0) return true;
    sizer->level = level;
    const int found = sizer->SelectVersion(requested, bytes.data(), length);
    return found != 0 && found <= version;
}

// The most units whose bytes fit `version`; the prefixes are assumed to fit up to a point and no
// longer, which the caller checks for the length it picks.
int MostUnitsFitting(CQrEncoder* sizer, int level, int requested, int version, const Bytes& bytes,
                     const std::vector<int>& prefixBytes) {
    int fits = 0;
    int fails = static_cast<int>(prefixBytes.size());  // one past the pool: treated as too long
    while (fails - fits > 1) {
        const int middle = fits + (fails - fits) / 2;
        if (FitsVersion(sizer, level, requested, version, bytes, prefixBytes[middle])) {
            fits = middle;
        } else {
            fails = middle;
        }
    }
    return fits;
}

}  // namespace

const char* ContentKindName(ContentKind kind) {
    switch (kind) {
        case ContentKind::kNumeric:
            return "Numeric";
        case ContentKind::kAlphanumeric:
            return "Alphanumeric";
        case ContentKind::kByte:
            return "Byte";
        case ContentKind::kKanji:
            return "Kanji";
        case ContentKind::kMixed:
            return "Mixed";
    }
    return "?";
}

void PrintTo(ContentKind kind, std::ostream* out) {
    *out << ContentKindName(kind);
}

const char* VersionRequestName(VersionRequest request) {
    switch (request) {
        case VersionRequest::kSmallest:
            return "smallest";
        case VersionRequest::kRequested:
            return "/V";
        case VersionRequest::kExact:
            return "/V /EN";
    }
    return "?";
}

std::array<std::string, kOptionSlots> SymbolCase::OptionsFor(const std::string& outputPath) const {
    std::array<std::string, kOptionSlots> filled = options;
    for (std::string& option : filled) {
        if (option == kOutputMarker) option = "/O" + outputPath;
    }
    return filled;
}

std::string SymbolCase::Describe(std::uint64_t seed) const {
    char head[256];
    std::snprintf(head, sizeof head,
                  "%s case %d (seed 0x%llx): version %d (%s), level %s, mask %s, scale %d, %zu "
                  "bytes in segments ",
                  ContentKindName(kind), index, static_cast<unsigned long long>(seed), version,
                  VersionRequestName(request), LevelName(level),
                  mask == kAutomaticMask ? "auto" : std::to_string(mask).c_str(), scale,
                  data.size());
    std::string text = head;
    text += segments.size() <= kQuotedOptionLength
                ? segments
                : segments.substr(0, kQuotedOptionLength) + "... (" + std::to_string(segmentCount) +
                      " segments)";
    text += "; options:";
    for (const std::string& option : options) {
        text += " '";
        if (option.size() <= kQuotedOptionLength) {
            text += option + "'";
        } else {
            text += option.substr(0, kQuotedOptionLength) + "...' (" +
                    std::to_string(option.size()) + " chars)";
        }
    }
    return text;
}

SymbolCase PlanCase(std::uint64_t seed, ContentKind kind, int index) {
    Random random = CaseRandom(seed, kind, index, kPlanStream);
    SymbolCase c;
    c.kind = kind;
    c.index = index;
    c.version = kMinVersion + index % kMaxVersion;
    c.level = (index / kMaxVersion) % kLevelCount;
    const int request = Uniform(random, 0, 5);  // 3 in 6 smallest, 2 in 6 /V, 1 in 6 /V /EN
    c.request = request < 3   ? VersionRequest::kSmallest
                : request < 5 ? VersionRequest::kRequested
                              : VersionRequest::kExact;
    c.mask = Uniform(random, kAutomaticMask, kLastMask);
    c.scale = Uniform(random, 1, kMaxTestScale);

    // Two slots hold the data and the output path; the version request and the other settings
    // share the other two, the level first.
    std::vector<std::string> settings;
    if (c.request != VersionRequest::kSmallest) {
        settings.push_back(OptionLetter(random, 'V') + std::to_string(c.version));
    }
    if (c.request == VersionRequest::kExact) settings.push_back(OptionLetter(random, 'E') + "N");
    const int settingSlots = kOptionSlots - 2;
    auto take = [&](bool differs, char letter, int value) {
        if (!differs) return true;
        if (static_cast<int>(settings.size()) == settingSlots) return false;
        settings.push_back(OptionLetter(random, letter) + std::to_string(value));
        return true;
    };
    if (!take(c.level != kDefaultLevel, 'L', c.level)) c.level = kDefaultLevel;
    if (Uniform(random, 0, 1) == 0) {
        if (!take(c.mask != kAutomaticMask, 'M', c.mask)) c.mask = kAutomaticMask;
        if (!take(c.scale != kDefaultScale, 'S', c.scale)) c.scale = kDefaultScale;
    } else {
        if (!take(c.scale != kDefaultScale, 'S', c.scale)) c.scale = kDefaultScale;
        if (!take(c.mask != kAutomaticMask, 'M', c.mask)) c.mask = kAutomaticMask;
    }
    settings.push_back("/T");  // the value is filled in with the data
    settings.push_back(kOutputMarker);
    settings.resize(kOptionSlots);
    std::shuffle(settings.begin(), settings.end(), random);
    std::copy(settings.begin(), settings.end(), c.options.begin());
    return c;
}

bool MakeCase(std::uint64_t seed, ContentKind kind, int index, CQrEncoder* sizer,
              SymbolCase* symbolCase) {
    SymbolCase c = PlanCase(seed, kind, index);
    Random random = CaseRandom(seed, kind, index, kDataStream);
    const int requested = c.request == VersionRequest::kSmallest ? 0 : c.version;

    const int capacityBits = VERSION_TABLE[c.version].dataCodewordCount[c.level] * kBitsPerByte;
    const std::vector<Unit> units = RandomUnits(kind, capacityBits / kMinBitsPerUnit + 2, random);
    Bytes pool;
    std::vector<int> prefixBytes;
    Flatten(units, &pool, &prefixBytes);

    const int most = MostUnitsFitting(sizer, c.level, requested, c.version, pool, prefixBytes);
    // Without /V the data must be too long for the version below; with /V half the cases are, and
    // half may be as short as one unit.
    int fewest = 1;
    if (c.request == VersionRequest::kSmallest || Uniform(random, 0, 1) == 0) {
        fewest = c.version == kMinVersion ? 1
                                          : 1 + MostUnitsFitting(sizer, c.level, requested,
                                                                 c.version - 1, pool, prefixBytes);
    }
    if (most < fewest) return false;
    const int count = Uniform(random, fewest, most);
    c.data.assign(pool.begin(), pool.begin() + prefixBytes[count]);

    const int length = static_cast<int>(c.data.size());
    if (!FitsVersion(sizer, c.level, requested, c.version, c.data, length)) return false;
    if (c.request == VersionRequest::kSmallest && c.version > kMinVersion &&
        FitsVersion(sizer, c.level, requested, c.version - 1, c.data, length)) {
        return false;
    }
    // The version search that Encode runs, leaving the segments of the symbol.
    sizer->level = c.level;
    sizer->SelectVersion(requested, c.data.data(), length);
    c.segmentCount = sizer->segmentCount;
    for (int i = 0; i < sizer->segmentCount; ++i) {
        if (i > 0) c.segments += ',';
        c.segments +=
            std::to_string(sizer->segmentModes[i]) + ":" + std::to_string(sizer->segmentLengths[i]);
    }
    for (std::string& option : c.options) {
        if (option == "/T") option += EscapeText(c.data, random());
    }
    *symbolCase = std::move(c);
    return true;
}

std::array<unsigned char, 2> ShiftJisOf(int row, int cell) {
    constexpr int kFirstHighRow = 63;  // rows from here on take the lead bytes from 0xE0
    const int lead = (row + 1) / 2 + (row < kFirstHighRow ? 0x80 : 0xC0);
    int trail = 0;
    if (row % 2 == 1) {
        trail = cell + 0x3F + (cell >= 64 ? 1 : 0);  // 0x40..0x7E, then 0x80..0x9E: 0x7F unused
    } else {
        trail = cell + 0x9E;  // 0x9F..0xFC
    }
    return {static_cast<unsigned char>(lead), static_cast<unsigned char>(trail)};
}

const std::vector<std::array<unsigned char, 2>>& JisX0208ShiftJisPairs() {
    static const std::vector<std::array<unsigned char, 2>> pairs = [] {
        std::vector<JisRange> ranges(std::begin(kJisAssigned), std::end(kJisAssigned));
        for (const auto& full : kFullRowRanges) {
            for (int row = full[0]; row <= full[1]; ++row) ranges.push_back({row, 1, kJisCells});
        }
        std::vector<std::array<unsigned char, 2>> all;
        for (const JisRange& range : ranges) {
            for (int cell = range.firstCell; cell <= range.lastCell; ++cell) {
                all.push_back(ShiftJisOf(range.row, cell));
            }
        }
        std::sort(all.begin(), all.end());
        return all;
    }();
    return pairs;
}

std::string EscapeText(const Bytes& data, std::uint64_t choice) {
    static const char kUpperHex[] = "0123456789ABCDEF";
    static const char kLowerHex[] = "0123456789abcdef";
    Random random(choice);
    std::string text;
    text.reserve(data.size() * 3);
    for (unsigned char byte : data) {
        const bool must = byte == '%' || byte == 0 || byte >= 0x80;
        if (!must && Uniform(random, 0, 7) != 0) {
            text += static_cast<char>(byte);
            continue;
        }
        const char* hex = Uniform(random, 0, 1) == 0 ? kUpperHex : kLowerHex;
        text += '%';
        text += hex[byte >> 4];
        text += hex[byte & 0x0F];
    }
    return text;
}

}  // namespace qr::test
