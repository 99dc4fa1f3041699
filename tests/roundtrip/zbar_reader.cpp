// zbar, through its C interface.
#include <zbar.h>

#include <memory>

#include "tests/roundtrip/qr_readers.h"

namespace qr::test {
namespace {

// zbar's name for 8-bit grey pixels, one byte each ("Y800").
constexpr unsigned long kGreyFourcc = zbar_fourcc('Y', '8', '0', '0');

struct ScannerDeleter {
    void operator()(zbar::zbar_image_scanner_t* scanner) const {
        zbar::zbar_image_scanner_destroy(scanner);
    }
};
struct ImageDeleter {
    void operator()(zbar::zbar_image_t* image) const { zbar::zbar_image_destroy(image); }
};

}  // namespace

std::optional<Bytes> ReadWithZbar(const GrayImage& image, std::string* error) {
    std::unique_ptr<zbar::zbar_image_scanner_t, ScannerDeleter> scanner(
        zbar::zbar_image_scanner_create());
    zbar::zbar_image_scanner_set_config(scanner.get(), zbar::ZBAR_NONE, zbar::ZBAR_CFG_ENABLE, 0);
    zbar::zbar_image_scanner_set_config(scanner.get(), zbar::ZBAR_QRCODE, zbar::ZBAR_CFG_ENABLE, 1);
    zbar::zbar_image_scanner_set_config(scanner.get(), zbar::ZBAR_QRCODE, zbar::ZBAR_CFG_BINARY, 1);

    std::unique_ptr<zbar::zbar_image_t, ImageDeleter> zimage(zbar::zbar_image_create());
    zbar::zbar_image_set_format(zimage.get(), kGreyFourcc);
    zbar::zbar_image_set_size(zimage.get(), static_cast<unsigned>(image.width),
                              static_cast<unsigned>(image.height));
    // zbar only reads the pixels; no cleanup handler, they stay ours.
    zbar::zbar_image_set_data(zimage.get(), image.pixels.data(), image.pixels.size(), nullptr);

    const int found = zbar::zbar_scan_image(scanner.get(), zimage.get());
    if (found != 1) {
        *error = found < 0 ? "scan error" : std::to_string(found) + " symbols found";
        return std::nullopt;
    }
    const zbar::zbar_symbol_t* symbol = zbar::zbar_image_first_symbol(zimage.get());
    const auto* data = reinterpret_cast<const unsigned char*>(zbar::zbar_symbol_get_data(symbol));
    return Bytes(data, data + zbar::zbar_symbol_get_data_length(symbol));
}

}  // namespace qr::test
