// Styled output: a symbol drawn with a StyleOptions record, in each format that can draw it. The
// plain writers (writers.h) draw a symbol without style; these draw one with style, from one
// drawing (drawing.h) that every format serialises.
#pragma once

#include <string>

#include "encoder/module_matrix.h"
#include "encoder/symbol_map.h"
#include "output/drawing.h"
#include "output/image_format.h"
#include "output/render_options.h"
#include "output/style_options.h"

namespace qr {

// An empty string when `format` can draw `style` for the symbol of `map` with `options` (checked
// already) and its logo, if any, fits the symbol; else one line that says why not
// (CheckStyle, then CheckLogo).
std::string CheckStyled(ImageFormat format, const SymbolMap& map, const RenderOptions& options,
                        const StyleOptions& style);

// Composes the whole file of `format` for the cells of `modules` (non-zero is dark) whose map is
// `map` (its width x height), with `options` and `style` (checked by CheckStyled) into `bytes`,
// replacing its content. Returns false, with `bytes` empty, when the bytes cannot be made: no
// memory, or the image library failed.
bool ComposeStyled(ImageFormat format, const ModuleMatrix& modules, const SymbolMap& map,
                   const RenderOptions& options, const StyleOptions& style, std::string* bytes);

// The bytes of `format` for the `width` x `height` symbol: with a plain style
// (StyleOptions::Plain) the plain writer's (writers.h), byte for byte as they were before styles,
// and `map` may be null; else ComposeStyled's with the symbol's `map`. Returns false, with `bytes`
// empty, when the writer fails or this build has none for the format.
bool ComposeWithStyle(ImageFormat format, int width, int height, const ModuleMatrix& modules,
                      const SymbolMap* map, const RenderOptions& options, const StyleOptions& style,
                      std::string* bytes);

// The writers of each format, from the drawing, with `unit` points (vector formats) or pixels
// (PNG) to a module. Internal to the styled output.
bool WriteStyledSvg(const Drawing& drawing, double unit, const StyleOptions& style,
                    std::string* svg);
bool WriteStyledEps(const Drawing& drawing, double unit, const RenderOptions& options,
                    const StyleOptions& style, std::string* eps);
bool WriteStyledPdf(const Drawing& drawing, double unit, std::string* pdf);
// PNG from the pixels of the drawing, stating `options.dpi` when given.
bool WriteStyledPng(const Drawing& drawing, int unit, const RenderOptions& options,
                    std::string* png);

}  // namespace qr
