// The table of writers of the API library and the command: every format this build can make. PNG
// needs libpng (TESSERA_HAVE_PNG) or, on Windows, the Windows Imaging Component
// (TESSERA_HAVE_WIC_PNG).
#include "output/bmp_file.h"
#include "output/eps_file.h"
#include "output/pdf_file.h"
#include "output/svg_file.h"
#include "output/text_file.h"
#include "output/writers.h"
#if defined(TESSERA_HAVE_PNG) || defined(TESSERA_HAVE_WIC_PNG)
#include "output/png_file.h"
#endif

namespace qr {

namespace {

template <TextStyle style>
bool ComposeTextStyle(int symbolSize, const ModuleMatrix& modules, const RenderOptions& options,
                      std::string* text) {
    return ComposeText(symbolSize, modules, options, style, text);
}

}  // namespace

ImageWriter WriterFor(ImageFormat format) {
    switch (format) {
        case ImageFormat::kBmp:
            return ComposeBmp;
        case ImageFormat::kPng:
#if defined(TESSERA_HAVE_PNG) || defined(TESSERA_HAVE_WIC_PNG)
            return ComposePng;
#else
            return nullptr;
#endif
        case ImageFormat::kSvg:
            return ComposeSvg;
        case ImageFormat::kTxt:
            return ComposeTextStyle<TextStyle::kAscii>;
        case ImageFormat::kUtf8:
            return ComposeTextStyle<TextStyle::kHalfBlocks>;
        case ImageFormat::kAnsi:
            return ComposeTextStyle<TextStyle::kAnsi>;
        case ImageFormat::kEps:
            return ComposeEps;
        case ImageFormat::kPdf:
            return ComposePdf;
    }
    return nullptr;
}

}  // namespace qr
