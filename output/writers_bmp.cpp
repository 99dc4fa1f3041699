// The door's table of writers: BMP alone.
#include "output/bmp_file.h"
#include "output/writers.h"

namespace qr {

ImageWriter WriterFor(ImageFormat format) {
    return format == ImageFormat::kBmp ? ComposeBmp : nullptr;
}

}  // namespace qr
