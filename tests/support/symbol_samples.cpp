#include "tests/support/symbol_samples.h"

#include <memory>
#include <random>

#include "encoder/rmqr_encoder.h"

namespace qr::test {

namespace {

// A character of one mode: its bytes for the encoder and in UTF-8.
struct Character {
    std::string bytes, utf8;
};

std::vector<Character> CharactersOf(const std::string& ascii) {
    std::vector<Character> characters;
    for (const char c : ascii) characters.push_back({std::string(1, c), std::string(1, c)});
    return characters;
}

}  // namespace

std::vector<RmqrSample> RmqrSamples() {
    const std::vector<std::vector<Character>> modes = {
        CharactersOf("0123456789"),
        CharactersOf("ABCDEFGHIJKLMNOPQRSTUVWXYZ $%*+-./:"),
        CharactersOf("abcdefghijklmnopqrstuvwxyz"),
        {{"\x93\x5f", "\xe7\x82\xb9"}, {"\x8a\xbf", "\xe6\xbc\xa2"}, {"\xe4\xaa", "\xe8\x8c\x97"}},
    };
    std::mt19937 random(23941);
    auto encoder = std::make_unique<CRmqrEncoder>();
    std::vector<RmqrSample> samples;
    for (int version = 1; version <= kRmqrVersionCount; ++version) {
        for (const int level : {LEVEL_M, LEVEL_H}) {
            const int capacityBits = 8 * RmqrDataCodewords(version, level);
            for (std::size_t mode = 0; mode < modes.size(); ++mode) {
                // The longest run of the mode's first character that the size holds.
                std::string most;
                const std::string& first = modes[mode][0].bytes;
                auto fits = [&](const std::string& data) {
                    const int bits =
                        encoder->StreamBits(reinterpret_cast<const unsigned char*>(data.data()),
                                            static_cast<int>(data.size()), version);
                    return bits >= 0 && bits <= capacityBits;
                };
                while (fits(most + first)) most += first;
                const int characters = static_cast<int>(most.size() / first.size());
                const int length =
                    mode == 0 ? characters : 1 + static_cast<int>(random() % characters);
                RmqrSample sample{version, level, {}, {}};
                for (int i = 0; i < length; ++i) {
                    const Character& c = modes[mode][random() % modes[mode].size()];
                    sample.data.insert(sample.data.end(), c.bytes.begin(), c.bytes.end());
                    sample.utf8 += c.utf8;
                }
                samples.push_back(sample);
            }
        }
    }
    return samples;
}

const std::vector<std::string>& Gs1Samples() {
    static const std::vector<std::string> samples = {
        "[01]09501101530003[17]261231[10]ABC",
        "[01]09501101530003[10]AB%C[21]12345",
        "[00]106141411234567897",
        "[10]ABC123[21]XYZ",
        "[3103]000189[15]261231",
        "[8005]000365[422]250",
        "[21]abc%def[10]1",
        "[414]0950110153007[254]A1",
        "[91]ABC-123/456.789[92]%%%",
        "[01]09501101530003[30]12345678[10]A1B2C3",
        "[20]12[10]A%B%C",
        "[400]PO-12345/AB[01]09501101530003",
        "[02]09501101530003[37]24[10]abcdefghijk",
        "[90]123456789012345678901234567890[91]x",
        "[8004]0950110153123456789012345678[240]ABC-1234/5678.XYZ[92]0123456789abcdefghij",
    };
    return samples;
}

Bytes Gs1Data(const std::string& text) {
    Bytes data(text.size());
    Gs1Report report;
    const int length = ParseGs1(reinterpret_cast<const unsigned char*>(text.data()),
                                static_cast<int>(text.size()), data.data(), &report);
    data.resize(length < 0 ? 0 : static_cast<std::size_t>(length));
    return data;
}

}  // namespace qr::test
