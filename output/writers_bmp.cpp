// The one-export library's table of formats: BMP alone.
#include <iterator>

#include "output/bmp_file.h"

namespace qr {

namespace {

constexpr ImageFormatInfo ONE_EXPORT_ROWS[] = {kBmpFormat};

}  // namespace

const FormatTable LINKED_FORMATS = {ONE_EXPORT_ROWS, static_cast<int>(std::size(ONE_EXPORT_ROWS))};

}  // namespace qr
