// Lines cut from bytes, and the file names made from them.
#include "cli/lines.h"

#include <algorithm>

namespace qr::cli {

namespace {

bool IsBlankByte(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

}  // namespace

void LineSplitter::Add(char c) {
    started_ = true;
    if (pendingReturn_) {
        pendingReturn_ = false;
        Keep('\r');  // not before "\n": part of the line
    }
    if (c == '\r') {
        pendingReturn_ = true;
    } else {
        Keep(c);
    }
}

void LineSplitter::Keep(char c) {
    if (line_.text.size() < keep_) {
        line_.text += c;
    } else {
        line_.cut = true;
    }
}

void LineSplitter::Close() {
    line_.number = ++lines_;
    line_.blank = !line_.cut && std::all_of(line_.text.begin(), line_.text.end(), IsBlankByte);
}

std::string SafeFileName(const std::string& line) {
    std::string name = line.substr(0, kMaxSafeNameBytes);
    for (char& c : name) {
        const bool safe = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                          (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_';
        if (!safe) c = '_';
    }
    if (!name.empty() && name[0] == '.') name[0] = '_';
    return name;
}

std::string ExpandPattern(const std::string& pattern, int number, const std::string& line) {
    std::string name;
    for (std::size_t i = 0; i < pattern.size();) {
        if (pattern.compare(i, 3, "{n}") == 0) {
            name += std::to_string(number);
            i += 3;
        } else if (pattern.compare(i, 6, "{line}") == 0) {
            name += SafeFileName(line);
            i += 6;
        } else {
            name += pattern[i++];
        }
    }
    return name;
}

}  // namespace qr::cli
