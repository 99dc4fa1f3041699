// rMQR and GS1 symbols against an independent encoder, Debian's zint, run as a black box: it
// prints the matrix of the symbol it makes of the same data at the same size (or version and
// mask) and level, and each must equal ours cell by cell. The samples (symbol_samples.h) hold one
// mode each, which both encoders keep in one segment; zint's segmentation of the GS1 samples
// equals ours too.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <memory>
#include <sstream>
#include <string>

#include "encoder/qr_encoder.h"
#include "encoder/rmqr_encoder.h"
#include "tests/encoder/pictures.h"
#include "tests/support/symbol_samples.h"

namespace qr {
namespace {

// zint's --dump of `arguments` and the data as a picture of `width` cells a row: each row is hex
// digits (and spaces), four cells a digit. Its warnings (Shift_JIS without an ECI designator) are
// passed over; anything else it says is returned as it is.
std::string ZintPicture(const std::string& arguments, const std::string& data, int width) {
    const std::string command = TESSERA_ZINT " --dump " + arguments + " -d '" + data + "' 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return "cannot run " + command;
    std::string output;
    for (int c; (c = std::fgetc(pipe)) != EOF;) output += static_cast<char>(c);
    pclose(pipe);
    std::istringstream lines(output);
    std::string picture = "\n";
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("Warning ", 0) == 0) continue;
        std::string row;
        for (const char c : line) {
            if (c == ' ') continue;
            if (!std::isxdigit(static_cast<unsigned char>(c))) return output;
            const int digit = std::stoi(std::string(1, c), nullptr, 16);
            for (int bit = 3; bit >= 0; --bit) row += (digit >> bit) & 1 ? '#' : '.';
        }
        picture += row.substr(0, width) + '\n';
    }
    return picture;
}

const char* Secure(int level) {
    return level == LEVEL_H ? "--secure=4" : "--secure=2";
}

TEST(RmqrOracle, EverySizeLevelAndModeEqualsTheIndependentEncoders) {
    auto encoder = std::make_unique<CRmqrEncoder>();
    int compared = 0;
    for (const test::RmqrSample& s : test::RmqrSamples()) {
        SCOPED_TRACE(std::to_string(s.version) + " level " + std::to_string(s.level) + " " +
                     s.utf8);
        ASSERT_EQ(encoder->Encode(s.level, s.version, 0, 0, s.data.data(),
                                  static_cast<int>(s.data.size())),
                  1);
        const std::string arguments =
            "-b RMQR --vers=" + std::to_string(s.version) + " " + Secure(s.level);
        EXPECT_EQ(ZintPicture(arguments, s.utf8, encoder->width), test::Picture(*encoder));
        ++compared;
    }
    EXPECT_EQ(compared, kRmqrVersionCount * 2 * kModeCount);
}

// QR Code at the version ours takes and a mask that goes round all eight; rMQR at the size ours
// takes.
TEST(RmqrOracle, Gs1SymbolsEqualTheIndependentEncoders) {
    auto qrCode = std::make_unique<CQrEncoder>();
    auto rmqr = std::make_unique<CRmqrEncoder>();
    qrCode->gs1 = rmqr->gs1 = true;
    int mask = 0;
    for (const std::string& text : test::Gs1Samples()) {
        const test::Bytes data = test::Gs1Data(text);
        const int length = static_cast<int>(data.size());
        for (const int level : {LEVEL_M, LEVEL_H}) {
            SCOPED_TRACE(text + " level " + std::to_string(level) + " mask " +
                         std::to_string(mask));
            ASSERT_EQ(qrCode->Encode(level, 0, 1, mask, data.data(), length), 1);
            EXPECT_EQ(ZintPicture("-b QRCODE --gs1 --vers=" + std::to_string(qrCode->version) +
                                      " --mask=" + std::to_string(mask) + " " + Secure(level),
                                  text, qrCode->symbolSize),
                      test::Picture(*qrCode));
            mask = (mask + 1) % kMaskCount;
            ASSERT_EQ(rmqr->Encode(level, 0, 0, 0, data.data(), length), 1);
            EXPECT_EQ(ZintPicture("-b RMQR --gs1 --vers=" + std::to_string(rmqr->version) + " " +
                                      Secure(level),
                                  text, rmqr->width),
                      test::Picture(*rmqr));
        }
    }
}

}  // namespace
}  // namespace qr
