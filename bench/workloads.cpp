#include "bench/workloads.h"

#include <cstdint>

namespace qr::bench {

namespace {

// splitmix64, so that every run and every machine measures the same bytes.
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    unsigned Below(unsigned n) {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15u);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
        return static_cast<unsigned>((z ^ (z >> 31)) % n);
    }

private:
    std::uint64_t state_;
};

constexpr char kAlphanumericSet[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ $%*+-./:";
constexpr int kAlphanumericSetSize = 45;

std::vector<unsigned char> Bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

std::vector<unsigned char> Words(Random& random, std::size_t length) {
    std::string text;
    while (text.size() < length) {
        const unsigned word = 2 + random.Below(8);
        for (unsigned i = 0; i < word; ++i) {
            const char base = random.Below(3) == 0 ? 'A' : 'a';
            text += static_cast<char>(base + random.Below(26));
        }
        text += random.Below(6) == 0 ? ". " : " ";
    }
    text.resize(length);
    return Bytes(text);
}

// Level-1 Kanji of Shift_JIS: lead bytes 0x88 (from 0x9F) to 0x97, trail bytes 0x40-0x7E and
// 0x80-0xFC.
std::vector<unsigned char> Kanji(Random& random, int count) {
    std::vector<unsigned char> data;
    for (int i = 0; i < count; ++i) {
        const unsigned lead = 0x89 + random.Below(0x97 - 0x89 + 1);
        unsigned trail = 0x40 + random.Below(0xFC - 0x40);
        if (trail >= 0x7F) ++trail;
        data.push_back(static_cast<unsigned char>(lead));
        data.push_back(static_cast<unsigned char>(trail));
    }
    return data;
}

std::vector<Workload> MakeSideBySide() {
    Random random(0x5eedbe7c4u);
    std::vector<Workload> w;
    w.push_back({"W1",
                 "40-byte URL",
                 1,
                 Bytes("https://example.org/products/item?id=123"),
                 false,
                 false,
                 {}});
    w.push_back({"W2", "500 bytes of words", 1, Words(random, 500), false, false, {}});
    std::string digits;
    for (int i = 0; i < 7089; ++i) digits += static_cast<char>('0' + random.Below(10));
    w.push_back({"W3", "7089 digits", 0, Bytes(digits), false, false, {}});
    std::vector<unsigned char> bytes;
    for (int i = 0; i < 2953; ++i) bytes.push_back(static_cast<unsigned char>(random.Below(256)));
    w.push_back({"W4", "2953 random bytes", 0, bytes, false, true, {}});
    std::string mixed;
    for (int i = 0; i < 300; ++i) mixed += static_cast<char>('0' + random.Below(10));
    for (int i = 0; i < 200; ++i) mixed += kAlphanumericSet[random.Below(kAlphanumericSetSize)];
    for (int i = 0; i < 100; ++i) mixed += static_cast<char>('a' + random.Below(26));
    w.push_back(
        {"W5", "300 digits, 200 alphanumeric, 100 lower case", 2, Bytes(mixed), false, false, {}});
    w.push_back({"W6", "300 Kanji (600 Shift_JIS bytes)", 1, Kanji(random, 300), true, false, {}});
    for (Workload& one : w) one.text.assign(one.data.begin(), one.data.end());
    return w;
}

}  // namespace

const std::vector<Workload>& SideBySideWorkloads() {
    static const std::vector<Workload> workloads = MakeSideBySide();
    return workloads;
}

namespace {

// `count` characters, a random digit and a random letter from `firstLetter` in turn: one run
// per character before the merge passes.
std::vector<unsigned char> DigitsAndLettersInTurn(int count, char firstLetter) {
    Random random(static_cast<std::uint64_t>(count));
    std::vector<unsigned char> data;
    for (int i = 0; i < count; ++i) {
        data.push_back(static_cast<unsigned char>(i % 2 ? firstLetter + random.Below(26)
                                                        : '0' + random.Below(10)));
    }
    return data;
}

}  // namespace

const Workload& WorstSegmentationBytes() {
    static const Workload w{"worst-byte",
                            "7089 bytes, digit and lower case in turn",
                            0,
                            DigitsAndLettersInTurn(7089, 'a'),
                            false,
                            false,
                            {}};
    return w;
}

const Workload& WorstSegmentationAlphanumeric() {
    static const Workload w{"worst-alnum",
                            "4296 characters, digit and capital in turn",
                            0,
                            DigitsAndLettersInTurn(4296, 'A'),
                            false,
                            false,
                            {}};
    return w;
}

}  // namespace qr::bench
