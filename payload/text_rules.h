// Rules of text that payloads share: checking what a person typed, escaping it for a format,
// folding long lines and percent-encoding. A refusal is one line "<field>: <why>"; "" passes.
#pragma once

#include <cstdint>
#include <string>

#include "payload/payload.h"

namespace qr::payload {

// A refusal with its reason, and a text made, with the limits of its symbol.
Result Refused(std::string reason);
Result Made(std::string text, SymbolLimits limits = SymbolLimits());

// `value` between single quotes for a message, with control characters and bytes outside
// well-formed UTF-8 written as \xHH.
std::string Quoted(const std::string& value);

// The number of characters (code points) of `text`, or -1 when it is not well-formed UTF-8
// (overlong forms, surrogates and code points above U+10FFFF are not).
int CharacterCount(const std::string& text);

// Checks the text of `field`: well-formed UTF-8, no control character but line breaks (CR, LF)
// and those only when `multiline`, and at most `maxCharacters` characters (0: any).
std::string CheckText(const char* field, const std::string& value, bool multiline,
                      int maxCharacters);

// Replaces `*value` by the one of `choices` (ending in null) it equals in any case, or refuses
// it, naming the choices.
std::string ResolveChoice(const char* field, const char* const* choices, std::string* value);

// `text` with a backslash before each character of `special`.
std::string Escape(const std::string& text, const char* special);

// `text` with each line break (CR LF, LF or CR) written as `lineBreak`.
std::string LineBreaksAs(const std::string& text, const char* lineBreak);

// `line` as a content line of RFC 5545 and RFC 6350: cut into pieces of at most 75 octets, never
// inside a UTF-8 sequence, each continuation after CR LF and a space (which counts), and ended by
// CR LF.
std::string ContentLine(const std::string& line);

// `text` as a TEXT value of RFC 5545 and RFC 6350: \\ \; \, and \n for each line break.
std::string EscapeText(const std::string& text);

// The content line "<name>:<value>" with `value` escaped by EscapeText(), or "" when `value` is
// empty.
std::string TextProperty(const std::string& name, const std::string& value);

// `text` with every byte but the unreserved characters of RFC 3986 (letters, digits, - . _ ~)
// and those in `keep` written as %XX in capitals.
std::string PercentEncode(const std::string& text, const char* keep = "");

// `text` without any of the characters in `drop`, and in capitals (ASCII letters only).
std::string Compact(const std::string& text, const char* drop);

// Whether `text` is non-empty and each character is an ASCII digit (and, with `letters`, an ASCII
// letter).
bool AllDigits(const std::string& text, bool letters = false);

// The number that the `count` ASCII digits at `text[at]` make, or -1 when they are not all digits
// or `text` ends before them.
int DigitsAt(const std::string& text, std::size_t at, std::size_t count);

// Reads `text` as a decimal number: an optional -, digits, and optionally a point and digits.
// Returns "" and stores the number times 10^`decimals` at *scaled (a number of more than 12
// whole digits as INT64_MAX with its sign), or refuses it as no number or as having more than
// `decimals` decimals.
std::string ReadDecimal(const char* field, const std::string& text, int decimals,
                        std::int64_t* scaled);

// Whether `year`, `month` and `day` name a day of the Gregorian calendar (years 1 to 9999).
bool IsDate(int year, int month, int day);

}  // namespace qr::payload
