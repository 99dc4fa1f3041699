// The data bit stream: the AppendBits primitive and the writing of a segment list as mode
// indicators, count indicators and data bits.
#include "encoder/bit_stream.h"

#include <cstdint>

#include "encoder/gs1.h"
#include "encoder/qr_encoder.h"
#include "encoder/tables.h"

namespace qr {

namespace {

// 13-bit value of a Shift_JIS double-byte character of Kanji mode, from the range that holds it.
unsigned KanjiValue(unsigned char b0, unsigned char b1) {
    const unsigned code = 256u * b0 + b1;
    const KanjiRange* range = KANJI_RANGES;
    while (code > range->last) ++range;
    const unsigned d = code - range->subtrahend;
    return (d >> 8) * kKanjiValueRowLength + (d & 0xFFu);
}

// Writes fields most significant bit first into whole bytes of a buffer of `capacityBytes`,
// 32 bits at a time through a 64-bit register. A field that would end beyond the capacity fails
// the stream, as AppendBits does: the bits before it stay written and no later field is written.
class StreamWriter {
public:
    StreamWriter(unsigned char* bytes, int capacityBytes)
        : bytes_(bytes), capacityBytes_(capacityBytes) {}

    // Appends the low `count` bits (0..16) of `value`.
    void Put(unsigned value, int count) {
        if (position_ == -1) return;
        if (position_ + count > capacityBytes_ * 8) {
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
        if (out_ < bytes_ + capacityBytes_) *out_ = 0;
        return position_;
    }

private:
    static constexpr int kFlushBits = 32;

    unsigned char* bytes_;
    int capacityBytes_;
    unsigned char* out_ = bytes_;
    std::uint64_t pending_ = 0;
    int pendingBits_ = 0;
    int position_ = 0;
};

// Writes the `length` input bytes of one segment of mode `kMode` as its groups of characters.
// A numeric or alphanumeric group is the number whose digits, in base 10 or 45, are the values
// of its characters, the first character the most significant.
template <int kMode>
void PutCharacters(StreamWriter& stream, const unsigned char* bytes, int length) {
    constexpr ModeInfo kInfo = MODE_TABLE[kMode];
    constexpr int kGroupBytes = kInfo.groupCharacters * kInfo.bytesPerCharacter;
    auto value = [bytes](int at, int characters) {
        if (kMode == MODE_BYTE) return static_cast<unsigned>(bytes[at]);
        if (kMode == MODE_KANJI) return KanjiValue(bytes[at], bytes[at + 1]);
        constexpr unsigned kRadix = kMode == MODE_NUMERIC ? kDigitCount : kAlphanumericCount;
        unsigned number = 0;
        for (int i = 0; i < characters; ++i)
            number = number * kRadix + ALPHANUMERIC_VALUE.of[bytes[at + i]];
        return number;
    };
    int at = 0;
    for (; at + kGroupBytes <= length; at += kGroupBytes) {
        stream.Put(value(at, kInfo.groupCharacters), kInfo.groupBits);
    }
    const int rest = (length - at) / kInfo.bytesPerCharacter;
    if (rest > 0) stream.Put(value(at, rest), kInfo.remainderBits[rest]);
}

// Writes the `length` bytes of GS1 data at `bytes` as alphanumeric characters in pairs: a
// separator as '%', a '%' as two of them.
void PutGs1Alphanumeric(StreamWriter& stream, const unsigned char* bytes, int length) {
    constexpr ModeInfo kInfo = MODE_TABLE[MODE_ALPHANUMERIC];
    const unsigned percent = ALPHANUMERIC_VALUE.of[static_cast<unsigned char>('%')];
    int held = -1;  // the first character of a pair
    auto put = [&](unsigned value) {
        if (held < 0) {
            held = static_cast<int>(value);
        } else {
            stream.Put(static_cast<unsigned>(held) * kAlphanumericCount + value, kInfo.groupBits);
            held = -1;
        }
    };
    for (int i = 0; i < length; ++i) {
        const unsigned char c = bytes[i];
        put(c == kGs1Separator ? percent : ALPHANUMERIC_VALUE.of[c]);
        if (c == '%') put(percent);
    }
    if (held >= 0) stream.Put(static_cast<unsigned>(held), kInfo.remainderBits[1]);
}

}  // namespace

int WriteStream(unsigned char* bytes, int capacityBytes, const StreamField* header, int headerCount,
                const StreamLayout& layout, const unsigned char* data, const SegmentList& list,
                bool gs1) {
    StreamWriter stream(bytes, capacityBytes);
    for (int i = 0; i < headerCount; ++i) stream.Put(header[i].value, header[i].bits);
    const unsigned char* segment = data;
    for (int k = 0; k < list.count; ++k) {
        const int mode = list.modes[k];
        const int length = list.lengths[k];
        const bool gs1Alphanumeric = gs1 && mode == MODE_ALPHANUMERIC;
        stream.Put(layout.indicators[mode], layout.indicatorBits);
        stream.Put(gs1Alphanumeric ? Gs1AlphanumericCharacters(segment, length)
                                   : length / MODE_TABLE[mode].bytesPerCharacter,
                   layout.countBits[mode]);
        switch (mode) {
            case MODE_NUMERIC:
                PutCharacters<MODE_NUMERIC>(stream, segment, length);
                break;
            case MODE_ALPHANUMERIC:
                if (gs1Alphanumeric) {
                    PutGs1Alphanumeric(stream, segment, length);
                } else {
                    PutCharacters<MODE_ALPHANUMERIC>(stream, segment, length);
                }
                break;
            case MODE_BYTE:
                PutCharacters<MODE_BYTE>(stream, segment, length);
                break;
            default:
                PutCharacters<MODE_KANJI>(stream, segment, length);
                break;
        }
        segment += length;
    }
    return stream.Finish();
}

int CQrEncoder::AppendBits(int position, unsigned value, int count) {
    if (position == -1 || position + count > kMaxDataBits) return -1;
    value &= 0xFFFFu;
    for (int bit = count - 1; bit >= 0; --bit, ++position) {
        if ((value >> bit) & 1u) dataCodewords[position >> 3] |= 0x80u >> (position & 7);
    }
    return position;
}

// The structured-append header, the UTF-8 designator and FNC1, as they are set, ahead of the
// segments.
void CQrEncoder::WriteSegments(const unsigned char* data, int versionGroup) {
    constexpr int kMaxHeaderFields = 7;
    StreamField header[kMaxHeaderFields];
    int fields = 0;
    if (structuredAppend.count > 0) {
        header[fields++] = {STRUCTURED_APPEND_MODE_INDICATOR, kModeIndicatorBits};
        header[fields++] = {static_cast<unsigned>(structuredAppend.index), kStructuredIndexBits};
        header[fields++] = {static_cast<unsigned>(structuredAppend.count - 1),
                            kStructuredIndexBits};
        header[fields++] = {structuredAppend.parity, kStructuredParityBits};
    }
    if (utf8Eci) {
        header[fields++] = {ECI_MODE_INDICATOR, kModeIndicatorBits};
        header[fields++] = {kEciUtf8, kEciDesignatorBits};
    }
    if (gs1) header[fields++] = {FNC1_FIRST_MODE_INDICATOR, kModeIndicatorBits};
    dataBitCount = WriteStream(dataCodewords, kMaxDataCodewords, header, fields,
                               QR_STREAM_LAYOUTS[versionGroup], data,
                               SegmentList{segmentModes, segmentLengths, segmentCount}, gs1);
}

}  // namespace qr
