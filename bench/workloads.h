// The workloads every benchmark of this folder measures, made the same way on every run from a
// fixed seed: W1-W6 of the side-by-side comparison and the worst inputs of the segmentation.
#pragma once

#include <string>
#include <vector>

namespace qr::bench {

struct Workload {
    const char* name;
    const char* description;
    int level;                        // 0 L, 1 M, 2 Q, 3 H
    std::vector<unsigned char> data;  // Shift_JIS for the Kanji workload
    bool kanji;                       // the data is Shift_JIS double-byte characters only
    bool binary;                      // the data may hold any byte, zero included

    // The data as a zero-terminated string, for the interfaces that take one.
    const char* CString() const { return text.c_str(); }
    std::string text;
};

// W1-W6, in order.
const std::vector<Workload>& SideBySideWorkloads();

// 7089 bytes alternating between a digit and a lower-case letter, and 4296 characters alternating
// between a digit and a capital letter: every character a run of its own.
const Workload& WorstSegmentationBytes();
const Workload& WorstSegmentationAlphanumeric();

}  // namespace qr::bench
