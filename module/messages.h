// The pipeline's words: the sentences its steps give with a failed status, and the names and
// lists they are made of, so that every caller (the command, the C API and through it the
// bindings) says the same thing the same way. None has a "tessera:" prefix; each is one line.
#pragma once

#include <cstddef>
#include <string>

namespace qr {

// `name` for a message: quoted, with control characters (C0, DEL and C1) and bytes that are not
// UTF-8 written as \xHH, so that a name cannot drive the terminal; other UTF-8 stays as it is.
std::string PrintableName(const std::string& name);

// `value` in quotes: "'65'".
std::string Quoted(int value);

// The letter of a level (TESSERA_LEVEL_L..H): 'L', 'M', 'Q', 'H'.
char LevelLetter(int level);

// The name of rMQR size `version` (1..32): "R7x43" for 1, "R17x139" for 32.
std::string RmqrSizeName(int version);

// The levels that Micro QR `version` (1..4) offers, as words ("L or M"); for 0, those that some
// version offers ("L, M or Q"). Empty for M1, which has none.
std::string MicroLevelNames(int version);

// "{what} must be {low} to {high}{after}, not '{value}'": the refusal of a number out of range.
std::string OutOfRange(const std::string& what, int low, int high, const std::string& after,
                       int value);

// "the data cannot be encoded: {why}".
std::string CannotEncode(const std::string& why);

// "the data cannot be encoded as UTF-8 text: not UTF-8 at byte {offset + 1}".
std::string NotUtf8(std::size_t offset);

// Why data does not fit: "the data cannot be encoded: it needs [at least ]{need} bits and
// {symbol} holds [at most ]{holds}", with " (a larger version is not allowed)" when `strict`.
// `symbol` names the symbol ("version 40 at level H", "M4 at level L", "M1"); `atLeast` says that
// the data was read only in part, `atMost` that it is the largest symbol.
std::string NeedsMoreBits(long need, bool atLeast, const std::string& symbol, int holds,
                          bool atMost, bool strict);

// The names of every format, "bmp, png, ... or pbm-plain"; with `fact` ("colours", "alpha",
// "dpi": tessera_format_fact()), those of the formats that take it, "bmp, png and svg".
std::string FormatNameList();
std::string FormatNamesWith(const char* fact);

}  // namespace qr
