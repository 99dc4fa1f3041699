// zxing-cpp: its macros FormatError and UnsupportedError clash with zbar's C++ classes, so each
// reader has a source of its own.
#include <ZXing/BarcodeFormat.h>
#include <ZXing/DecodeHints.h>
#include <ZXing/ImageView.h>
#include <ZXing/ReadBarcode.h>
#include <ZXing/Result.h>

#include "tests/roundtrip/qr_readers.h"

namespace qr::test {

namespace {

std::optional<Bytes> ReadFormat(const GrayImage& image, ZXing::BarcodeFormat format,
                                ZxingDetection detection, std::string* error) {
    ZXing::DecodeHints hints;
    hints.setFormats(format);
    hints.setIsPure(detection == ZxingDetection::kPure);
    const ZXing::ImageView view(image.pixels.data(), image.width, image.height,
                                ZXing::ImageFormat::Lum);
    const ZXing::Result result = ZXing::ReadBarcode(view, hints);
    if (!result.isValid()) {
        *error = result.error() ? ZXing::ToString(result.error()) : "no symbol found";
        return std::nullopt;
    }
    // bytes() is the content before any character-set conversion; text() would be UTF-8.
    const ZXing::ByteArray& bytes = result.bytes();
    return Bytes(bytes.begin(), bytes.end());
}

}  // namespace

std::optional<Bytes> ReadWithZxing(const GrayImage& image, ZxingDetection detection,
                                   std::string* error) {
    return ReadFormat(image, ZXing::BarcodeFormat::QRCode, detection, error);
}

std::optional<Bytes> ReadMicroWithZxing(const GrayImage& image, ZxingDetection detection,
                                        std::string* error) {
    return ReadFormat(image, ZXing::BarcodeFormat::MicroQRCode, detection, error);
}

std::optional<SequencePart> ReadPartWithZxing(const GrayImage& image, std::string* error) {
    ZXing::DecodeHints hints;
    hints.setFormats(ZXing::BarcodeFormat::QRCode);
    hints.setIsPure(true);
    const ZXing::ImageView view(image.pixels.data(), image.width, image.height,
                                ZXing::ImageFormat::Lum);
    const ZXing::Result result = ZXing::ReadBarcode(view, hints);
    if (!result.isValid()) {
        *error = result.error() ? ZXing::ToString(result.error()) : "no symbol found";
        return std::nullopt;
    }
    const ZXing::ByteArray& bytes = result.bytes();
    return SequencePart{Bytes(bytes.begin(), bytes.end()), result.sequenceIndex(),
                        result.sequenceSize(), result.sequenceId()};
}

std::optional<std::string> ReadTextWithZxing(const GrayImage& image, std::string* error) {
    ZXing::DecodeHints hints;
    hints.setFormats(ZXing::BarcodeFormat::QRCode);
    hints.setIsPure(true);
    const ZXing::ImageView view(image.pixels.data(), image.width, image.height,
                                ZXing::ImageFormat::Lum);
    const ZXing::Result result = ZXing::ReadBarcode(view, hints);
    if (!result.isValid()) {
        *error = result.error() ? ZXing::ToString(result.error()) : "no symbol found";
        return std::nullopt;
    }
    return result.text();
}

}  // namespace qr::test
