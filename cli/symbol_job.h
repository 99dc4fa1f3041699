// One symbol from data to its output: encode, render as the chosen type, write the file or
// standard output. Shared by the single command and the batches.
#pragma once

#include <cstddef>
#include <string>

#include "cli/command_line.h"
#include "cli/output_type.h"
#include "encoder/qr_encoder.h"

namespace qr::cli {

// Result codes, the same as the library's.
constexpr int kWritten = 0;
constexpr int kNothingToDo = 1;
constexpr int kCannotEncode = 2;
constexpr int kCannotWrite = 3;

// The path that means standard output.
constexpr const char* kStandardStream = "-";

struct SymbolSettings {
    int level = 1;
    int version = 0;
    bool allowLargerVersion = true;
    int mask = -1;
    OutputType type = OutputType::kBmp;
    int scale = 4;
    bool utf8 = false;  // mark the data as UTF-8 text (ECI 26) and form no Kanji pairs
};

// The settings that the flags of `line` give for output of `type`; the scale defaults by type.
SymbolSettings SettingsFrom(const CommandLine& line, OutputType type);

// Encodes `length` bytes at `data` with `encoder` (a heap record the caller reuses), renders them
// and writes them to `outputPath` ("-" for standard output). Returns kWritten, kCannotEncode or
// kCannotWrite; on failure `message` holds one line (without a "tessera:" prefix).
int EncodeAndWrite(CQrEncoder* encoder, const unsigned char* data, std::size_t length,
                   const SymbolSettings& settings, const std::string& outputPath,
                   std::string* message);

}  // namespace qr::cli
