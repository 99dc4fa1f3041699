// Symbols as ASCII pictures, so that a failing comparison shows the cells that differ: one line
// per row from the top, cell x of a row at column x, and a line break before the first row to
// match a raw string that starts on its own line.
#pragma once

#include <string>

#include "encoder/qr_encoder.h"

namespace qr::test {

// The S x S square of `encoder` (a CQrEncoder or a CMicroEncoder), one character per cell as
// `draw(cell byte)` makes it.
template <class Encoder, class Draw>
std::string PictureOf(const Encoder& encoder, Draw draw) {
    std::string picture = "\n";
    for (int y = 0; y < encoder.symbolSize; ++y) {
        for (int x = 0; x < encoder.symbolSize; ++x) picture += draw(encoder.modules[x][y]);
        picture += '\n';
    }
    return picture;
}

// '#' for a dark cell, '.' for a light one (a cell is dark when its byte AND 0x11 is not 0).
template <class Encoder>
std::string Picture(const Encoder& encoder) {
    return PictureOf(encoder,
                     [](unsigned char cell) { return cell & MODULE_ANY_DARK ? '#' : '.'; });
}

// '#' for a dark function cell, '-' for a light one, '.' for a free cell.
inline std::string FunctionPicture(const CQrEncoder& encoder) {
    return PictureOf(encoder, [](unsigned char cell) {
        return cell == MODULE_DARK_FUNCTION ? '#' : cell == MODULE_LIGHT_FUNCTION ? '-' : '.';
    });
}

}  // namespace qr::test
