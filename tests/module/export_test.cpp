// The exported call end to end: the order of its tests and every result code with the options
// that decide it.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "module/tessera.h"
#include "tests/support/test_support.h"

namespace qr {
namespace {

using test::Bytes;

TEST(Export, ResultCodesInTheirOrder) {
    test::TempDir dir;
    const std::string out = "/O" + dir.File("out.bmp");
    const std::string tooLong = "/O" + dir.File(std::string(300, 'n'));
    const std::string missing = "/O" + dir.File("no/such/folder.bmp");
    const std::string big(2900, 'x');  // fits level L only
    struct Case {
        std::vector<std::string> options;
        int result;
    };
    for (const Case& c : std::vector<Case>{
             {{}, TESSERA_NOTHING_TO_DO},
             {{"/Tabc"}, TESSERA_NOTHING_TO_DO},
             {{out}, TESSERA_NOTHING_TO_DO},
             {{"/I" + dir.File("none.txt"), out}, TESSERA_NOTHING_TO_DO},
             {{"/T", out}, TESSERA_CANNOT_ENCODE},
             {{"/T" + big, out}, TESSERA_CANNOT_ENCODE},
             {{"/T" + big, missing}, TESSERA_CANNOT_ENCODE},  // encoding is tested first
             {{"/T" + big, tooLong}, TESSERA_CANNOT_ENCODE},
             {{"/T" + big, "/L0", out}, TESSERA_WRITTEN},
             {{"/T" + std::string(300, 'A'), "/V5", "/EN", out}, TESSERA_CANNOT_ENCODE},
             {{"/T" + std::string(300, 'A'), "/V5", out}, TESSERA_WRITTEN},
             {{"/Tabc", missing}, TESSERA_CANNOT_WRITE},
             {{"/Tabc", tooLong}, TESSERA_CANNOT_WRITE},
             {{"/Tabc", tooLong, out}, TESSERA_WRITTEN},  // a later path wins
             {{"/Tabc", out}, TESSERA_WRITTEN},
         }) {
        SCOPED_TRACE(c.options.empty()
                         ? "(none)"
                         : c.options[0].substr(0, 20) + " ... " + std::to_string(c.options.size()));
        std::string o[4];
        for (std::size_t i = 0; i < c.options.size(); ++i) o[i] = c.options[i];
        std::remove(dir.File("out.bmp").c_str());
        EXPECT_EQ(tessera(o[0].c_str(), o[1].c_str(), o[2].c_str(), o[3].c_str()), c.result);
        EXPECT_EQ(test::FileExists(dir.File("out.bmp")), c.result == TESSERA_WRITTEN);
    }
}

TEST(Export, NullSlotsAreEmptyOptions) {
    test::TempDir dir;
    const std::string out = "/O" + dir.File("out.bmp");
    EXPECT_EQ(tessera(nullptr, nullptr, nullptr, nullptr), TESSERA_NOTHING_TO_DO);
    EXPECT_EQ(tessera(nullptr, "/THello", nullptr, out.c_str()), TESSERA_WRITTEN);
    Bytes file;
    ASSERT_TRUE(test::ReadFile(dir.File("out.bmp"), &file));
    EXPECT_EQ(file.size(), 1918u);
}

TEST(Export, ScaleVersionAndMaskReachTheFile) {
    test::TempDir dir;
    const std::string path = dir.File("out.bmp");
    struct Case {
        std::vector<std::string> options;
        std::size_t size;
    };
    for (const Case& c : std::vector<Case>{
             {{"/TA", "/S1"}, 178},
             {{"/TA", "/V2"}, 2702},
             {{"/TA", "/V40", "/S20"}, 1716862},
             {{"/TA", "/s21"}, 1918},
         }) {
        SCOPED_TRACE(c.options.back());
        std::string o[4];
        for (std::size_t i = 0; i < c.options.size(); ++i) o[i] = c.options[i];
        o[3] = "/O" + path;
        ASSERT_EQ(tessera(o[0].c_str(), o[1].c_str(), o[2].c_str(), o[3].c_str()), TESSERA_WRITTEN);
        Bytes file;
        ASSERT_TRUE(test::ReadFile(path, &file));
        EXPECT_EQ(file.size(), c.size);
    }
}

TEST(Export, AnInputFileIsReadWhole) {
    test::TempDir dir;
    const std::string data = dir.File("data.bin");
    Bytes bytes;
    for (int i = 0; i < 256; ++i) bytes.push_back(static_cast<unsigned char>(i));
    ASSERT_TRUE(test::WriteFile(data, bytes));
    const std::string fromFile = dir.File("file.bmp");
    const std::string fromText = dir.File("text.bmp");
    std::string escaped;
    for (unsigned char b : bytes) escaped += "%" + test::ToHex(&b, 1);
    ASSERT_EQ(tessera(("/I" + data).c_str(), ("/O" + fromFile).c_str(), "", ""), TESSERA_WRITTEN);
    ASSERT_EQ(tessera(("/T" + escaped).c_str(), ("/O" + fromText).c_str(), "", ""),
              TESSERA_WRITTEN);
    Bytes a, b;
    ASSERT_TRUE(test::ReadFile(fromFile, &a));
    ASSERT_TRUE(test::ReadFile(fromText, &b));
    EXPECT_EQ(a, b);
    // Too long for any symbol: result 2 and no file.
    ASSERT_TRUE(test::WriteFile(data, Bytes(7090, '1')));
    EXPECT_EQ(tessera(("/I" + data).c_str(), ("/O" + dir.File("none.bmp")).c_str(), "", ""),
              TESSERA_CANNOT_ENCODE);
    EXPECT_FALSE(test::FileExists(dir.File("none.bmp")));
    ASSERT_TRUE(test::WriteFile(data, Bytes(7089, '1')));
    EXPECT_EQ(tessera(("/I" + data).c_str(), ("/O" + dir.File("max.bmp")).c_str(), "/L0", ""),
              TESSERA_WRITTEN);
}

}  // namespace
}  // namespace qr
