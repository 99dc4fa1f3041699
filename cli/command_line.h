// The command's conventional flags, read strictly: a value out of range or a flag that is not
// known is an error, never a silent default.
#pragma once

#include <cstdint>
#include <string>

#include "cli/command.h"
#include "cli/styling.h"
#include "module/settings.h"

namespace qr::cli {

struct CommandLine {
    bool help = false;
    bool showVersion = false;
    bool hasText = false;  // the text argument; without it and without -i, standard input
    std::string text;
    bool standardInput = false;   // "-" in place of the text: standard input even on a terminal
    std::string inputPath;        // -i; empty when not given
    bool hasOutput = false;       // -o; without it, standard output
    std::string outputPath;       // "-" is standard output
    int level = kDefaultSetting;  // TESSERA_LEVEL_*, or the default
    int version = 0;  // 1..40 (Micro QR 1..4, rMQR 1..32), 0 for the smallest that holds the data
    bool strictVersion = false;
    int mask = kDefaultSetting;    // 0..7, or the lowest penalty
    int scale = 0;                 // in the library's range, 0 for the format's default
    int margin = kDefaultSetting;  // in the library's range, or the symbol's default
    std::uint32_t dark = OutputSettings().dark;  // 0xRRGGBBAA
    std::uint32_t light = OutputSettings().light;
    int dpi = 0;  // in the library's range, 0 for none stated
    bool hasType = false;
    int type = TESSERA_FORMAT_BMP;  // a format's number
    bool utf8 = false;          // --utf8: the data is UTF-8 text, marked as such, no Kanji pairs
    bool bytes = false;         // --no-utf8 or --kanji: the data as bytes, UTF-8 text or not
    bool micro = false;         // a Micro QR symbol: --micro, or the last -v M1..M4
    bool microFlag = false;     // --micro
    bool microVersion = false;  // the last -v named M1..M4
    bool boost = false;         // the highest level the version holds
    int split = 0;              // --split N: structured append in N symbols (2..16); 0 for none
    int splitVersion = 0;   // --split-version V: symbols of version V filled in order; 0 for none
    bool rmqr = false;      // an rMQR symbol: --rmqr, --rmqr-height, or the last -v R<h>x<w>
    bool rmqrFlag = false;  // --rmqr
    bool rmqrVersion = false;  // the last -v named an rMQR size
    int rmqrHeight = 0;        // --rmqr-height H: 7..17, odd; 0 for none
    bool gs1 = false;          // --gs1: the data is a GS1 element string
    int fitWidth = 0;          // --fit WxH, in modules; 0 x 0 for none
    int fitHeight = 0;
    std::string
        fitLengths;        // --fit WxH in mm, in or pt, as typed, until --dpi and --scale are known
    bool verbose = false;  // --verbose: one line on standard error saying what was made
    bool batch = false;
    std::string batchPath;  // "-" is standard input
    StylingFlags styling;   // cli/styling.h
    std::string payload;    // --payload KIND: each line of a batch is a JSON object of its fields

    bool Structured() const { return split != 0 || splitVersion != 0; }
};

// The settings the flags ask for, as the pipeline takes them. Without --utf8, --no-utf8 or
// --kanji, data that is UTF-8 text is marked as such (EncodeSettings::utf8WhenText).
EncodeSettings EncodeSettingsOf(const CommandLine& line);

// How the flags ask for the symbol to be drawn. The format is -t's, else the output file's
// extension's, else BMP; for standard output without -t, UTF-8 half blocks when `toTerminal`.
OutputSettings OutputSettingsOf(const CommandLine& line, bool toTerminal);

// Whether the symbol goes to standard output: no -o, or -o -.
bool ToStandardOutput(const CommandLine& line);

// Copies what the flags ask of the drawing (scale, margin, colours, resolution) into `output`,
// leaving its format; the pipeline checks that the format takes them.
void SetRenderFlags(const CommandLine& line, OutputSettings* output);

// Reads `text` as a colour as the library reads every colour (ParseRgba, output/style_options.h):
// RRGGBB or RRGGBBAA in hex digits of either case, with or without a leading '#'; RRGGBB is
// opaque. Returns false, leaving `colour`, for anything else.
bool ParseColour(const std::string& text, std::uint32_t* colour);

// Whether `arg` is a flag written without its value that takes the next argument as its value
// ("-o", "--output").
bool TakesNextArgument(const std::string& arg);

// Reads the arguments after the program name into `line`. Returns an empty string when they are
// valid, else one line that says what is wrong (without a "tessera:" prefix).
std::string ParseCommandLine(int argc, const char* const* argv, CommandLine* line);

}  // namespace qr::cli
