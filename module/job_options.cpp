// Option parsing and input loading for one call.
#include "module/job_options.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "module/deliver.h"
#include "module/encode.h"
#include "module/pipeline.h"
#include "module/symbol.h"
#include "platform/file_io.h"

namespace qr {

namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int InRangeOr(std::int32_t value, Range range, int fallback) {
    return range.Holds(value) ? value : fallback;
}

// Value of a hexadecimal digit; any other character is 0.
unsigned HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return 0;
}

}  // namespace

std::int32_t ParseNumber(const char* text) {
    constexpr std::int64_t kLimit = std::int64_t{1} << 31;  // magnitude of INT32_MIN
    while (IsSpace(*text)) ++text;
    bool negative = false;
    if (*text == '+' || *text == '-') negative = *text++ == '-';
    std::int64_t magnitude = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        if (magnitude <= kLimit) magnitude = magnitude * 10 + (*text - '0');
    }
    if (negative) return magnitude >= kLimit ? INT32_MIN : static_cast<std::int32_t>(-magnitude);
    return magnitude >= kLimit ? INT32_MAX : static_cast<std::int32_t>(magnitude);
}

void JobOptions::ParseOption(const char* text) {
    if (text == nullptr || text[0] != '/') return;
    const char* value = text + 2;
    switch (text[1]) {
        case 'E':
        case 'e':
            if (value[0] == 'N' || value[0] == 'n') allowLargerVersion = 0;
            break;
        case 'I':
        case 'i':
            if (inputLength == 0) LoadInputFile(value);
            break;
        case 'L':
        case 'l':
            level = InRangeOr(ParseNumber(value), kLimits.level, kLimits.defaultLevel);
            break;
        case 'M':
        case 'm':
            maskNumber = InRangeOr(ParseNumber(value), kLimits.mask, kDefaultSetting);
            break;
        case 'O':
        case 'o': {
            // A longer path is refused, not cut: a cut path could name an unrelated file.
            const std::size_t length = std::strlen(value);
            outputPathTooLong = length > static_cast<std::size_t>(kMaxOutputPath);
            if (outputPathTooLong) {
                outputPath[0] = '\0';
            } else {
                std::memcpy(outputPath, value, length + 1);
            }
            break;
        }
        case 'S':
        case 's':
            scale = InRangeOr(ParseNumber(value), kLimits.scale, 0);
            scaleGiven = scale != 0;
            if (!scaleGiven) scale = kLimits.imageScale;
            break;
        case 'T':
        case 't':
            if (inputLength == 0) DecodeTextOption(value);
            break;
        case 'V':
        case 'v':
            requestedVersion = InRangeOr(ParseNumber(value), kLimits.version, 0);
            break;
        default:  // an unknown letter, a high-bit character, or "/" alone
            break;
    }
}

void JobOptions::DecodeTextOption(const char* value) {
    const std::size_t n = std::strlen(value);
    std::int64_t count = 0;
    for (std::size_t p = 0; p < n; p += value[p] == '%' ? 3 : 1) ++count;
    const auto kept = static_cast<std::int64_t>(InputBytesKept());
    if (count > kept) count = kept;
    if (!TakeInputBlock(count)) return;

    // A digit position at or beyond the end of the value reads as 0.
    auto digitAt = [&](std::size_t p) { return p < n ? HexValue(value[p]) : 0u; };
    std::size_t p = 0;
    for (std::int64_t i = 0; i < count; ++i) {
        if (value[p] == '%') {
            inputData[i] = static_cast<unsigned char>(digitAt(p + 1) << 4 | digitAt(p + 2));
            p += 3;
        } else {
            inputData[i] = static_cast<unsigned char>(value[p]);
            p += 1;
        }
    }
    inputLength = static_cast<int>(count);
}

void JobOptions::LoadInputFile(const char* path) {
    platform::InputFile file;
    if (!platform::OpenInputFile(path, &file)) return;
    std::uint64_t size = 0;
    if (platform::InputFileSize(file, &size) && size > 0) {
        const std::uint64_t limit = InputBytesKept();
        const auto kept = static_cast<std::int64_t>(size > limit ? limit : size);
        if (TakeInputBlock(kept)) {
            const std::int64_t read = platform::ReadInputFile(file, inputData, kept);
            if (read < 0) {
                ReleaseInput();
            } else {
                inputLength = static_cast<int>(read);
            }
        }
    }
    platform::CloseInputFile(file);
}

bool JobOptions::TakeInputBlock(std::int64_t length) {
    auto* block = static_cast<unsigned char*>(std::calloc(static_cast<std::size_t>(length) + 1, 1));
    if (block == nullptr) return false;
    ReleaseInput();
    inputData = block;
    return true;
}

void JobOptions::ReleaseInput() {
    std::free(inputData);
    inputData = nullptr;
    inputLength = 0;
}

int JobOptions::RenderAndWrite(int format) const {
    Encoder encoder;
    if (!encoder.Ready()) return TESSERA_ERROR_CANNOT_ENCODE;
    SymbolRecord symbol;
    if (symbol.get() == nullptr) return TESSERA_ERROR_CANNOT_ENCODE;
    EncodeSettings settings;
    settings.level = level;
    settings.version = requestedVersion;
    settings.strictVersion = allowLargerVersion == 0;
    settings.mask = maskNumber;
    // An empty "/T" leaves an empty input, which cannot be encoded.
    if (encoder.Encode(inputData, static_cast<std::size_t>(inputLength), settings, symbol.get()) !=
        TESSERA_OK) {
        return TESSERA_ERROR_CANNOT_ENCODE;
    }
    // A path too long to keep is refused once the data is known to encode.
    if (outputPathTooLong) return TESSERA_ERROR_CANNOT_WRITE;
    OutputSettings output;
    output.format = format;
    output.scale = scaleGiven ? scale : 0;
    std::string bytes;
    if (Render(*symbol.get(), output, &bytes) != TESSERA_OK) return TESSERA_ERROR_CANNOT_WRITE;
    return SaveBytes(outputPath, bytes) == TESSERA_OK ? TESSERA_OK : TESSERA_ERROR_CANNOT_WRITE;
}

int RunSlashOptions(const char* const* options, int count, int format) {
    // The options live for this call only, so calls on different threads do not meet.
    JobOptions job;
    for (int i = 0; i < count; ++i) job.ParseOption(options[i]);
    if (job.inputData == nullptr) return TESSERA_ERROR_NOTHING_TO_DO;
    if (!job.HasOutputPath()) return TESSERA_ERROR_NOTHING_TO_DO;
    return job.RenderAndWrite(format);  // the input is released with the options
}

}  // namespace qr
