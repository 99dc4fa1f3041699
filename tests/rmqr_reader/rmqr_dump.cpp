// The symbols that the reader suite reads back (read.test.mjs): every rMQR sample of
// symbol_samples.h, then each GS1 sample at levels M and H in the smallest rMQR size and the
// smallest QR Code version. One line each, tab separated: the rMQR size's name or the QR Code
// version, the level letter, 1 for GS1 data (else 0), the data in hex and the rows from the top,
// '1' dark and '0' light, joined by '/'.
// With `--borderline DIR`, instead: styled PNG files of borderline cases written into DIR, each
// verified, one line each: the case, the file, the data in hex, the verdict verify gave and the
// verdict and reading (1 reads, 0 not) the case expects of verify and of a reader.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "encoder/qr_encoder.h"
#include "encoder/rmqr_encoder.h"
#include "output/logo.h"
#include "output/styled.h"
#include "output/verify.h"
#include "output/writers.h"
#include "tests/support/borderline.h"
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

// Borderline rMQR renderings of R17x77-H: a logo at the largest size that fits (14%), one percent
// under and one over what error correction repairs (+10 and +11), and dark colours of falling
// contrast, which the reader still reads in a clean file below 3:1.
int Borderline(const std::string& folder) {
    struct Case {
        const char* name;
        Rgba dark;
        int logo;  // percent beyond the largest that fits, or kNoLogo
        VerifyStatus status;
        bool reads;
    };
    const std::vector<Case> cases = {
        {"largest-logo", kDefaultDark, 0, VerifyStatus::kReads, true},
        {"logo-under", kDefaultDark, test::kLogoUnderRepair, VerifyStatus::kReadsWithWarnings,
         true},
        {"logo-over", kDefaultDark, 11, VerifyStatus::kUnreadable, false},
        {"grey-3.2", test::kGrey32, test::kNoLogo, VerifyStatus::kReads, true},
        {"grey-2.6", test::kGrey26, test::kNoLogo, VerifyStatus::kUnreadable, true},
        {"faint-grey", test::kFaintGrey, test::kNoLogo, VerifyStatus::kUnreadable, false},
    };
    const test::Bytes data = test::ToBytes("https://example.org/r?id=42");
    auto encoder = std::make_unique<CRmqrEncoder>();
    const int version = RmqrVersionNamed("R17x77");
    if (encoder->Encode(LEVEL_H, version, 0, 0, data.data(), static_cast<int>(data.size())) != 1) {
        return 1;
    }
    auto map = std::make_unique<SymbolMap>();
    if (!MapSymbol(SymbolKind::kRmqr, version, LEVEL_H, map.get())) return 1;
    // The logo: a QR Code of its own, black on white.
    auto logoSymbol = std::make_unique<CQrEncoder>();
    const test::Bytes logoData = test::ToBytes("logo");
    if (logoSymbol->Encode(LEVEL_L, 1, 0, -1, logoData.data(), static_cast<int>(logoData.size())) !=
        1) {
        return 1;
    }
    std::string logo;
    RenderOptions logoOptions;
    logoOptions.margin = 0;
    if (!WriterFor(ImageFormat::kPng)(logoSymbol->symbolSize, logoSymbol->symbolSize,
                                      logoSymbol->modules, logoOptions, &logo)) {
        return 1;
    }
    const int largest = LargestLogoPercent(*map, 1);
    for (const Case& c : cases) {
        RenderOptions options;
        options.margin = kRmqrQuietZoneModules;
        options.dark = c.dark;
        const StyleOptions style = test::WithLogo(logo, largest, c.logo);
        std::string png;
        if (!ComposeStyled(ImageFormat::kPng, encoder->modules, *map, options, style, &png)) {
            return 1;
        }
        const std::string path = folder + "/" + c.name + ".png";
        std::FILE* file = std::fopen(path.c_str(), "wb");
        if (file == nullptr || std::fwrite(png.data(), 1, png.size(), file) != png.size() ||
            std::fclose(file) != 0) {
            return 1;
        }
        const VerifyResult result =
            VerifyRendering(ImageFormat::kPng, encoder->modules, *map, options, style);
        std::printf("%s\t%s\t%s\t%d\t%d\t%d\n", c.name, path.c_str(),
                    test::ToHex(data.data(), data.size()).c_str(), static_cast<int>(result.status),
                    static_cast<int>(c.status), c.reads ? 1 : 0);
    }
    return 0;
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

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--borderline") return qr::Borderline(argv[2]);
    return qr::Main();
}
