// Every row of the export vectors through the exported function: result code, and the file's
// size and digest (or no file at all).
#include <gtest/gtest.h>

#include "module/tessera.h"
#include "tests/support/test_support.h"

namespace qr::test {
namespace {

std::string Substitute(std::string option, const std::string& out) {
    const std::string marker = "{out}";
    for (std::size_t at; (at = option.find(marker)) != std::string::npos;)
        option.replace(at, marker.size(), out);
    return option;
}

TEST(ExportConformance, EveryVectorRowMatches) {
    const Table table = ReadTable(TESSERA_TEST_DATA "/export.tsv");
    ASSERT_EQ(table.rows.size(), 400u);
    const int first = table.Column("option1_hex");
    for (const auto& row : table.rows) {
        SCOPED_TRACE("vector " + row[0]);
        TempDir dir;
        const std::string out = dir.File("out.bmp");
        std::string options[4];
        for (int i = 0; i < 4; ++i) {
            const Bytes raw = FromHex(row[first + i]);
            options[i] = Substitute(std::string(raw.begin(), raw.end()), out);
        }
        const int result =
            tessera(options[0].c_str(), options[1].c_str(), options[2].c_str(), options[3].c_str());
        ASSERT_EQ(std::to_string(result), row[table.Column("result")]);
        Bytes file;
        if (result == 0) {
            ASSERT_TRUE(ReadFile(out, &file));
            EXPECT_EQ(std::to_string(file.size()), row[table.Column("file_size")]);
            EXPECT_EQ(Sha256Hex(file.data(), file.size()), row[table.Column("file_sha256")]);
        } else {
            EXPECT_FALSE(FileExists(out));
        }
    }
}

}  // namespace
}  // namespace qr::test
