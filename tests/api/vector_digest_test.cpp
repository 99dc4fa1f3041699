// The SVG, EPS and PDF documents of a few symbols with the default options, pinned byte for byte
// by their sizes and SHA-256 digests in tests/data/vector_digests.tsv, so that any change in their
// bytes is seen. TESSERA_WRITE_VECTOR_DIGESTS=path writes the table anew from this build.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <set>
#include <string>

#include "module/tessera_api.h"
#include "tests/support/test_support.h"

namespace qr::test {
namespace {

constexpr const char* kLevels = "LMQH";

// The row's document as the C API renders it, or "" when the row cannot be encoded or rendered.
std::string Document(const Table& table, const std::vector<std::string>& row) {
    tessera_settings settings;
    tessera_settings_init(&settings);
    const std::string kind = row[table.Column("symbol")];
    settings.micro = kind == "micro";
    settings.rmqr = kind == "rmqr";
    settings.level = static_cast<int>(std::string(kLevels).find(row[table.Column("level")]));
    settings.version = std::stoi(row[table.Column("version")]);
    settings.strict_version = 1;
    std::string data;
    for (int i = std::stoi(row[table.Column("repeat")]); i > 0; --i) {
        data += row[table.Column("data")];
    }
    tessera_symbol* symbol = nullptr;
    if (tessera_encode(data.data(), data.size(), &settings, &symbol) != TESSERA_OK) return "";
    const int format = tessera_format_from_name(row[table.Column("format")].c_str());
    size_t size = 0;
    tessera_render(symbol, format, nullptr, nullptr, 0, &size);
    std::string bytes(size, '\0');
    const bool rendered =
        tessera_render(symbol, format, nullptr, &bytes[0], bytes.size(), &size) == TESSERA_OK;
    tessera_symbol_free(symbol);
    return rendered ? bytes : "";
}

TEST(VectorDigests, EachPinnedDocumentKeepsItsBytes) {
    const std::string path = TESSERA_TEST_DATA "/vector_digests.tsv";
    const Table table = ReadTable(path);
    const int sizeColumn = table.Column("file_size");
    const int digestColumn = table.Column("file_sha256");
    const char* record = std::getenv("TESSERA_WRITE_VECTOR_DIGESTS");
    std::ofstream out;
    if (record != nullptr) {
        out.open(record);
        std::string header = "# ";
        for (const std::string& column : table.columns) header += column + "\t";
        out << header.substr(0, header.size() - 1) << "\n";
    }
    std::set<std::string> covered;
    for (const std::vector<std::string>& row : table.rows) {
        std::string line;
        for (int i = 0; i < sizeColumn; ++i) line += row[i] + " ";
        SCOPED_TRACE(line);
        const std::string bytes = Document(table, row);
        ASSERT_FALSE(bytes.empty());
        const std::string size = std::to_string(bytes.size());
        const std::string digest = Sha256Hex(bytes);
        if (record != nullptr) {
            for (int i = 0; i < sizeColumn; ++i) out << row[i] << "\t";
            out << size << "\t" << digest << "\n";
            continue;
        }
        EXPECT_EQ(size, row[sizeColumn]);
        EXPECT_EQ(digest, row[digestColumn]);
        covered.insert(row[table.Column("symbol")] + " " + row[table.Column("format")]);
    }
    if (record != nullptr)
        GTEST_SKIP() << "recorded " << table.rows.size() << " rows in " << record;
    // Every kind of symbol in every vector format.
    EXPECT_EQ(covered.size(), 9u);
}

}  // namespace
}  // namespace qr::test
