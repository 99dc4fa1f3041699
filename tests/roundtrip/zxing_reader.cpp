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

// The one symbol of `format` in `image`, or nothing with `error` saying what zxing-cpp reported.
std::optional<ZXing::Result> Read(const GrayImage& image, ZXing::BarcodeFormat format,
                                  ZxingDetection detection, std::string* error) {
    ZXing::DecodeHints hints;
    hints.setFormats(format);
    hints.setIsPure(detection == ZxingDetection::kPure);
    const ZXing::ImageView view(image.pixels.data(), image.width, image.height,
                                ZXing::ImageFormat::Lum);
    ZXing::Result result = ZXing::ReadBarcode(view, hints);
    if (!result.isValid()) {
        *error = result.error() ? ZXing::ToString(result.error()) : "no symbol found";
        return std::nullopt;
    }
    return result;
}

// bytes() is the content before any character-set conversion; text() would be UTF-8.
Bytes BytesOf(const ZXing::Result& result) {
    const ZXing::ByteArray& bytes = result.bytes();
    return Bytes(bytes.begin(), bytes.end());
}

std::optional<Bytes> ReadFormat(const GrayImage& image, ZXing::BarcodeFormat format,
                                ZxingDetection detection, std::string* error) {
    const auto result = Read(image, format, detection, error);
    if (!result) return std::nullopt;
    return BytesOf(*result);
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

std::optional<Bytes> ReadIdentifiedWithZxing(const GrayImage& image, std::string* error) {
    const auto result = Read(image, ZXing::BarcodeFormat::QRCode, ZxingDetection::kPure, error);
    if (!result) return std::nullopt;
    const std::string identifier = result->symbologyIdentifier();
    Bytes bytes(identifier.begin(), identifier.end());
    const Bytes data = BytesOf(*result);
    bytes.insert(bytes.end(), data.begin(), data.end());
    return bytes;
}

std::optional<SequencePart> ReadPartWithZxing(const GrayImage& image, std::string* error) {
    const auto result = Read(image, ZXing::BarcodeFormat::QRCode, ZxingDetection::kPure, error);
    if (!result) return std::nullopt;
    return SequencePart{BytesOf(*result), result->sequenceIndex(), result->sequenceSize(),
                        result->sequenceId()};
}

std::optional<std::string> ReadTextWithZxing(const GrayImage& image, std::string* error) {
    const auto result = Read(image, ZXing::BarcodeFormat::QRCode, ZxingDetection::kPure, error);
    if (!result) return std::nullopt;
    return result->text();
}

}  // namespace qr::test
