// Every row of the conformance vectors: segment lists and bit counts of the three version groups,
// the result of Encode, the version and mask, and digests of the codewords and the matrix.
#include <gtest/gtest.h>

#include "tests/support/test_support.h"

namespace qr::test {
namespace {

TEST(EncoderConformance, EveryVectorRowMatches) {
    const Table table = ReadTable(TESSERA_TEST_DATA "/encoder.tsv");
    ASSERT_EQ(table.rows.size(), 600u);
    const int data = table.Column("data_hex");
    const int level = table.Column("level");
    const int version = table.Column("requestedVersion");
    const int larger = table.Column("allowLargerVersion");
    const int mask = table.Column("maskNumber");
    const int result = table.Column("encode_result");
    int checked = 0;
    for (const auto& row : table.rows) {
        SCOPED_TRACE("vector " + row[0] + " data " + row[data].substr(0, 80));
        const Bytes input = FromHex(row[data]);
        auto segmenter = std::make_unique<CQrEncoder>();
        for (int group = 0; group < kVersionGroupCount; ++group) {
            const int fits =
                segmenter->EncodeSegments(input.data(), static_cast<int>(input.size()), group);
            const std::string g = std::to_string(group);
            EXPECT_EQ(SegmentsText(*segmenter), row[table.Column("segments_g" + g)])
                << "group " << g;
            EXPECT_EQ(std::to_string(segmenter->dataBitCount), row[table.Column("bits_g" + g)])
                << "group " << g;
            EXPECT_EQ(fits, segmenter->dataBitCount != -1 ? 1 : 0);
        }
        int encoded = 0;
        auto encoder = EncodeBytes(input, std::stoi(row[level]), std::stoi(row[version]),
                                   std::stoi(row[larger]), std::stoi(row[mask]), &encoded);
        ASSERT_EQ(std::to_string(encoded), row[result]);
        if (encoded) {
            EXPECT_EQ(std::to_string(encoder->version), row[table.Column("version")]);
            EXPECT_EQ(std::to_string(encoder->maskNumber), row[table.Column("mask_applied")]);
            EXPECT_EQ(std::to_string(encoder->symbolSize), row[table.Column("symbolSize")]);
            EXPECT_EQ(Sha256Hex(encoder->finalCodewords, encoder->totalCodewordCount),
                      row[table.Column("final_codewords_sha256")]);
            EXPECT_EQ(Sha256Hex(MatrixText(*encoder)), row[table.Column("modules_sha256")]);
        }
        ++checked;
    }
    EXPECT_EQ(checked, static_cast<int>(table.rows.size()));
}

}  // namespace
}  // namespace qr::test
