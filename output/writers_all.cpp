// The table of formats of the API's library and the command: every format this build can make. PNG
// needs libpng (TESSERA_HAVE_PNG) or, on Windows, the Windows Imaging Component
// (TESSERA_HAVE_WIC_PNG).
#include "output/writers.h"

namespace qr {

namespace {

#if defined(TESSERA_HAVE_PNG) || defined(TESSERA_HAVE_WIC_PNG)
constexpr ImageWriter kPngWriter = ComposePng;
#else
constexpr ImageWriter kPngWriter = nullptr;
#endif

constexpr auto ROWS = FormatRows(kPngWriter);

}  // namespace

const FormatTable LINKED_FORMATS = {ROWS.data(), static_cast<int>(ROWS.size())};

}  // namespace qr
