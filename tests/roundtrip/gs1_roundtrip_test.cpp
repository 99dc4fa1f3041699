// GS1 data in QR Code read back by zxing-cpp: CQrEncoder makes each GS1 sample (symbol_samples.h)
// at every level, the BMP writer draws it, and zxing-cpp must report the symbology identifier ]Q3
// and the data with a group separator after each variable-length field. zxing-cpp 1.4 misreads a
// '%' of the data (written "%%" in alphanumeric mode), so the samples with one are read by the
// newer zxing-cpp of the rmqr_reader suite instead, which reads them right.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

#include "encoder/qr_encoder.h"
#include "tests/roundtrip/bmp_image.h"
#include "tests/roundtrip/qr_readers.h"
#include "tests/support/symbol_samples.h"

namespace qr::test {
namespace {

TEST(Gs1RoundTrip, EverySampleReadsBackAsGs1AtEveryLevel) {
    auto encoder = std::make_unique<CQrEncoder>();
    encoder->gs1 = true;
    for (const std::string& text : Gs1Samples()) {
        const Bytes data = Gs1Data(text);
        if (text.find('%') != std::string::npos) continue;
        for (int level = LEVEL_L; level <= LEVEL_H; ++level) {
            SCOPED_TRACE(text + " level " + std::to_string(level));
            ASSERT_EQ(encoder->Encode(level, 0, 1, -1, data.data(), static_cast<int>(data.size())),
                      1);
            const std::string file = Rendered(*encoder, ImageFormat::kBmp, 2);
            GrayImage image;
            std::string error;
            ASSERT_TRUE(ParseBmp(reinterpret_cast<const std::uint8_t*>(file.data()), file.size(),
                                 &image, &error))
                << error;
            Bytes expected = ToBytes("]Q3");
            expected.insert(expected.end(), data.begin(), data.end());
            EXPECT_EQ(ReadIdentifiedWithZxing(image, &error), expected) << error;
        }
    }
}

}  // namespace
}  // namespace qr::test
