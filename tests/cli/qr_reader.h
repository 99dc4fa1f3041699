// Reading written symbols back in the tests: the image every writer should draw, and zxing-cpp
// over gray pixels.
#pragma once

#include <ZXing/ReadBarcode.h>

#include <string>
#include <vector>

#include "encoder/qr_encoder.h"
#include "tests/support/gray_image.h"

namespace qr::test {

constexpr unsigned char kBlack = 0;
constexpr unsigned char kWhite = 255;
constexpr int kQuietModules = 4;

// The finished symbol of `encoder` with its quiet zone of `margin` modules, each module scale x
// scale pixels: the picture that every writer must produce.
inline GrayImage ExpectedImage(const CQrEncoder& encoder, int scale, int margin = kQuietModules) {
    GrayImage image;
    image.width = image.height = scale * (encoder.symbolSize + 2 * margin);
    image.pixels.assign(static_cast<std::size_t>(image.width) * image.height, kWhite);
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const int u = x / scale - margin;
            const int v = y / scale - margin;
            if (u >= 0 && v >= 0 && u < encoder.symbolSize && v < encoder.symbolSize &&
                encoder.modules[u][v] != 0) {
                image.pixels[static_cast<std::size_t>(y) * image.width + x] = kBlack;
            }
        }
    }
    return image;
}

// `image` with each pixel made `factor` x `factor` pixels.
inline GrayImage Enlarge(const GrayImage& image, int factor) {
    GrayImage large;
    large.width = image.width * factor;
    large.height = image.height * factor;
    for (int y = 0; y < large.height; ++y) {
        for (int x = 0; x < large.width; ++x)
            large.pixels.push_back(image.At(x / factor, y / factor));
    }
    return large;
}

// The pixels of the command's ASCII text (-t txt): "##" a dark pixel, two spaces a light one.
inline GrayImage FromAsciiText(const std::string& text) {
    GrayImage image;
    for (std::size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
        image.width = static_cast<int>(end - at) / 2;
        for (std::size_t x = at; x < end; x += 2)
            image.pixels.push_back(text[x] == '#' ? kBlack : kWhite);
        ++image.height;
    }
    return image;
}

// The bytes of the QR Code that zxing-cpp reads in `image`, and the text it shows for them
// (UTF-8) where `text` is not null; false when it reads none.
inline bool DecodeQr(const GrayImage& image, std::string* bytes, std::string* text = nullptr) {
    const ZXing::ImageView view(image.pixels.data(), image.width, image.height,
                                ZXing::ImageFormat::Lum);
    const ZXing::Result result =
        ZXing::ReadBarcode(view, ZXing::DecodeHints().setFormats(ZXing::BarcodeFormat::QRCode));
    if (!result.isValid()) return false;
    bytes->assign(result.bytes().begin(), result.bytes().end());
    if (text != nullptr) *text = result.text();
    return true;
}

}  // namespace qr::test
