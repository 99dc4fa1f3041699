// The library's table of limits as the command reads it: the rows of the C API's tessera_limit(),
// by name, so that the command's flags, messages and --help state the library's ranges and
// defaults rather than copies of them.
#pragma once

#include <string>

namespace qr::cli {

// The value of row `name` ("version.high") of the library's table. Throws std::logic_error for a
// name the library does not list: a fault of the command, which it reports and stops on.
long long Limit(const char* name);

// Limit(name) as an int, for the ranges of numbers the command reads.
int IntLimit(const char* name);

// "LOW-HIGH" of the rows `prefix`.low and `prefix`.high ("1-40" for "version").
std::string RangeText(const char* prefix);

}  // namespace qr::cli
