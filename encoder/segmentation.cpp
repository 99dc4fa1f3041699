// Mode segmentation: classify the input into numeric, alphanumeric, byte and Kanji characters,
// collect runs of one mode, then merge neighbours where the merged form costs fewer bits in the
// stream layout of the symbol: a QR Code version group or a Micro QR version.
#include "encoder/segmentation.h"

#include "encoder/qr_encoder.h"
#include "encoder/tables.h"

namespace qr {

namespace {

// Whether `b` may begin a Kanji character: the first byte of a code in one of the ranges.
constexpr bool IsKanjiLeadByte(unsigned char b) {
    for (const KanjiRange& range : KANJI_RANGES) {
        if (b >= range.first >> 8 && b <= range.last >> 8) return true;
    }
    return false;
}

// The mode of a byte taken alone: numeric for the digits, alphanumeric for the rest of the
// 45-character set, byte for every other value.
constexpr SegmentMode ModeOfByte(unsigned char b) {
    const int value = ALPHANUMERIC_VALUE.of[b];
    return value < kDigitCount          ? MODE_NUMERIC
           : value < kAlphanumericCount ? MODE_ALPHANUMERIC
                                        : MODE_BYTE;
}

// The class of each byte value: its single-byte mode, with kKanjiLead added for the bytes that
// may begin a Kanji pair. Two bytes of one class belong to one run unless the class has
// kKanjiLead.
constexpr unsigned char kKanjiLead = 0x80;

struct ByteClasses {
    unsigned char of[256];
};

constexpr ByteClasses MakeByteClasses() {
    ByteClasses classes{};
    for (int b = 0; b < 256; ++b) {
        const unsigned char byte = static_cast<unsigned char>(b);
        classes.of[b] =
            static_cast<unsigned char>(ModeOfByte(byte) | (IsKanjiLeadByte(byte) ? kKanjiLead : 0));
    }
    return classes;
}

constexpr ByteClasses BYTE_CLASSES = MakeByteClasses();

bool IsNumericAlphanumericPair(unsigned char a, unsigned char b) {
    return (a == MODE_NUMERIC && b == MODE_ALPHANUMERIC) ||
           (a == MODE_ALPHANUMERIC && b == MODE_NUMERIC);
}

// A segment list seen as a list with a movable gap: removing an entry next to
// the gap costs nothing, so a pass that removes entries near its position runs in linear time
// while it behaves exactly as if every removal moved all later entries down by one.
class GapList {
public:
    explicit GapList(const SegmentList& list)
        : modes_(list.modes),
          lengths_(list.lengths),
          gapStart_(list.count),
          gapEnd_(list.count),
          end_(list.count) {}

    int Count() const { return gapStart_ + (end_ - gapEnd_); }
    unsigned char& Mode(int i) { return modes_[Physical(i)]; }
    int& Length(int i) { return lengths_[Physical(i)]; }

    void Remove(int i) {
        MoveGapTo(i);
        ++gapEnd_;
    }

    // Makes the list contiguous again; returns its length.
    int Close() {
        const int count = Count();
        MoveGapTo(count);
        return count;
    }

private:
    int Physical(int i) const { return i < gapStart_ ? i : i + (gapEnd_ - gapStart_); }

    void MoveGapTo(int i) {
        while (gapStart_ > i) {
            --gapStart_;
            --gapEnd_;
            modes_[gapEnd_] = modes_[gapStart_];
            lengths_[gapEnd_] = lengths_[gapStart_];
        }
        while (gapStart_ < i) {
            modes_[gapStart_] = modes_[gapEnd_];
            lengths_[gapStart_] = lengths_[gapEnd_];
            ++gapStart_;
            ++gapEnd_;
        }
    }

    unsigned char* modes_;
    int* lengths_;
    int gapStart_;
    int gapEnd_;
    int end_;
};

}  // namespace

// Kanji pairs are taken greedily from the left, before any single-byte class. A run of bytes of
// one class that cannot begin a Kanji pair is taken whole.
void ClassifyRuns(const unsigned char* data, int length, bool pairKanji, SegmentList& list) {
    unsigned char* const modes = list.modes;
    int* const lengths = list.lengths;
    int count = 0;
    int i = 0;
    while (i < length) {
        const unsigned char byteClass = BYTE_CLASSES.of[data[i]];
        SegmentMode mode;
        int width;
        if (!(byteClass & kKanjiLead)) {
            mode = static_cast<SegmentMode>(byteClass);
            width = 1;
            while (i + width < length && BYTE_CLASSES.of[data[i + width]] == byteClass) ++width;
        } else if (pairKanji && IsKanjiPair(data, length, i)) {
            mode = MODE_KANJI;
            width = 2;
        } else {
            mode = MODE_BYTE;
            width = 1;
        }
        if (count > 0 && modes[count - 1] == mode) {
            lengths[count - 1] += width;
        } else {
            modes[count] = mode;
            lengths[count] = width;
            ++count;
        }
        i += width;
    }
    list.count = count;
}

bool OffersEveryMode(const StreamLayout& layout, const SegmentList& list) {
    for (int k = 0; k < list.count; ++k) {
        if (layout.countBits[list.modes[k]] == 0) return false;
    }
    return true;
}

// Of joining and handing a segment to a byte neighbour, the option that costs fewest bits wins.
// Where the layout has no byte mode the list has no byte segment, so only joining is open.
void MergeNumericAlphanumeric(const StreamLayout& layout, SegmentList& segments) {
    GapList list(segments);
    auto bits = [&layout](int mode, int length) { return SegmentBits(layout, mode, length); };
    int k = 0;
    while (k < list.Count() - 1) {
        const unsigned char m0 = list.Mode(k);
        const unsigned char m1 = list.Mode(k + 1);
        if (!IsNumericAlphanumericPair(m0, m1)) {
            ++k;
            continue;
        }
        const int l0 = list.Length(k);
        const int l1 = list.Length(k + 1);
        const int separate = bits(m0, l0) + bits(m1, l1);
        const int joined = bits(MODE_ALPHANUMERIC, l0 + l1);
        if (separate <= joined) {
            ++k;
            continue;
        }
        int before = 0;
        if (k >= 1 && list.Mode(k - 1) == MODE_BYTE) {
            const int lb = list.Length(k - 1);
            before = bits(MODE_BYTE, lb + l0) + bits(m1, l1);
            if (before > bits(MODE_BYTE, lb) + joined) before = 0;
        }
        int after = 0;
        if (k < list.Count() - 2 && list.Mode(k + 2) == MODE_BYTE) {
            const int la = list.Length(k + 2);
            after = bits(MODE_BYTE, l1 + la) + bits(m0, l0);
            if (after > bits(MODE_BYTE, la) + joined) after = 0;
        }
        if (before != 0 && (after == 0 || before < after)) {
            // Segment k becomes part of the byte segment before it.
            list.Length(k - 1) += l0;
            list.Remove(k);
        } else if (after != 0) {
            // Segment k+1 becomes part of the byte segment after it.
            list.Mode(k + 1) = MODE_BYTE;
            list.Length(k + 1) += list.Length(k + 2);
            list.Remove(k + 2);
        } else {
            if (k < list.Count() - 2 && list.Mode(k + 2) == MODE_ALPHANUMERIC) {
                list.Length(k + 1) += list.Length(k + 2);
                list.Remove(k + 2);
            }
            list.Mode(k) = MODE_ALPHANUMERIC;
            list.Length(k) += list.Length(k + 1);
            list.Remove(k + 1);
            if (k >= 1 && list.Mode(k - 1) == MODE_ALPHANUMERIC) {
                list.Length(k - 1) += list.Length(k);
                list.Remove(k);
            }
        }
    }
    segments.count = list.Close();
}

// After a merge the pass steps back one pair.
void MergeIntoBytes(const StreamLayout& layout, SegmentList& segments) {
    GapList list(segments);
    const int byteHeaderBits = layout.indicatorBits + layout.countBits[MODE_BYTE];
    int k = 0;
    while (k < list.Count() - 1) {
        const int separate = SegmentBits(layout, list.Mode(k), list.Length(k)) +
                             SegmentBits(layout, list.Mode(k + 1), list.Length(k + 1));
        int merged = SegmentBits(layout, MODE_BYTE, list.Length(k) + list.Length(k + 1));
        const bool byteBefore = k >= 1 && list.Mode(k - 1) == MODE_BYTE;
        const bool byteAfter = k < list.Count() - 2 && list.Mode(k + 2) == MODE_BYTE;
        if (byteBefore) merged -= byteHeaderBits;
        if (byteAfter) merged -= byteHeaderBits;
        if (separate <= merged) {
            ++k;
            continue;
        }
        if (byteBefore) {
            list.Length(k - 1) += list.Length(k);
            list.Remove(k);
            --k;
        }
        if (k < list.Count() - 2 && list.Mode(k + 2) == MODE_BYTE) {
            list.Length(k + 1) += list.Length(k + 2);
            list.Remove(k + 2);
        }
        list.Mode(k) = MODE_BYTE;
        list.Length(k) += list.Length(k + 1);
        list.Remove(k + 1);
        if (k >= 1) --k;
    }
    segments.count = list.Close();
}

int CQrEncoder::EstimateSegmentBits(int mode, int length, int versionGroup) const {
    return SegmentBits(QR_STREAM_LAYOUTS[versionGroup], mode, length);
}

int CQrEncoder::EncodeSegments(const unsigned char* data, int length, int versionGroup) {
    segmentCount = 0;
    if (length > kMaxStreamInputBytes) {
        // More bytes than the densest mode puts into 23,648 bits: no segmentation can fit.
        dataBitCount = -1;
        return 0;
    }
    if (gs1) {
        PlanGs1(data, length, versionGroup);
    } else {
        ClassifyRuns(data, length);
        MergeNumericAlphanumeric(versionGroup);
        MergeIntoBytes(versionGroup);
    }
    WriteSegments(data, versionGroup);
    return dataBitCount != -1 ? 1 : 0;
}

// UTF-8 text has no Kanji pairs.
void CQrEncoder::ClassifyRuns(const unsigned char* data, int length) {
    SegmentList list{segmentModes, segmentLengths, 0};
    qr::ClassifyRuns(data, length, !utf8Eci, list);
    segmentCount = list.count;
}

void CQrEncoder::MergeNumericAlphanumeric(int versionGroup) {
    SegmentList list{segmentModes, segmentLengths, segmentCount};
    qr::MergeNumericAlphanumeric(QR_STREAM_LAYOUTS[versionGroup], list);
    segmentCount = list.count;
}

void CQrEncoder::MergeIntoBytes(int versionGroup) {
    SegmentList list{segmentModes, segmentLengths, segmentCount};
    qr::MergeIntoBytes(QR_STREAM_LAYOUTS[versionGroup], list);
    segmentCount = list.count;
}

int CQrEncoder::PlanGs1(const unsigned char* data, int length, int versionGroup) {
    SegmentList list{segmentModes, segmentLengths, 0};
    const int bits =
        PlanGs1Segments(data, length, QR_STREAM_LAYOUTS[versionGroup], runLengths, list);
    segmentCount = list.count;
    return bits;
}

}  // namespace qr
