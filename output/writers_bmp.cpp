// The door's table of formats: BMP alone.
#include <iterator>

#include "output/bmp_file.h"

namespace qr {

namespace {

constexpr ImageFormatInfo DOOR_ROWS[] = {kBmpFormat};

}  // namespace

const FormatTable LINKED_FORMATS = {DOOR_ROWS, static_cast<int>(std::size(DOOR_ROWS))};

}  // namespace qr
