// Encoding and writing one symbol.
#include "cli/symbol_job.h"

#include <algorithm>

#include "cli/console.h"
#include "platform/file_io.h"

namespace qr::cli {

SymbolSettings SettingsFrom(const CommandLine& line, OutputType type) {
    SymbolSettings settings;
    settings.level = line.level;
    settings.version = line.version;
    settings.allowLargerVersion = !line.strictVersion;
    settings.mask = line.mask;
    settings.utf8 = line.utf8;
    settings.type = type;
    settings.scale = line.scale != 0 ? line.scale : DefaultScale(type);
    return settings;
}

int EncodeAndWrite(CQrEncoder* encoder, const unsigned char* data, std::size_t length,
                   const SymbolSettings& settings, const std::string& outputPath,
                   std::string* message) {
    // Beyond this length nothing fits, and the encoder says so without reading the rest; a
    // length of 0 would make the encoder measure a zero-terminated text.
    if (!TypeAvailable(settings.type)) {
        *message = "PNG output is not available in this build (it needs libpng)";
        return kCannotWrite;
    }
    const int kept = static_cast<int>(
        std::min<std::size_t>(length, static_cast<std::size_t>(kMaxStreamInputBytes) + 1));
    encoder->utf8Eci = settings.utf8;
    if (kept == 0 ||
        !encoder->Encode(settings.level, settings.version, settings.allowLargerVersion ? 1 : 0,
                         settings.mask, data, kept)) {
        *message = CannotEncodeMessage(encoder, data, length, settings.level,
                                       settings.allowLargerVersion ? 0 : settings.version);
        return kCannotEncode;
    }
    std::string bytes;
    if (!Render(*encoder, settings.type, settings.scale, &bytes)) {
        *message = "the output cannot be made: out of memory";
        return kCannotWrite;
    }
    if (outputPath == kStandardStream) {
        if (WriteStandardOutput(bytes)) return kWritten;
        *message = "standard output cannot be written";
        return kCannotWrite;
    }
    if (platform::ReplaceFile(outputPath.c_str(), bytes.data(), bytes.size())) return kWritten;
    *message = "the output file cannot be created: '" + outputPath + "'";
    return kCannotWrite;
}

}  // namespace qr::cli
