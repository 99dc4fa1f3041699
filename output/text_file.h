// The symbol as text: plain ASCII for files, UTF-8 half blocks and ANSI colours for terminals.
// Every style keeps a light quiet zone of `margin` modules on every side and draws each module as
// `scale` x `scale` pixels; lines end with "\n". Text has no colours of its own to set.
#pragma once

#include <string>

#include "encoder/module_matrix.h"
#include "output/render_options.h"

namespace qr {

enum class TextStyle {
    // One line per pixel row; a pixel is two characters, "##" dark and two spaces light.
    kAscii,
    // Two pixel rows per line, a pixel one character: U+2588 both dark, U+2580 only the upper,
    // U+2584 only the lower, a space neither; below the last row of an odd count is light. Each
    // line is coloured black on white (ANSI_DARK_ON_LIGHT ... ANSI_RESET), so the code reads the
    // same on dark and light terminals.
    kHalfBlocks,
    // One line per pixel row; a pixel is two spaces on a black (ANSI_DARK_BACKGROUND) or white
    // (ANSI_LIGHT_BACKGROUND) background, the colour sent only where it changes, and ANSI_RESET
    // at the end of each line.
    kAnsi,
};

constexpr const char* ANSI_DARK_ON_LIGHT = "\x1b[30;47m";
constexpr const char* ANSI_DARK_BACKGROUND = "\x1b[40m";
constexpr const char* ANSI_LIGHT_BACKGROUND = "\x1b[47m";
constexpr const char* ANSI_RESET = "\x1b[0m";

// The text of `width` x `height` cells of `modules` (non-zero is dark) in `style`, each module
// `scale` pixels wide and high, into `text`, replacing its content; false when no memory can be
// had.
bool ComposeText(int width, int height, const ModuleMatrix& modules, const RenderOptions& options,
                 TextStyle style, std::string* text);

// ComposeText() in `style`, a writer for the table of formats.
template <TextStyle style>
bool ComposeTextIn(int width, int height, const ModuleMatrix& modules, const RenderOptions& options,
                   std::string* text) {
    return ComposeText(width, height, modules, options, style, text);
}

}  // namespace qr
