// The writer of each image format. Each library links one table: the door's has BMP alone, so that
// it needs no image library; the API's and the command's have every format this build can make.
#pragma once

#include <string>

#include "encoder/module_matrix.h"
#include "output/image_format.h"
#include "output/render_options.h"

namespace qr {

// Composes the whole file or text of `symbolSize` x `symbolSize` cells of `modules` (non-zero is
// dark) with `options` (checked by the caller) into `bytes`, replacing its content. Returns false,
// with `bytes` empty, when the bytes cannot be made (no memory, or the image library failed).
using ImageWriter = bool (*)(int symbolSize, const ModuleMatrix& modules,
                             const RenderOptions& options, std::string* bytes);

// The writer of `format` in this library; null where this build cannot make the format.
ImageWriter WriterFor(ImageFormat format);

}  // namespace qr
