// The deflate writer read back by zlib: every stream inflates to its data, and the checksums are
// zlib's own. The Windows cross build has no zlib to read with.
#if __has_include(<zlib.h>)

#include "output/checksums.h"
#include "output/deflate.h"
#include "output/deflate_data.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string>
#include <vector>

namespace qr::test {
namespace {

std::string Inflated(const std::string& stream, std::size_t size) {
    std::string data(size + 1, '\0');
    uLongf length = data.size();
    if (uncompress(reinterpret_cast<Bytef*>(&data[0]), &length,
                   reinterpret_cast<const Bytef*>(stream.data()), stream.size()) != Z_OK) {
        return "<not a zlib stream>";
    }
    data.resize(length);
    return data;
}

TEST(Deflate, DataInflatesBackWithZlibsChecksums) {
    std::mt19937 random(0xDEF1A7E);
    std::string words;  // text with repeats near and beyond the window
    while (words.size() < 70000)
        words += std::to_string(random() % 400) + (random() % 9 ? " l " : "\n");
    std::string noise(5000, '\0');
    for (char& c : noise) c = static_cast<char>(random());
    struct Case {
        const char* name;
        std::string data;
    };
    for (const Case& c : std::vector<Case>{
             {"empty", ""},
             {"one byte", "x"},
             {"a run longer than a copy", std::string(1000, 'A') + "B"},
             {"text", words},
             {"noise", noise},
         }) {
        SCOPED_TRACE(c.name);
        const auto* bytes = reinterpret_cast<const unsigned char*>(c.data.data());
        std::string stream;
        DeflateData(bytes, c.data.size(), &stream);
        EXPECT_EQ(Inflated(stream, c.data.size()), c.data);
        EXPECT_EQ(Crc32(0, bytes, c.data.size()), crc32(0, bytes, c.data.size()));
        Adler32 adler;
        adler.Append(bytes, c.data.size() / 3);
        adler.AppendRepeated(bytes + c.data.size() / 3, c.data.size() - c.data.size() / 3, 1);
        EXPECT_EQ(adler.Value(), adler32(1, bytes, c.data.size()));
    }
}

TEST(Deflate, CopiesOfEveryLengthAndTheFarthestDistance) {
    std::string data = "abc";
    DeflateStream stream;
    for (const char c : data) stream.Literal(static_cast<unsigned char>(c));
    // Lengths at the edges of one copy, of two and of their length codes; each after a literal.
    for (const std::size_t length : {3, 10, 11, 257, 258, 259, 260, 261, 516, 517, 40000}) {
        stream.Copy(length, 1);
        data += std::string(length, data.back());
        stream.Literal('q');
        data += 'q';
    }
    const std::string far = data.substr(data.size() - kMaxCopyDistance, 300);
    stream.Copy(300, kMaxCopyDistance);
    data += far;
    const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
    Adler32 once;
    once.Append(bytes, data.size());
    std::string out;
    stream.FinishZlib(once.Value(), &out);
    EXPECT_EQ(Inflated(out, data.size()), data);
    // Repeats whose sums fit unreduced, and pieces or repeats beyond them.
    const std::string pieces[] = {data, data.substr(0, 3), data + data};
    for (const std::size_t times : {2, 70000, 1}) {
        const std::string& piece = pieces[times == 2 ? 0 : times == 1 ? 2 : 1];
        SCOPED_TRACE(std::to_string(piece.size()) + " bytes " + std::to_string(times) + " times");
        Adler32 repeated;
        repeated.AppendRepeated(reinterpret_cast<const unsigned char*>(piece.data()), piece.size(),
                                times);
        std::string all;
        for (std::size_t i = 0; i < times; ++i) all += piece;
        EXPECT_EQ(repeated.Value(),
                  adler32(1, reinterpret_cast<const Bytef*>(all.data()), all.size()));
    }
}

}  // namespace
}  // namespace qr::test

#endif
