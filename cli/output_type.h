// The image and text formats the command writes, and how a symbol becomes the bytes of one.
#pragma once

#include <string>

#include "encoder/qr_encoder.h"

namespace qr::cli {

enum class OutputType { kBmp, kPng, kSvg, kTxt, kUtf8, kAnsi };

// Whether this build can write `type`: PNG needs libpng.
bool TypeAvailable(OutputType type);

// Pixels per module when none is asked for: 4 for images, 1 for text.
int DefaultScale(OutputType type);

// The type named by `name` ("bmp", "png", "svg", "txt", "utf8", "ansi"). Returns false for any
// other name.
bool TypeFromName(const std::string& name, OutputType* type);

// The type that the extension of `path` names (.bmp .png .svg .txt, either case); BMP for any
// other extension or none.
OutputType TypeFromPath(const std::string& path);

// The bytes of the finished symbol of `encoder` as `type` at `scale` (1..20) pixels per module.
// Returns false when no memory can be had.
bool Render(const CQrEncoder& encoder, OutputType type, int scale, std::string* bytes);

// Why `Encode` failed for `length` bytes at `data` (one line, no "tessera:" prefix): the bits the
// data needs and the most that version 40 at `level` holds, or, when `requestedVersion` (1..40)
// without a larger version was the cause, what that version holds. Overwrites the encoder's
// stream and segment list.
std::string CannotEncodeMessage(CQrEncoder* encoder, const unsigned char* data, std::size_t length,
                                int level, int requestedVersion);

// The letter of an EcLevel (0..3).
char LevelLetter(int level);

}  // namespace qr::cli
