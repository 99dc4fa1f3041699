// Compressed streams of our own for PNG and PDF: zlib streams (RFC 1950) holding one deflate block
// with Huffman codes made for its content (RFC 1951), the Adler-32 of their data, and the CRC-32
// of PNG chunks. No compression library is needed, so every build (Linux, Windows, WebAssembly)
// writes the same bytes.
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

// The Adler-32 checksum of a zlib stream's data, appended to piece by piece.
class Adler32 {
public:
    // Appends `size` bytes of `data`.
    void Append(const unsigned char* data, std::size_t size);
    // Appends the `size` bytes of `data` `times` times over, at the cost of appending them once.
    void AppendRepeated(const unsigned char* data, std::size_t size, std::size_t times);
    std::uint32_t Value() const { return b_ << 16 | a_; }

private:
    std::uint32_t a_ = 1;
    std::uint32_t b_ = 0;
};

// The CRC-32 of PNG chunks (polynomial 0xEDB88320, reflected), continued from `crc` (0 at the
// start) over `size` bytes of `data`.
std::uint32_t Crc32(std::uint32_t crc, const unsigned char* data, std::size_t size);

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

// The zlib stream of `size` bytes of `data` (text such as PDF content), its repeats found by a
// hash of three bytes that remembers the last place of each, appended to `out`.
void DeflateData(const unsigned char* data, std::size_t size, std::string* out);

}  // namespace qr
