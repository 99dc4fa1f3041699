// Output types, rendering, and the explanation of an encoding failure.
#include "cli/output_type.h"

#include <algorithm>
#include <cctype>
#include <new>
#include <vector>

#include "encoder/tables.h"
#include "output/bmp_file.h"
#ifdef TESSERA_HAVE_PNG
#include "output/png_file.h"
#endif
#include "output/svg_file.h"
#include "output/text_file.h"

namespace qr::cli {

namespace {

constexpr int kDefaultImageScale = 4;
constexpr int kDefaultTextScale = 1;
constexpr int kLargestGroup = kVersionGroupCount - 1;

struct TypeName {
    const char* name;
    OutputType type;
};
constexpr TypeName TYPE_NAMES[] = {
    {"bmp", OutputType::kBmp}, {"png", OutputType::kPng},   {"svg", OutputType::kSvg},
    {"txt", OutputType::kTxt}, {"utf8", OutputType::kUtf8}, {"ansi", OutputType::kAnsi},
};
// Types chosen by a file's extension; the terminal styles have none.
constexpr int kTypesWithExtension = 4;

int DataBits(int version, int level) {
    return VERSION_TABLE[version].dataCodewordCount[level] * 8;
}

// Bits that the stream of `versionGroup` takes for the data. Input longer than one stream can
// hold is costed in pieces of the longest input any symbol holds; `estimated` is then set.
long BitsNeeded(CQrEncoder* encoder, const unsigned char* data, std::size_t length,
                int versionGroup, bool* estimated) {
    long bits = 0;
    *estimated = length > static_cast<std::size_t>(kMaxStreamInputBytes);
    const std::size_t piece = *estimated ? kMaxInputBytes : kMaxStreamInputBytes;
    for (std::size_t at = 0; at < length; at += piece) {
        const int count = static_cast<int>(std::min(piece, length - at));
        if (encoder->EncodeSegments(data + at, count, versionGroup)) {
            bits += encoder->dataBitCount;
            continue;
        }
        // The stream overflowed; its segment list is complete all the same.
        if (encoder->utf8Eci) bits += kEciHeaderBits;
        for (int s = 0; s < encoder->segmentCount; ++s) {
            bits += encoder->EstimateSegmentBits(encoder->segmentModes[s],
                                                 encoder->segmentLengths[s], versionGroup);
        }
    }
    return bits;
}

}  // namespace

bool TypeAvailable(OutputType type) {
#ifdef TESSERA_HAVE_PNG
    (void)type;
    return true;
#else
    return type != OutputType::kPng;
#endif
}

int DefaultScale(OutputType type) {
    switch (type) {
        case OutputType::kBmp:
        case OutputType::kPng:
        case OutputType::kSvg:
            return kDefaultImageScale;
        case OutputType::kTxt:
        case OutputType::kUtf8:
        case OutputType::kAnsi:
            break;
    }
    return kDefaultTextScale;
}

bool TypeFromName(const std::string& name, OutputType* type) {
    for (const TypeName& entry : TYPE_NAMES) {
        if (name == entry.name) {
            *type = entry.type;
            return true;
        }
    }
    return false;
}

OutputType TypeFromPath(const std::string& path) {
    const std::string::size_type dot = path.find_last_of('.');
    const std::string::size_type slash = path.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return OutputType::kBmp;
    }
    std::string extension = path.substr(dot + 1);
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (int i = 0; i < kTypesWithExtension; ++i) {
        if (extension == TYPE_NAMES[i].name) return TYPE_NAMES[i].type;
    }
    return OutputType::kBmp;
}

bool Render(const CQrEncoder& encoder, OutputType type, int scale, std::string* bytes) {
    try {
        switch (type) {
            case OutputType::kBmp: {
                BmpImage image;
                if (!image.Compose(encoder.symbolSize, encoder.modules, scale)) return false;
                bytes->assign(reinterpret_cast<const char*>(image.Bytes()), image.Size());
                return true;
            }
            case OutputType::kPng: {
#ifdef TESSERA_HAVE_PNG
                std::vector<unsigned char> png;
                if (!ComposePng(encoder.symbolSize, encoder.modules, scale, &png)) return false;
                bytes->assign(png.begin(), png.end());
                return true;
#else
                return false;
#endif
            }
            case OutputType::kSvg:
                *bytes = ComposeSvg(encoder.symbolSize, encoder.modules, scale);
                return true;
            case OutputType::kTxt:
                *bytes = ComposeText(encoder.symbolSize, encoder.modules, scale, TextStyle::kAscii);
                return true;
            case OutputType::kUtf8:
                *bytes =
                    ComposeText(encoder.symbolSize, encoder.modules, scale, TextStyle::kHalfBlocks);
                return true;
            case OutputType::kAnsi:
                *bytes = ComposeText(encoder.symbolSize, encoder.modules, scale, TextStyle::kAnsi);
                return true;
        }
    } catch (const std::bad_alloc&) {
    }
    return false;
}

std::string CannotEncodeMessage(CQrEncoder* encoder, const unsigned char* data, std::size_t length,
                                int level, int requestedVersion) {
    if (length == 0) return "the data cannot be encoded: it is empty";
    const char letter = LevelLetter(level);
    bool estimated = false;
    const long need = BitsNeeded(encoder, data, length, kLargestGroup, &estimated);
    const int most = DataBits(kMaxVersion, level);
    if (requestedVersion >= kMinVersion && need <= most) {
        // It fits a larger version than the one that was asked for.
        const long needThere =
            BitsNeeded(encoder, data, length, VersionGroupOf(requestedVersion), &estimated);
        return "the data cannot be encoded: it needs " + std::to_string(needThere) +
               " bits and version " + std::to_string(requestedVersion) + " at level " + letter +
               " holds " + std::to_string(DataBits(requestedVersion, level)) +
               " (a larger version is not allowed)";
    }
    return "the data cannot be encoded: it needs " + std::string(estimated ? "about " : "") +
           std::to_string(need) + " bits and version " + std::to_string(kMaxVersion) +
           " at level " + letter + " holds at most " + std::to_string(most);
}

char LevelLetter(int level) {
    return "LMQH"[level];
}

}  // namespace qr::cli
