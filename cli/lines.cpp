// Lines cut from bytes, and the file names made from them.
#include "cli/lines.h"

#include <algorithm>

namespace qr::cli {

namespace {

bool IsBlankByte(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

}  // namespace

void LineSplitter::Add(const char* data, std::size_t size) {
    if (size == 0) return;
    started_ = true;
    if (pendingReturn_) {
        pendingReturn_ = false;
        Keep("\r", 1);  // not before "\n": part of the line
    }
    if (data[size - 1] == '\r') {
        pendingReturn_ = true;
        --size;
    }
    Keep(data, size);
}

void LineSplitter::Keep(const char* data, std::size_t size) {
    const std::size_t room = keep_ - std::min(keep_, line_.text.size());
    line_.text.append(data, std::min(size, room));
    if (size > room) line_.cut = true;
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
    std::size_t at = 0;
    for (std::size_t brace; (brace = pattern.find('{', at)) != std::string::npos;) {
        name.append(pattern, at, brace - at);
        if (pattern.compare(brace, 3, "{n}") == 0) {
            name += std::to_string(number);
            at = brace + 3;
        } else if (pattern.compare(brace, 6, "{line}") == 0) {
            name += SafeFileName(line);
            at = brace + 6;
        } else {
            name += '{';
            at = brace + 1;
        }
    }
    return name.append(pattern, at, std::string::npos);
}

}  // namespace qr::cli
