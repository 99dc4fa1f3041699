// The symbols that the reader suite reads back (read.test.mjs): every rMQR sample of
// symbol_samples.h, then each GS1 sample at levels M and H in the smallest rMQR size and the
// smallest QR Code version. One line each, tab separated: the rMQR size's name or the QR Code
// version, the level letter, 1 for GS1 data (else 0), the data in hex and the rows from the top,
// '1' dark and '0' light, joined by '/'.
#include <cstdio>
#include <memory>
#include <string>

#include "encoder/qr_encoder.h"
#include "encoder/rmqr_encoder.h"
#include "tests/support/symbol_samples.h"

namespace qr {
namespace {

void Print(const std::string& name, int level, bool gs1, const test::Bytes& data,
           const ModuleMatrix& modules, int width, int height) {
    std::string rows;
    for (int y = 0; y < height; ++y) {
        if (y > 0) rows += '/';
        for (int x = 0; x < width; ++x) rows += modules[x][y] ? '1' : '0';
    }
    std::printf("%s\t%c\t%d\t%s\t%s\n", name.c_str(), "LMQH"[level], gs1 ? 1 : 0,
                test::ToHex(data.data(), data.size()).c_str(), rows.c_str());
}

bool PrintRmqr(CRmqrEncoder& encoder, int level, int version, const test::Bytes& data) {
    if (encoder.Encode(level, version, 0, 0, data.data(), static_cast<int>(data.size())) != 1) {
        return false;
    }
    char name[kRmqrNameSize];
    RmqrName(encoder.version, name);
    Print(name, level, encoder.gs1, data, encoder.modules, encoder.width, encoder.height);
    return true;
}

int Main() {
    auto encoder = std::make_unique<CRmqrEncoder>();
    auto qrCode = std::make_unique<CQrEncoder>();
    for (const test::RmqrSample& s : test::RmqrSamples()) {
        if (!PrintRmqr(*encoder, s.level, s.version, s.data)) return 1;
    }
    encoder->gs1 = qrCode->gs1 = true;
    for (const std::string& text : test::Gs1Samples()) {
        const test::Bytes data = test::Gs1Data(text);
        for (const int level : {LEVEL_M, LEVEL_H}) {
            if (!PrintRmqr(*encoder, level, 0, data)) return 1;
            if (qrCode->Encode(level, 0, 1, -1, data.data(), static_cast<int>(data.size())) != 1) {
                return 1;
            }
            Print(std::to_string(qrCode->version), level, true, data, qrCode->modules,
                  qrCode->symbolSize, qrCode->symbolSize);
        }
    }
    return 0;
}

}  // namespace
}  // namespace qr

int main() {
    return qr::Main();
}
