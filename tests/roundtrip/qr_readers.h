// Two independent QR Code readers used as black boxes: zxing-cpp and zbar. Both are asked for the
// raw bytes of the symbol's data, never for text converted to another character set.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tests/roundtrip/bmp_image.h"

namespace qr::test {

using Bytes = std::vector<unsigned char>;

// How zxing-cpp looks for the symbol. kSearch is its ordinary detector (finder patterns found
// anywhere in the image); kPure tells it that the image holds nothing but one upright symbol and
// its quiet zone, which it then samples from the corners directly.
enum class ZxingDetection { kSearch, kPure };

// Decodes the QR Code symbol in `image` with zxing-cpp limited to QR Code. Returns the data bytes
// as the symbol holds them (byte segments unconverted, Kanji segments as Shift_JIS pairs), or
// nothing when no valid symbol was read; `error` then says what zxing-cpp reported.
std::optional<Bytes> ReadWithZxing(const GrayImage& image, ZxingDetection detection,
                                   std::string* error);

// Decodes the Micro QR symbol in `image` with zxing-cpp limited to Micro QR, as ReadWithZxing
// does for QR Code: the data bytes, or nothing with zxing-cpp's report in `error`.
std::optional<Bytes> ReadMicroWithZxing(const GrayImage& image, ZxingDetection detection,
                                        std::string* error);

// Decodes the symbol with zxing-cpp (pure image) and returns its content as UTF-8 text, converted
// from the character set that the symbol's ECI designator names.
std::optional<std::string> ReadTextWithZxing(const GrayImage& image, std::string* error);

// Decodes the QR Code symbol in `image` with zxing-cpp (pure image) and returns its symbology
// identifier ("]Q3" for GS1 data, whose separators are the byte 0x1D) before its data bytes.
std::optional<Bytes> ReadIdentifiedWithZxing(const GrayImage& image, std::string* error);

// A symbol of a structured-append set as zxing-cpp reads it: its bytes, its index from 0, the
// number of symbols (-1 when it is no part of a set) and the set's id, which for QR Code is the
// parity as a decimal number.
struct SequencePart {
    Bytes bytes;
    int index;
    int size;
    std::string id;
};
std::optional<SequencePart> ReadPartWithZxing(const GrayImage& image, std::string* error);

// Decodes the QR Code symbol in `image` with zbar limited to QR Code and set to binary, so that
// it returns the data bytes instead of text guessed into UTF-8. Returns nothing when zbar finds
// no symbol or more than one; `error` then says which.
std::optional<Bytes> ReadWithZbar(const GrayImage& image, std::string* error);

}  // namespace qr::test
