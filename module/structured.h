// Structured append: data spread over 2 to 16 QR Code symbols that a reader joins again. The
// data is planned into parts (as equal as whole characters allow, or filling symbols of one
// version in order), then every part is encoded at one version and one level, with the set's
// header; the status and the reason come in one pass, as Encoder::Encode gives them.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "module/encode.h"

namespace qr {

// The symbols of a set, in order.
class SymbolSet {
public:
    SymbolSet();
    ~SymbolSet();
    SymbolSet(const SymbolSet&) = delete;
    SymbolSet& operator=(const SymbolSet&) = delete;

    std::size_t Size() const { return symbols_.size(); }
    const Symbol& operator[](std::size_t index) const { return *symbols_[index]; }

    // A new symbol at the end of the set, or null when no memory could be had.
    Symbol* Add();
    void Clear();

private:
    std::vector<std::unique_ptr<Symbol>> symbols_;
};

// The offsets (1 .. length-1) at which `length` bytes at `data` may be split between symbols: not
// inside a Kanji pair the encoder would form, nor, for UTF-8 text, inside a UTF-8 sequence.
std::vector<std::size_t> SplitPoints(const unsigned char* data, std::size_t length, bool utf8);

// Encodes `length` bytes at `data` with `encoder` as structured append: with `count` 2..16, in
// that many symbols of parts as equal in length as the split points allow; with `count` 0, in
// symbols of `settings.version` filled in order, the last taking the rest (one plain symbol when
// all fits in one). All symbols share the level (boosted together) and one version, the smallest
// that holds the largest part. Replaces `symbols` with them and returns TESSERA_OK; else, with
// one line in `*why` (when it is not null), TESSERA_ERROR_CANNOT_ENCODE (data longer than 16
// symbols can hold is refused unread), TESSERA_ERROR_BAD_ARGUMENT (a setting out of range, Micro
// QR, a count out of range, or `count` 0 without a version) or TESSERA_ERROR_NO_MEMORY.
Status EncodeStructured(Encoder* encoder, const unsigned char* data, std::size_t length,
                        const EncodeSettings& settings, int count, SymbolSet* symbols,
                        std::string* why);

}  // namespace qr
