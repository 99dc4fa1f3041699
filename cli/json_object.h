// A strict reader of one JSON object (RFC 8259) of plain members, the form of a payload's fields
// on a line of a batch.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace qr::cli {

using JsonMembers = std::vector<std::pair<std::string, std::string>>;

// Reads `text` as one JSON object whose values are strings, numbers or booleans (no arrays,
// objects or null), with white space around its parts, into `members` in their order: a string
// as its UTF-8 text (escapes resolved, \u surrogate pairs joined), a number as it is written, a
// boolean as "true" or "false". Returns "", or one line that says what is wrong and at which byte
// (from 1); `members` then holds those read before it.
std::string ReadJsonObject(const std::string& text, JsonMembers* members);

}  // namespace qr::cli
