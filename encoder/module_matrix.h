// The finished symbol as the writers see it: a square of cells, 0 light and 1 dark, the limits
// of its size, level and mask, and the quiet zone it needs. Writers include this instead of the
// whole encoder record.
#pragma once

namespace qr {

constexpr int kMinVersion = 1;
constexpr int kMaxVersion = 40;
constexpr int kLevelCount = 4;  // L, M, Q, H
constexpr int kMaskCount = 8;   // mask patterns 0..7

// The modules per side of QR Code `version` (1..40).
constexpr int QrSymbolSize(int version) {
    return 4 * version + 17;
}
constexpr int kMaxSymbolSize = QrSymbolSize(kMaxVersion);  // 177 modules per side

// The light border that a symbol needs around it, in modules: 4 for QR Code, 2 for Micro QR and
// rMQR.
constexpr int kQuietZoneModules = 4;
constexpr int kMicroQuietZoneModules = 2;
constexpr int kRmqrQuietZoneModules = 2;

// Indexed [x][y]: x the column from the left, y the row from the top. Only the square of the
// symbol's size is used.
using ModuleMatrix = unsigned char[kMaxSymbolSize][kMaxSymbolSize];

}  // namespace qr
