// The placement walk read back: which bit of the codeword sequence each free cell of a symbol
// receives. The walk is not written again for this: the encoder's own walk runs once per bit of
// the positions, each time over a sequence whose bit p holds bit `plane` of p + 1, so that every
// cell it reaches gathers its own position plane by plane. Internal to the encoder.
#pragma once

#include <cstdint>
#include <cstring>

#include "encoder/qr_encoder.h"

namespace qr {

// Per cell [x][y]: 1 + the bit of the sequence laid there (bit 7 of its first byte is bit 0), or
// 0 for a cell the walk does not reach.
using WalkPositions = std::int16_t[kMaxSymbolSize][kMaxSymbolSize];

// Runs `lay()`, which lays the `bits` bits at `sequence` into the free cells of `modules` as
// 0x00 or 0x02 and leaves its function cells alone, once per plane, and leaves the positions of
// the `width` x `height` cells in `positions`. `sequence` holds (bits + 7) / 8 bytes; its content
// is replaced.
template <class Lay>
void ReadWalk(int width, int height, int bits, unsigned char* sequence, const ModuleMatrix& modules,
              Lay lay, WalkPositions& positions) {
    for (int x = 0; x < width; ++x) std::memset(positions[x], 0, height * sizeof positions[x][0]);
    for (int plane = 0; (bits >> plane) != 0; ++plane) {
        std::memset(sequence, 0, static_cast<std::size_t>((bits + 7) / 8));
        for (int p = 0; p < bits; ++p) {
            if (((p + 1) >> plane) & 1)
                sequence[p >> 3] |= static_cast<unsigned char>(0x80 >> (p & 7));
        }
        lay();
        for (int x = 0; x < width; ++x) {
            for (int y = 0; y < height; ++y) {
                if ((modules[x][y] & (MODULE_FUNCTION | MODULE_DATA_BIT)) == MODULE_DATA_BIT) {
                    positions[x][y] = static_cast<std::int16_t>(positions[x][y] | 1 << plane);
                }
            }
        }
    }
}

}  // namespace qr
