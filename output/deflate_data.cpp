// DeflateData: repeats found by a hash of the next three bytes, which remembers the last place of
// each; a found place is followed as far as the bytes agree, and the stream is one DeflateStream.
#include "output/deflate_data.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "output/checksums.h"
#include "output/deflate.h"

namespace qr {

namespace {

// DeflateData with a hash table of 2^kHashBits places of type Place, each the last place of its
// hash plus one (0: none).
template <typename Place, int kHashBits>
void DeflateWith(const unsigned char* data, std::size_t size, std::string* out) {
    constexpr std::size_t kRememberedCopy = 16;
    Place last[std::size_t{1} << kHashBits] = {};
    auto hash = [&](std::size_t at) {
        const std::uint32_t three = std::uint32_t{data[at]} | std::uint32_t{data[at + 1]} << 8 |
                                    std::uint32_t{data[at + 2]} << 16;
        return (three * 2654435761u) >> (32 - kHashBits);
    };
    DeflateStream stream;
    stream.Reserve(size / 2);
    std::size_t at = 0;
    while (at + kMinCopyLength <= size) {
        const std::uint32_t h = hash(at);
        const std::size_t candidate = last[h];
        last[h] = static_cast<Place>(at + 1);
        std::size_t length = 0;
        if (candidate != 0 && at + 1 - candidate <= kMaxCopyDistance)
            length = MatchLength(data + candidate - 1, data + at, size - at);
        if (length < kMinCopyLength) {
            stream.Literal(data[at++]);
            continue;
        }
        stream.Copy(length, static_cast<int>(at + 1 - candidate));
        // The places inside a short copy are remembered too, so that later repeats find them;
        // a long one is passed over.
        if (length <= kRememberedCopy) {
            const std::size_t end = std::min(at + length, size - (kMinCopyLength - 1));
            for (std::size_t p = at + 1; p < end; ++p) last[hash(p)] = static_cast<Place>(p + 1);
        }
        at += length;
    }
    while (at < size) stream.Literal(data[at++]);
    Adler32 adler;
    adler.Append(data, size);
    stream.FinishZlib(adler.Value(), out);
}

}  // namespace

void DeflateData(const unsigned char* data, std::size_t size, std::string* out) {
    // Short texts take a table small enough to clear at once; places below 2^16 fit two bytes.
    constexpr std::size_t kShortText = 0xFFFF;
    if (size < kShortText) {
        DeflateWith<std::uint16_t, 10>(data, size, out);
    } else {
        DeflateWith<std::uint32_t, 14>(data, size, out);
    }
}

}  // namespace qr
