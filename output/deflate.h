// Compressed streams of our own for PNG and PDF: zlib streams (RFC 1950) holding one deflate block
// with Huffman codes made for its content (RFC 1951). No compression library is needed, so every
// build (Linux, Windows, WebAssembly) writes the same bytes. Their checksums are in
// output/checksums.h, the compression of whole texts in output/deflate_data.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qr {

class DeflateBits;
struct DeflateCode;

constexpr int kMinCopyLength = 3;        // the shortest back-reference deflate has
constexpr int kMaxCopyLength = 258;      // the longest
constexpr int kMaxCopyDistance = 32768;  // the window

// A deflate stream made of literals and copies of earlier data, in the order they are added.
// Throws std::bad_alloc when no memory can be had.
class DeflateStream {
public:
    // Makes room for `tokens` literals and copies.
    void Reserve(std::size_t tokens) { tokens_.reserve(tokens); }

    // One byte of data as it stands.
    void Literal(unsigned char byte) {
        tokens_.push_back(byte);
        ++literalCounts_[byte];
    }

    // `length` (kMinCopyLength or more, any size) bytes that repeat the data `distance`
    // (1..kMaxCopyDistance) bytes back; a copy may overlap the bytes it makes, so distance 1
    // repeats the last byte.
    void Copy(std::size_t length, int distance) {
        if (length <= kMaxCopyLength) {
            AddCopy(static_cast<int>(length), distance);
        } else {
            CopyPieces(length, distance);
        }
    }

    // Appends to `out` the zlib stream of what was added, one block in Huffman codes made for its
    // symbols' counts or in the fixed codes, whichever is shorter, closed by `adler`, the Adler-32
    // of the data the literals and copies make.
    void FinishZlib(std::uint32_t adler, std::string* out) const;

private:
    void AddCopy(int length, int distance);
    // Copy of a length above kMaxCopyLength, in pieces.
    void CopyPieces(std::size_t length, int distance);
    // Writes every token and the end of the block in `literals` and `distances`.
    void PutTokens(DeflateBits* bits, const DeflateCode& literals,
                   const DeflateCode& distances) const;

    // A literal (below 256) or a copy, length << 16 | distance.
    std::vector<std::uint32_t> tokens_;
    std::uint32_t literalCounts_[286] = {};
    std::uint32_t distanceCounts_[30] = {};
    std::uint64_t extraBits_ = 0;  // of every copy's length and distance
};

// Bits of a code for bytes counted in `counts` (256 of them), each at most 15; 0 for bytes never
// counted.
void ByteCodeBits(const std::uint32_t counts[256], std::uint8_t bits[256]);

// The length symbol (257..285) of a copy of `length` (3..258) bytes and its extra bits; the
// distance symbol (0..29) of `distance` (1..32768) and its extra bits.
struct CodedCopy {
    int lengthSymbol;
    int lengthExtraBits;
    int distanceSymbol;
    int distanceExtraBits;
};
CodedCopy CopySymbols(int length, int distance);

// The length symbol of a copy of `length` (3..258) bytes, from a table; the extra bits of a length
// symbol (257..285).
int LengthSymbol(int length);
int LengthExtraBits(int symbol);

}  // namespace qr
