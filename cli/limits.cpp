// The library's table of limits, read through the C API.
#include "cli/limits.h"

#include <cstring>
#include <stdexcept>

#include "module/tessera_api.h"

namespace qr::cli {

long long Limit(const char* name) {
    const char* row = nullptr;
    long long value = 0;
    for (int index = 0; tessera_limit(index, &row, &value) != 0; ++index) {
        if (std::strcmp(row, name) == 0) return value;
    }
    throw std::logic_error(std::string("the library lists no limit ") + name);
}

int IntLimit(const char* name) {
    return static_cast<int>(Limit(name));
}

std::string RangeText(const char* prefix) {
    const std::string row = prefix;
    return std::to_string(Limit((row + ".low").c_str())) + "-" +
           std::to_string(Limit((row + ".high").c_str()));
}

}  // namespace qr::cli
