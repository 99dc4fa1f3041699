// Micro QR symbols against an independent encoder: micro_oracle.py has segno make symbols of data
// of one mode at a forced version, level and mask (every version and level, every mode the version
// offers, every mask; the shortest, a random and the longest length that segno pads as the
// standard does), and again with the mask left to it. Each must equal the symbol CMicroEncoder
// makes of the same data, forced or choosing the mask itself, cell by cell.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <tuple>

#include "encoder/micro_encoder.h"
#include "tests/encoder/pictures.h"
#include "tests/support/test_support.h"

namespace qr {
namespace {

// Debian's python3-segno imports only under this interpreter.
constexpr const char* kOracleCommand =
    "/usr/bin/python3 " TESSERA_TEST_DATA "/../encoder/micro_oracle.py";
// Every version and level, times the modes the version offers, times the four masks.
constexpr int kCombinations = (1 + 2 * 2 + 2 * 4 + 3 * 4) * kMicroMaskCount;

// The script's whole output, and its exit status.
std::string RunOracle(int* status) {
    std::string output;
    FILE* pipe = popen(kOracleCommand, "r");
    if (pipe == nullptr) {
        *status = -1;
        return output;
    }
    char buffer[4096];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, got);
    *status = pclose(pipe);
    return output;
}

// The script's rows joined by '/' as a picture: a line break, then each row and a line break.
std::string PictureOfRows(const std::string& rows) {
    std::string picture = "\n" + rows + "\n";
    for (char& c : picture) c = c == '/' ? '\n' : c;
    return picture;
}

TEST(MicroOracle, EverySymbolEqualsTheIndependentEncoders) {
    int status = 0;
    const std::string output = RunOracle(&status);
    ASSERT_EQ(status, 0) << "micro_oracle.py failed; it needs python3-segno under /usr/bin/python3";
    std::istringstream lines(output);
    std::string line;
    std::set<std::tuple<int, int, int, int>> combinations;
    int symbols = 0;
    int chosenMasks = 0;  // symbols whose mask each encoder chose
    auto encoder = std::make_unique<CMicroEncoder>();
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        int version, level, mask, mode;
        std::string how, hex, rows;
        ASSERT_TRUE(fields >> version >> level >> mask >> how >> mode >> hex >> rows) << line;
        SCOPED_TRACE("M" + std::to_string(version) + " level " + std::to_string(level) + " mask " +
                     std::to_string(mask) + " " + how + " mode " + std::to_string(mode) + " data " +
                     hex);
        const bool chosen = how == "chosen";
        const test::Bytes data = test::FromHex(hex);
        ASSERT_EQ(encoder->Encode(level, version, 0, chosen ? -1 : mask, data.data(),
                                  static_cast<int>(data.size())),
                  1);
        EXPECT_EQ(encoder->version, version);
        EXPECT_EQ(encoder->level, level);
        EXPECT_EQ(encoder->maskNumber, mask);
        EXPECT_EQ(test::Picture(*encoder), PictureOfRows(rows));
        if (chosen) {
            ++chosenMasks;
        } else {
            combinations.insert({version, level, mask, mode});
        }
        ++symbols;
    }
    EXPECT_EQ(static_cast<int>(combinations.size()), kCombinations);
    EXPECT_EQ(chosenMasks * 2, symbols);
    std::printf(
        "[ MicroOracle ] %d symbols, %d of them with the mask each encoder chose; %d "
        "combinations of version, level, forced mask and mode\n",
        symbols, chosenMasks, static_cast<int>(combinations.size()));
}

}  // namespace
}  // namespace qr
