// The data bit stream: the AppendBits primitive and the writing of the segment list as mode
// indicators, count indicators and data bits.
#include <cstdint>

#include "encoder/qr_encoder.h"
#include "encoder/tables.h"

namespace qr {

namespace {

constexpr unsigned MODE_INDICATOR[4] = {0x1, 0x2, 0x4, 0x8};
constexpr unsigned ECI_MODE_INDICATOR = 0x7;
constexpr int kModeIndicatorBits = 4;
constexpr int kAlphanumericCharset = 45;

// Value of a character of the 45-character set.
unsigned AlphanumericValue(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    switch (c) {
        case ' ':
            return 36;
        case '$':
            return 37;
        case '%':
            return 38;
        case '*':
            return 39;
        case '+':
            return 40;
        case '-':
            return 41;
        case '.':
            return 42;
        case '/':
            return 43;
        default:
            return 44;  // ':'
    }
}

// 13-bit value of a Shift_JIS double-byte character.
unsigned KanjiValue(unsigned char b0, unsigned char b1) {
    const unsigned code = 256u * b0 + b1;
    const unsigned d =
        ((code - 0x8140u) & 0xFFFFu) <= 0x1EBCu ? code - 0x8140u : (code - 0xC140u) & 0xFFFFu;
    return (d >> 8) * 0xC0u + (d & 0xFFu);
}

// Writes fields most significant bit first into whole bytes, 32 bits at a time through a 64-bit
// register. A field that would end beyond bit 23,648 fails the stream, as AppendBits does: the
// bits before it stay written and no later field is written.
class StreamWriter {
public:
    explicit StreamWriter(unsigned char* bytes) : bytes_(bytes) {}

    // Appends the low `count` bits (1..16) of `value`.
    void Put(unsigned value, int count) {
        if (position_ == -1) return;
        if (position_ + count > kMaxDataBits) {
            Finish();
            position_ = -1;
            return;
        }
        pending_ = (pending_ << count) | (value & ((1u << count) - 1));
        pendingBits_ += count;
        position_ += count;
        if (pendingBits_ >= kFlushBits) {
            pendingBits_ -= kFlushBits;
            const std::uint32_t word = static_cast<std::uint32_t>(pending_ >> pendingBits_);
            for (int i = 0; i < 4; ++i) *out_++ = static_cast<unsigned char>(word >> (24 - 8 * i));
        }
    }

    // Writes the bits still held, the last byte filled with zero bits, and one zero byte after
    // it when the buffer has room. Returns the position after the stream, or -1.
    int Finish() {
        while (pendingBits_ >= 8) {
            pendingBits_ -= 8;
            *out_++ = static_cast<unsigned char>(pending_ >> pendingBits_);
        }
        if (pendingBits_ > 0) {
            *out_++ = static_cast<unsigned char>(pending_ << (8 - pendingBits_));
            pendingBits_ = 0;
        }
        if (out_ < bytes_ + kMaxDataCodewords) *out_ = 0;
        return position_;
    }

private:
    static constexpr int kFlushBits = 32;

    unsigned char* bytes_;
    unsigned char* out_ = bytes_;
    std::uint64_t pending_ = 0;
    int pendingBits_ = 0;
    int position_ = 0;
};

}  // namespace

int CQrEncoder::AppendBits(int position, unsigned value, int count) {
    if (position == -1 || position + count > kMaxDataBits) return -1;
    value &= 0xFFFFu;
    for (int bit = count - 1; bit >= 0; --bit, ++position) {
        if ((value >> bit) & 1u) dataCodewords[position >> 3] |= 0x80u >> (position & 7);
    }
    return position;
}

// Step 4: the stream of the final segment list (after the UTF-8 designator when the data is marked
// as UTF-8 text), each segment as mode indicator, count indicator (the low W bits of its count)
// and data, written as AppendBits would write it into a cleared buffer. The stream is followed by zero bits to the end of its last byte and one zero byte.
void CQrEncoder::WriteSegments(const unsigned char* data, int versionGroup) {
    StreamWriter stream(dataCodewords);
    if (utf8Eci) {
        stream.Put(ECI_MODE_INDICATOR, kModeIndicatorBits);
        stream.Put(kEciUtf8, kEciHeaderBits - kModeIndicatorBits);
    }
    const unsigned char* segment = data;
    for (int k = 0; k < segmentCount; ++k) {
        const int mode = segmentModes[k];
        const int length = segmentLengths[k];
        const int countBits = COUNT_INDICATOR_BITS[mode][versionGroup];
        const unsigned count = mode == MODE_KANJI ? length / 2 : length;
        stream.Put(MODE_INDICATOR[mode], kModeIndicatorBits);
        stream.Put(count, countBits);
        int i = 0;
        switch (mode) {
            case MODE_NUMERIC:
                for (; i + 3 <= length; i += 3) {
                    stream.Put(100u * (segment[i] - '0') + 10u * (segment[i + 1] - '0') +
                                   (segment[i + 2] - '0'),
                               10);
                }
                if (length - i == 2) {
                    stream.Put(10u * (segment[i] - '0') + (segment[i + 1] - '0'), 7);
                } else if (length - i == 1) {
                    stream.Put(segment[i] - '0', 4);
                }
                break;
            case MODE_ALPHANUMERIC:
                for (; i + 2 <= length; i += 2) {
                    stream.Put(kAlphanumericCharset * AlphanumericValue(segment[i]) +
                                   AlphanumericValue(segment[i + 1]),
                               11);
                }
                if (i < length) stream.Put(AlphanumericValue(segment[i]), 6);
                break;
            case MODE_BYTE:
                for (; i < length; ++i) stream.Put(segment[i], 8);
                break;
            default:
                for (; i + 2 <= length; i += 2) {
                    stream.Put(KanjiValue(segment[i], segment[i + 1]), 13);
                }
                break;
        }
        segment += length;
    }
    dataBitCount = stream.Finish();
}

}  // namespace qr
