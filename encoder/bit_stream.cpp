// The data bit stream: the AppendBits primitive and the writing of the segment list as mode
// indicators, count indicators and data bits.
#include <cstring>

#include "encoder/qr_encoder.h"
#include "encoder/tables.h"

namespace qr {

namespace {

constexpr unsigned MODE_INDICATOR[4] = {0x1, 0x2, 0x4, 0x8};
constexpr int kModeIndicatorBits = 4;
constexpr int kAlphanumericCharset = 45;

// Value of a character of the 45-character set.
unsigned AlphanumericValue(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    switch (c) {
        case ' ': return 36;
        case '$': return 37;
        case '%': return 38;
        case '*': return 39;
        case '+': return 40;
        case '-': return 41;
        case '.': return 42;
        case '/': return 43;
        default: return 44;  // ':'
    }
}

// 13-bit value of a Shift_JIS double-byte character.
unsigned KanjiValue(unsigned char b0, unsigned char b1) {
    const unsigned code = 256u * b0 + b1;
    const unsigned d = ((code - 0x8140u) & 0xFFFFu) <= 0x1EBCu ? code - 0x8140u
                                                              : (code - 0xC140u) & 0xFFFFu;
    return (d >> 8) * 0xC0u + (d & 0xFFu);
}

}  // namespace

int CQrEncoder::AppendBits(int position, unsigned value, int count) {
    if (position == -1 || position + count > kMaxDataBits) return -1;
    value &= 0xFFFFu;
    for (int bit = count - 1; bit >= 0; --bit, ++position) {
        if ((value >> bit) & 1u) dataCodewords[position >> 3] |= 0x80u >> (position & 7);
    }
    return position;
}

// Step 4: the stream of the final segment list, each segment as mode indicator, count indicator
// (the low W bits of its count) and data.
void CQrEncoder::WriteSegments(const unsigned char* data, int versionGroup) {
    std::memset(dataCodewords, 0, sizeof dataCodewords);
    dataBitCount = 0;
    const unsigned char* segment = data;
    for (int k = 0; k < segmentCount && dataBitCount != -1; ++k) {
        const int mode = segmentModes[k];
        const int length = segmentLengths[k];
        const int countBits = COUNT_INDICATOR_BITS[mode][versionGroup];
        const unsigned count = mode == MODE_KANJI ? length / 2 : length;
        int p = AppendBits(dataBitCount, MODE_INDICATOR[mode], kModeIndicatorBits);
        p = AppendBits(p, count, countBits);
        int i = 0;
        switch (mode) {
            case MODE_NUMERIC:
                for (; i + 3 <= length; i += 3) {
                    p = AppendBits(p,
                                   100u * (segment[i] - '0') + 10u * (segment[i + 1] - '0') +
                                       (segment[i + 2] - '0'),
                                   10);
                }
                if (length - i == 2) {
                    p = AppendBits(p, 10u * (segment[i] - '0') + (segment[i + 1] - '0'), 7);
                } else if (length - i == 1) {
                    p = AppendBits(p, segment[i] - '0', 4);
                }
                break;
            case MODE_ALPHANUMERIC:
                for (; i + 2 <= length; i += 2) {
                    p = AppendBits(p,
                                   kAlphanumericCharset * AlphanumericValue(segment[i]) +
                                       AlphanumericValue(segment[i + 1]),
                                   11);
                }
                if (i < length) p = AppendBits(p, AlphanumericValue(segment[i]), 6);
                break;
            case MODE_BYTE:
                for (; i < length; ++i) p = AppendBits(p, segment[i], 8);
                break;
            default:
                for (; i + 2 <= length; i += 2) {
                    p = AppendBits(p, KanjiValue(segment[i], segment[i + 1]), 13);
                }
                break;
        }
        dataBitCount = p;
        segment += length;
    }
}

}  // namespace qr
