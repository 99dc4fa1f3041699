// Whether a rendered symbol still reads: the image a writer makes is sampled at the centre of every
// module (the geometry is known, so nothing is detected), each sample is read as dark or light,
// and what changed is weighed against what error correction repairs, block by block. The colours'
// contrast, the quiet zone and the printed size of a module are checked beside it.
#pragma once

#include <string>

#include "encoder/module_matrix.h"
#include "encoder/symbol_map.h"
#include "output/image_format.h"
#include "output/render_options.h"
#include "output/style_options.h"

namespace qr {

enum class VerifyStatus : int {
    kReads = 0,              // every check passed, with margin
    kReadsWithWarnings = 1,  // it reads, but a check found something a reader may trip on
    kUnreadable = 2,         // a check failed: readers should not be expected to read it
};

struct VerifyResult {
    VerifyStatus status = VerifyStatus::kReads;
    // One line per problem, each ending in '\n'; empty with kReads.
    std::string problems;
};

// The contrast ratio of two colours as WCAG 2 defines it: (L1 + 0.05) / (L2 + 0.05) of their
// relative luminances, the lighter above; each colour laid over white first.
double ContrastRatio(Rgba a, Rgba b);
// The least contrast a symbol's dark and light colours must have.
constexpr double kMinContrastRatio = 3;

// Verifies the image that ComposeStyled, or with a plain style the plain writer, makes in `format`
// of the cells of `modules` (non-zero dark) whose map is `map` (its width x height), with
// `options` and `style` (checked by CheckStyled). Raster formats are sampled in the pixels the
// writer makes, vector formats at the module centres of their drawing; a module under a logo
// counts as changed, whatever the logo shows there. The lines say, for each problem found:
// - unreadable: a block with more wrong codewords than it corrects; contrast below 3:1; a quiet
//   zone or separator that reads dark; finder patterns (and rMQR's sub-finder) wrong along their
//   middle row or column;
//   both copies of the format (the only one in Micro QR) or version information wrong;
// - warnings: a block with more than kStyleDamagePercent of what it corrects wrong; inverted
//   colours; a quiet zone narrower than 4 modules (2 for Micro QR and rMQR); wrong timing,
//   alignment, dark-module or corner-pattern cells; one copy of the format or version information
//   wrong; a printed module under 0.25 mm.
// Throws std::bad_alloc when no memory can be had.
VerifyResult VerifyRendering(ImageFormat format, const ModuleMatrix& modules, const SymbolMap& map,
                             const RenderOptions& options, const StyleOptions& style);

}  // namespace qr
