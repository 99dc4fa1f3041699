// Pins the exact bytes of the BMP files of a few thousand varied calls of the exported function:
// every version, level and mask (requested and automatic), numeric, alphanumeric, byte, Kanji and
// mixed data, scales 1 to 20. The calls are generated from a fixed seed, so the table holds only
// their descriptions and results. The digests were recorded with the straightforward encoder and
// writer; every faster form of them must give the same files.
//
// To record the table anew (only when a behaviour decision changes the files), run this test with
// TESSERA_WRITE_DIGESTS set to the path of the file to write.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "encoder/tables.h"
#include "module/tessera.h"
#include "tests/support/test_support.h"

namespace qr::test {
namespace {

constexpr std::uint64_t kSeed = 0x7e55e7a5eed5u;
// Two rounds of every version, level and requested mask (automatic and 0..7).
constexpr int kCombinations = kMaxVersion * kLevelCount * (kMaskCount + 1);
constexpr int kRounds = 2;
// Larger files are drawn at a smaller scale so that the whole table stays quick to check; a few
// calls of each large version still use the largest scale.
constexpr int kFileBudgetBytes = 320 * 1024;
constexpr int kMaxScale = 20;
constexpr int kDefaultLevel = 1;

// splitmix64: a small generator whose sequence is the same on every platform.
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t Next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15u);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
        return z ^ (z >> 31);
    }
    // Uniform in [low, high].
    int Between(int low, int high) {
        return low + static_cast<int>(Next() % static_cast<std::uint64_t>(high - low + 1));
    }

private:
    std::uint64_t state_;
};

enum Mix { DIGITS, ALNUM, BYTES, KANJI, MIXED, ALTERNATING, WORDS, kMixCount };
const char* const MIX_NAMES[kMixCount] = {"digits", "alnum",       "bytes", "kanji",
                                          "mixed",  "alternating", "words"};
const char ALNUM_SET[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ $%*+-./:";

void AppendKanji(Random& random, Bytes* out) {
    const bool high = random.Between(0, 3) == 0;
    const int lead = high ? random.Between(0xE0, 0xEA) : random.Between(0x81, 0x9F);
    out->push_back(static_cast<unsigned char>(lead));
    out->push_back(static_cast<unsigned char>(random.Between(0x40, 0xFC)));
}

void AppendOf(Random& random, int mix, Bytes* out) {
    switch (mix) {
        case DIGITS:
            out->push_back(static_cast<unsigned char>('0' + random.Between(0, 9)));
            break;
        case ALNUM:
            out->push_back(static_cast<unsigned char>(ALNUM_SET[random.Between(0, 44)]));
            break;
        case BYTES:
            out->push_back(static_cast<unsigned char>(random.Between(0, 255)));
            break;
        case KANJI:
            AppendKanji(random, out);
            break;
        default:
            out->push_back(static_cast<unsigned char>(random.Between('a', 'z')));
            break;
    }
}

// About `length` bytes of data of kind `mix`.
Bytes MakeData(Random& random, int mix, int length) {
    Bytes data;
    while (static_cast<int>(data.size()) < length) {
        switch (mix) {
            case MIXED: {
                const int kind = random.Between(0, 4);  // digits, alnum, bytes, Kanji, lower case
                const int run = random.Between(1, 12);
                for (int i = 0; i < run; ++i) AppendOf(random, kind, &data);
                break;
            }
            case ALTERNATING:
                data.push_back(static_cast<unsigned char>(
                    data.size() % 2 ? 'A' + random.Between(0, 25) : '0' + random.Between(0, 9)));
                break;
            case WORDS: {
                const int word = random.Between(1, 9);
                for (int i = 0; i < word; ++i) {
                    const int c = random.Between(0, 5) == 0 ? 'A' : 'a';
                    data.push_back(static_cast<unsigned char>(c + random.Between(0, 25)));
                }
                data.push_back(random.Between(0, 7) == 0 ? '.' : ' ');
                break;
            }
            default:
                AppendOf(random, mix, &data);
                break;
        }
    }
    data.resize(static_cast<std::size_t>(length));
    return data;
}

// Input bytes of kind `mix` that roughly fill `version` at `level` (a little more or less).
int LengthFor(Random& random, int mix, int version, int level) {
    const int bits = VERSION_TABLE[version].dataCodewordCount[level] * 8 - 20;
    int full;
    switch (mix) {
        case DIGITS:
            full = bits * 3 / 10;
            break;
        case ALNUM:
        case ALTERNATING:
            full = bits * 2 / 11;
            break;
        case KANJI:
            full = bits / 13 * 2;
            break;
        default:
            full = bits / 8;
            break;
    }
    const int length = full * random.Between(70, 104) / 100;
    return length < 1 ? 1 : length;
}

std::string Escaped(const Bytes& data) {
    std::string text = "/T";
    char hex[4];
    for (unsigned char b : data) {
        std::snprintf(hex, sizeof hex, "%%%02X", b);
        text += hex;
    }
    return text;
}

// About the size of the image of `version` at `scale`.
int ImageBytes(int version, int scale) {
    const int side = (4 * version + 17 + 2 * 4) * scale;
    return side / 8 * side;
}

struct Call {
    std::string options[2];  // besides the data and the output path
    int mix;
    Bytes data;
};

// Call `id` of the table. Only four options fit one call, so besides the data and the output path
// each call sets two of level, version, mask, scale and "no larger version", in turn; the version
// follows from the data length where it is not set.
Call MakeCall(int id, Random& random) {
    Call call;
    const int combination = id % kCombinations;
    const int version = kMinVersion + combination % kMaxVersion;
    const int level = combination / kMaxVersion % kLevelCount;
    const int mask = combination / (kMaxVersion * kLevelCount) - 1;
    int scale = random.Between(1, kMaxScale);
    if (random.Between(0, 15) != 0) {
        while (scale > 1 && ImageBytes(version, scale) > kFileBudgetBytes) --scale;
    }
    call.mix = static_cast<int>(random.Next() % kMixCount);

    const std::string L = "/L" + std::to_string(level);
    const std::string M = "/M" + std::to_string(mask);
    const std::string S = "/S" + std::to_string(scale);
    const int pair = static_cast<int>(random.Next() % 7);
    int effectiveLevel = kDefaultLevel;
    int requested = 0;
    switch (pair) {
        case 0:
            call.options[0] = L;
            call.options[1] = M;
            effectiveLevel = level;
            break;
        case 1:
            call.options[0] = L;
            call.options[1] = S;
            effectiveLevel = level;
            break;
        case 2:
            call.options[0] = M;
            call.options[1] = S;
            break;
        case 3:
            requested = random.Between(kMinVersion, version);
            call.options[1] = L;
            effectiveLevel = level;
            break;
        case 4:
            requested = random.Between(kMinVersion, version);
            call.options[1] = M;
            break;
        case 5:
            requested = random.Between(kMinVersion, version);
            call.options[1] = S;
            break;
        default:
            requested = random.Between(kMinVersion, version);
            call.options[1] = "/EN";
            break;
    }
    if (requested != 0) call.options[0] = "/V" + std::to_string(requested);
    call.data = MakeData(random, call.mix, LengthFor(random, call.mix, version, effectiveLevel));
    return call;
}

// The worst segmentation inputs and the largest files, at the end of the table.
std::vector<Call> ExtraCalls() {
    std::vector<Call> calls;
    Random random(kSeed + 1);
    for (int scale : {20, 19, 13}) {
        for (int mix : {DIGITS, BYTES, MIXED}) {
            Call call{{"/V40", "/S" + std::to_string(scale)}, mix, {}};
            call.data = MakeData(random, mix, LengthFor(random, mix, 40, kDefaultLevel));
            calls.push_back(call);
        }
    }
    calls.push_back({{"/L0", "/S1"}, DIGITS, MakeData(random, DIGITS, kMaxInputBytes)});
    calls.push_back({{"/L0", "/S2"}, DIGITS, MakeData(random, DIGITS, kMaxInputBytes + 1)});
    calls.push_back({{"/L0", "/S1"}, ALTERNATING, MakeData(random, ALTERNATING, 4296)});
    calls.push_back({{"/L0", "/S3"}, BYTES, MakeData(random, BYTES, 2953)});
    Bytes twoModes;
    for (int i = 0; i < kMaxInputBytes; ++i) twoModes.push_back(i % 2 ? 'x' : '7');
    calls.push_back({{"/L0", "/S1"}, MIXED, twoModes});
    return calls;
}

struct Outcome {
    int result;
    Bytes file;
};

Outcome CallTessera(const Call& call, const TempDir& dir) {
    const std::string out = "/O" + dir.File("out.bmp");
    std::remove(out.c_str() + 2);
    const std::string text = Escaped(call.data);
    Outcome outcome{
        tessera(text.c_str(), out.c_str(), call.options[0].c_str(), call.options[1].c_str()), {}};
    if (outcome.result == 0) ReadFile(out.substr(2), &outcome.file);
    return outcome;
}

std::string Describe(const Call& call) {
    std::string text = call.options[0];
    if (!call.options[1].empty()) text += " " + call.options[1];
    return text;
}

std::uint32_t Read32(const Bytes& file, int at) {
    return file[at] | file[at + 1] << 8 | file[at + 2] << 16 |
           static_cast<std::uint32_t>(file[at + 3]) << 24;
}

// Reads the version from the image side and the level and mask from the first copy of the format
// information, so that the table proves its own coverage.
struct Seen {
    int version;
    int level;
    int mask;
};
Seen Inspect(const Bytes& file, int scale) {
    const int side = static_cast<int>(Read32(file, 18));
    const int symbolSize = side / scale - 8;
    const int rowSize = (side + 31) / 32 * 4;
    auto dark = [&](int x, int y) {
        const int px = (x + 4) * scale;
        const int row = side - 1 - (y + 4) * scale;
        const unsigned char byte = file[62 + row * rowSize + px / 8];
        return ((byte >> (7 - px % 8)) & 1) == 0;
    };
    int word = 0;
    for (int i = 0; i < 15; ++i) {
        const int x = i <= 5 ? 8 : i <= 7 ? 8 : i == 8 ? 7 : 14 - i;
        const int y = i <= 5 ? i : i <= 7 ? i + 1 : 8;
        word |= dark(x, y) << i;
    }
    for (int level = 0; level < kLevelCount; ++level) {
        for (int mask = 0; mask < kMaskCount; ++mask) {
            if (FormatInfoWord(level, mask) == word) return {(symbolSize - 17) / 4, level, mask};
        }
    }
    return {(symbolSize - 17) / 4, -1, -1};
}

int ScaleOf(const Call& call) {
    for (const std::string& option : call.options) {
        if (option.rfind("/S", 0) == 0) return std::stoi(option.substr(2));
    }
    return 4;
}

std::string Row(int id, const Call& call, const Outcome& outcome) {
    std::string row = std::to_string(id) + "\t" + Describe(call) + "\t" + MIX_NAMES[call.mix] +
                      "\t" + std::to_string(call.data.size()) + "\t" +
                      std::to_string(outcome.result);
    if (outcome.result == 0) {
        row += "\t" + std::to_string(outcome.file.size()) + "\t" +
               Sha256Hex(outcome.file.data(), outcome.file.size());
    } else {
        row += "\t-\t-";
    }
    return row;
}

std::vector<Call> AllCalls() {
    std::vector<Call> calls;
    Random random(kSeed);
    for (int id = 0; id < kRounds * kCombinations; ++id) calls.push_back(MakeCall(id, random));
    for (Call& call : ExtraCalls()) calls.push_back(call);
    return calls;
}

TEST(BmpDigests, EveryRecordedCallWritesTheSameBytes) {
    const std::vector<Call> calls = AllCalls();
    TempDir dir;
    const char* record = std::getenv("TESSERA_WRITE_DIGESTS");
    if (record != nullptr) {
        std::ofstream out(record);
        out << "# id\toptions\tmix\tlength\tresult\tfile_size\tfile_sha256\n";
        for (std::size_t id = 0; id < calls.size(); ++id) {
            out << Row(static_cast<int>(id), calls[id], CallTessera(calls[id], dir)) << "\n";
        }
        GTEST_SKIP() << "recorded " << calls.size() << " digests in " << record;
    }

    const Table table = ReadTable(TESSERA_TEST_DATA "/bmp_digests.tsv");
    ASSERT_EQ(table.rows.size(), calls.size());
    std::set<int> versions, levels, masks, scales, mixes;
    std::set<std::string> automaticAndRequestedMasks;
    int written = 0;
    for (std::size_t id = 0; id < calls.size(); ++id) {
        const Call& call = calls[id];
        const std::string description = Describe(call);
        SCOPED_TRACE("call " + std::to_string(id) + ": " + description + " " + MIX_NAMES[call.mix] +
                     " of " + std::to_string(call.data.size()) + " bytes");
        const Outcome outcome = CallTessera(call, dir);
        std::string line;
        for (const std::string& field : table.rows[id]) line += (line.empty() ? "" : "\t") + field;
        ASSERT_EQ(Row(static_cast<int>(id), call, outcome), line);
        if (outcome.result != 0) continue;
        ++written;
        const Seen seen = Inspect(outcome.file, ScaleOf(call));
        versions.insert(seen.version);
        levels.insert(seen.level);
        masks.insert(seen.mask);
        scales.insert(ScaleOf(call));
        mixes.insert(call.mix);
        automaticAndRequestedMasks.insert(description.find("/M") == std::string::npos ? "auto"
                                                                                      : "set");
    }
    // The table covers what it claims to cover.
    EXPECT_EQ(versions.size(), static_cast<std::size_t>(kMaxVersion));
    EXPECT_EQ(levels, (std::set<int>{0, 1, 2, 3}));
    EXPECT_EQ(masks, (std::set<int>{0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(scales.size(), static_cast<std::size_t>(kMaxScale));
    EXPECT_EQ(mixes.size(), static_cast<std::size_t>(kMixCount));
    EXPECT_EQ(automaticAndRequestedMasks.size(), 2u);
    EXPECT_GT(written, static_cast<int>(calls.size()) * 3 / 4);
}

}  // namespace
}  // namespace qr::test
