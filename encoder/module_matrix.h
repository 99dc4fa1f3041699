// The finished symbol as the writers see it: a square of cells, 0 light and 1 dark, and the limits
// of its size, level and mask. Writers include this instead of the whole encoder record.
#pragma once

namespace qr {

constexpr int kMinVersion = 1;
constexpr int kMaxVersion = 40;
constexpr int kMaxSymbolSize = 4 * kMaxVersion + 17;  // 177 modules per side
constexpr int kLevelCount = 4;                        // L, M, Q, H
constexpr int kMaskCount = 8;                         // mask patterns 0..7

// Indexed [x][y]: x the column from the left, y the row from the top. Only the square of the
// symbol's size is used.
using ModuleMatrix = unsigned char[kMaxSymbolSize][kMaxSymbolSize];

}  // namespace qr
