// Symbols as ASCII pictures, so that a failing comparison shows the cells that differ: one line
// per row from the top, cell x of a row at column x, and a line break before the first row to
// match a raw string that starts on its own line.
#pragma once

#include <string>

#include "encoder/qr_encoder.h"
#include "encoder/rmqr_encoder.h"

namespace qr::test {

// The `width` x `height` cells of `modules`, one character per cell as `draw(cell byte)` makes it.
template <class Draw>
std::string PictureOfCells(const ModuleMatrix& modules, int width, int height, Draw draw) {
    std::string picture = "\n";
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) picture += draw(modules[x][y]);
        picture += '\n';
    }
    return picture;
}

// '#' for a dark cell, '.' for a light one (a cell is dark when its byte AND 0x11 is not 0).
inline char DarkOrLight(unsigned char cell) {
    return cell & MODULE_ANY_DARK ? '#' : '.';
}

// '#' for a dark function cell, '-' for a light one, '.' for a free cell.
inline char FunctionOrFree(unsigned char cell) {
    return cell == MODULE_DARK_FUNCTION ? '#' : cell == MODULE_LIGHT_FUNCTION ? '-' : '.';
}

// The S x S square of `encoder` (a CQrEncoder or a CMicroEncoder) as DarkOrLight draws it.
template <class Encoder>
std::string Picture(const Encoder& encoder) {
    return PictureOfCells(encoder.modules, encoder.symbolSize, encoder.symbolSize, DarkOrLight);
}

inline std::string FunctionPicture(const CQrEncoder& encoder) {
    return PictureOfCells(encoder.modules, encoder.symbolSize, encoder.symbolSize, FunctionOrFree);
}

// The width x height rectangle of an rMQR symbol.
inline std::string Picture(const CRmqrEncoder& encoder) {
    return PictureOfCells(encoder.modules, encoder.width, encoder.height, DarkOrLight);
}

inline std::string FunctionPicture(const CRmqrEncoder& encoder) {
    return PictureOfCells(encoder.modules, encoder.width, encoder.height, FunctionOrFree);
}

}  // namespace qr::test
