// The options of one call of the one-export library's tessera(): their defaults (the table's),
// the parsing of the four option strings, the input data they load, and the encoding and writing
// that they drive (RunSlashOptions, module/pipeline.h). Out-of-range values fall back to the
// defaults rather than being refused.
#pragma once

#include <cstdint>

#include "module/limits.h"
#include "module/settings.h"

namespace qr {

// The most characters of an output path; a longer "/O" value is refused rather than cut.
constexpr int kMaxOutputPath = 258;

struct JobOptions {
    int level = kLimits.defaultLevel;  // TESSERA_LEVEL_L..H
    int requestedVersion = 0;          // in the table's range, or 0 for the smallest that holds it
    int allowLargerVersion = 1;
    int maskNumber = kDefaultSetting;  // in the table's range, or the lowest penalty
    int scale = kLimits.imageScale;    // pixels per module, in the table's range
    bool scaleGiven = false;  // the last "/S" held a scale in range; else the format's default
    char outputPath[kMaxOutputPath + 2] = {};
    bool outputPathTooLong = false;      // the last "/O" named more than kMaxOutputPath characters
    unsigned char* inputData = nullptr;  // zero-filled block with a spare zero byte after the data
    int inputLength = 0;

    JobOptions() = default;
    JobOptions(const JobOptions&) = delete;
    JobOptions& operator=(const JobOptions&) = delete;
    ~JobOptions() { ReleaseInput(); }

    // Interprets one option string: "/", a letter in either case, then the value. Anything else
    // is ignored; an out-of-range number restores the option's default.
    void ParseOption(const char* text);

    // Fills the input from a "/T" value, decoding %XX escapes.
    void DecodeTextOption(const char* value);

    // Fills the input from the whole file at `path`; leaves it unchanged when the file cannot be
    // opened or is empty.
    void LoadInputFile(const char* path);

    bool HasOutputPath() const { return outputPath[0] != '\0' || outputPathTooLong; }

    // Encodes the input and writes it as `format` (a format's number: the library's BMP unless the
    // command asks for another). Returns 0 written, 2 cannot be encoded, or 3 the file cannot be
    // created.
    int RenderAndWrite(int format = TESSERA_FORMAT_BMP) const;

    void ReleaseInput();

private:
    // Makes a zero-filled block of `length` bytes (plus a spare zero) the input, releasing any
    // earlier one. Returns false, with the input unchanged, when no memory can be had.
    bool TakeInputBlock(std::int64_t length);
};

// Reads a number as strtol does in base 10 (white space, one sign, digits up to the first
// non-digit), saturated at the 32-bit signed limits; no digits read as 0.
std::int32_t ParseNumber(const char* text);

}  // namespace qr
