// Renderings on either side of the line between what reads and what does not, shared by the test
// that holds verify against zxing-cpp (QR Code) and the one that holds it against zxing-wasm
// (rMQR): dark colours of falling contrast on white, and logos at and past the largest that
// fits. What verify says of each and whether a reader reads it are each test's own, since they
// differ by symbol and by reader.
#pragma once

#include <string>

#include "output/render_options.h"
#include "output/style_options.h"

namespace qr::test {

// Dark colours on the default light one, by their contrast.
inline constexpr Rgba kFaintGrey = 0xF2F2F2FF;  // 1.1:1
inline constexpr Rgba kGrey26 = 0xA0A0A0FF;     // 2.6:1, under the 3:1 verify asks for
inline constexpr Rgba kGrey29 = 0x989898FF;     // 2.9:1, just under
inline constexpr Rgba kGrey32 = 0x909090FF;     // 3.2:1, just over

// Logos, in percent past the largest that fits: one that error correction still repairs with
// room to spare in no block, and none.
inline constexpr int kLogoUnderRepair = 10;
inline constexpr int kNoLogo = -100;

// `style` with the PNG `logo` at `largest` + `past` percent, or no logo for kNoLogo. The bytes of
// `logo` must outlive the style.
inline StyleOptions WithLogo(const std::string& logo, int largest, int past) {
    StyleOptions style;
    if (past != kNoLogo) {
        style.logo = reinterpret_cast<const unsigned char*>(logo.data());
        style.logoSize = logo.size();
        style.logoPercent = largest + past;
    }
    return style;
}

}  // namespace qr::test
