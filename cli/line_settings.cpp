// What a read command line asks of the pipeline: its encode and output settings and where the
// symbol goes (the contracts are in cli/command_line.h, beside the reading of the flags).
#include "cli/command_line.h"

namespace qr::cli {

EncodeSettings EncodeSettingsOf(const CommandLine& line) {
    EncodeSettings settings;
    settings.level = line.level;
    settings.version = line.version;
    settings.strictVersion = line.strictVersion;
    settings.mask = line.mask;
    settings.utf8 = line.utf8;
    settings.utf8WhenText = !line.utf8 && !line.bytes;
    settings.micro = line.micro;
    settings.boost = line.boost;
    settings.rmqr = line.rmqr;
    settings.rmqrHeight = line.rmqrHeight;
    settings.gs1 = line.gs1;
    settings.fitWidth = line.fitWidth;
    settings.fitHeight = line.fitHeight;
    if (line.splitVersion != 0) settings.version = line.splitVersion;
    return settings;
}

OutputSettings OutputSettingsOf(const CommandLine& line, bool toTerminal) {
    OutputSettings settings;
    if (line.hasType) {
        settings.format = line.type;
    } else if (ToStandardOutput(line)) {
        settings.format = toTerminal ? TESSERA_FORMAT_UTF8 : TESSERA_FORMAT_BMP;
    } else {
        settings.format = tessera_format_from_path(line.outputPath.c_str());
        if (settings.format < 0) settings.format = TESSERA_FORMAT_BMP;
    }
    SetRenderFlags(line, &settings);
    return settings;
}

bool ToStandardOutput(const CommandLine& line) {
    return !line.hasOutput || line.outputPath == kStandardStream;
}

void SetRenderFlags(const CommandLine& line, OutputSettings* output) {
    output->scale = line.scale;
    output->margin = line.margin;
    output->dark = line.dark;
    output->light = line.light;
    output->dpi = line.dpi;
}

}  // namespace qr::cli
