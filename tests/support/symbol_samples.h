// The symbols that the independent encoder and the readers check alike: rMQR at every size and
// level, and GS1 element strings for QR Code and rMQR.
#pragma once

#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace qr::test {

struct RmqrSample {
    int version;       // 1..32
    int level;         // LEVEL_M or LEVEL_H
    Bytes data;        // as the encoder takes it: Kanji as Shift_JIS pairs
    std::string utf8;  // the same text in UTF-8
};

// At every size and level, from a fixed seed: the most digits it holds; capitals and punctuation,
// lower-case letters (byte mode) and Kanji, each of a random length that it holds.
std::vector<RmqrSample> RmqrSamples();

// Element strings that GS1 accepts, fields of predefined and of variable length, '%' in the data.
const std::vector<std::string>& Gs1Samples();

// The GS1 data of `text`, which ParseGs1 accepts.
Bytes Gs1Data(const std::string& text);

}  // namespace qr::test
