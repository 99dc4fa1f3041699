// The BMP file byte for byte: sizes, headers, the quiet zone, the pixel rule, and how the file
// replaces what was there.
#include "output/bmp_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "module/tessera.h"
#include "tests/support/test_support.h"

namespace qr {
namespace {

using test::Bytes;

std::uint32_t Le32(const Bytes& b, int at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

// Pixel (x, y) of the image, y from the top: true when white.
bool White(const Bytes& file, int x, int y) {
    const int side = static_cast<int>(Le32(file, 18));
    const int rowSize = (side + 31) / 32 * 4;
    const std::size_t row = kBmpHeadersSize + static_cast<std::size_t>(side - 1 - y) * rowSize;
    return (file[row + x / 8] >> (7 - x % 8)) & 1;
}

TEST(BmpFile, SizesOfTheWorkedSymbols) {
    struct Case {
        int symbolSize, scale, side, rowSize, fileSize;
    };
    for (const Case& c : std::vector<Case>{
             {21, 1, 29, 4, 178},
             {21, 4, 116, 16, 1918},
             {25, 4, 132, 20, 2702},
             {177, 20, 3700, 464, 1716862},
         }) {
        SCOPED_TRACE(std::to_string(c.symbolSize) + " at " + std::to_string(c.scale));
        const BmpGeometry g = BmpGeometry::Of(c.symbolSize, c.symbolSize, c.scale);
        EXPECT_EQ(g.imageWidth, c.side);
        EXPECT_EQ(g.imageHeight, c.side);
        EXPECT_EQ(g.rowSize, c.rowSize);
        EXPECT_EQ(g.fileSize, c.fileSize);
        EXPECT_EQ(g.imageSize + kBmpHeadersSize, c.fileSize);
    }
}

TEST(BmpFile, HeadersColourTableAndResolution) {
    int ok = 0;
    auto encoder = test::EncodeBytes(test::ToBytes("01234567"), LEVEL_M, 0, 1, -1, &ok);
    ASSERT_EQ(ok, 1);
    struct Case {
        Rgba dark, light;
        int dpi;
        const char* pixelsPerMetre;  // little-endian hex
        const char* colourTable;     // blue, green, red, 0: dark, then light
    };
    for (const Case& c : std::vector<Case>{
             {kDefaultDark, kDefaultLight, 0, "c40e0000", "00000000ffffff00"},   // 3780
             {0x336699FF, 0xFFEE88FF, 300, "232e0000", "9966330088eeff00"},      // 11811
             {kDefaultDark, kDefaultLight, 72, "130b0000", "00000000ffffff00"},  // 2835
             {0x000000FF, 0x0000FFFF, 100000, "f0123c00", "00000000ff000000"},   // 3937008
             {0xFFFFFFFF, 0x000000FF, 1, "27000000", "ffffff0000000000"},        // 39
         }) {
        SCOPED_TRACE(c.dpi);
        RenderOptions options;
        options.dark = c.dark;
        options.light = c.light;
        options.dpi = c.dpi;
        std::string bytes;
        ASSERT_TRUE(ComposeBmp(encoder->symbolSize, encoder->symbolSize, encoder->modules, options,
                               &bytes));
        const Bytes file(bytes.begin(), bytes.end());
        ASSERT_EQ(file.size(), 1918u);
        EXPECT_EQ(test::ToHex(file.data(), 62),
                  std::string("424d7e07000000000000"
                              "3e000000"  // 'BM', size 1918, offset 62
                              "28000000"
                              "74000000"
                              "74000000"
                              "0100"
                              "0100"  // 40, 116 x 116, 1 plane, 1 bit
                              "00000000"
                              "40070000") +  // no compression, 1856 bytes
                      c.pixelsPerMetre +
                      c.pixelsPerMetre +
                      "00000000"
                      "00000000" +  // all colours used, all important
                      c.colourTable);
    }
}

TEST(BmpFile, PixelsFollowTheModulesWithAWhiteQuietZoneOfTheMargin) {
    struct Case {
        int scale, margin;
    };
    for (const Case& c :
         std::vector<Case>{{1, 4}, {2, 0}, {3, 1}, {4, 4}, {7, 9}, {20, 4}, {1, 64}, {5, 13}}) {
        const int scale = c.scale;
        const int margin = c.margin;
        SCOPED_TRACE("scale " + std::to_string(scale) + " margin " + std::to_string(margin));
        int ok = 0;
        auto encoder =
            test::EncodeBytes(test::ToBytes("tessera writes BMP"), LEVEL_Q, 0, 1, -1, &ok);
        ASSERT_EQ(ok, 1);
        const std::string bytes = test::Rendered(*encoder, ImageFormat::kBmp, scale, margin);
        const Bytes file(bytes.begin(), bytes.end());
        const int n = encoder->symbolSize;
        const int side = (n + 2 * margin) * scale;
        const int rowSize = (side + 31) / 32 * 4;
        for (int y = 0; y < side; ++y) {
            for (int x = 0; x < side; ++x) {
                const int u = x / scale - margin;
                const int v = y / scale - margin;
                const bool dark = u >= 0 && u < n && v >= 0 && v < n && encoder->modules[u][v] != 0;
                ASSERT_EQ(White(file, x, y), !dark) << x << "," << y;
            }
            // Padding bits after the last pixel stay 0.
            const std::size_t row =
                kBmpHeadersSize + static_cast<std::size_t>(side - 1 - y) * rowSize;
            for (int x = side; x < rowSize * 8; ++x)
                ASSERT_EQ((file[row + x / 8] >> (7 - x % 8)) & 1, 0);
        }
        // The finder's top edge in image row margin x scale, then its separator.
        const int top = margin * scale;
        for (int x = top; x < top + 7 * scale; ++x) EXPECT_FALSE(White(file, x, top)) << x;
        EXPECT_TRUE(White(file, top + 7 * scale, top));
    }
}

int Call(const std::string& a, const std::string& b = "", const std::string& c = "",
         const std::string& d = "") {
    return tessera(a.c_str(), b.c_str(), c.c_str(), d.c_str());
}

TEST(BmpFile, ReplacesAFileWholeAndNeverLeavesAPartialOne) {
    test::TempDir dir;
    const std::string out = dir.File("code.bmp");
    ASSERT_TRUE(test::WriteFile(out, Bytes(100000, 0xAB)));
#ifndef _WIN32
    ASSERT_EQ(chmod(out.c_str(), 0640), 0);
#endif
    ASSERT_EQ(Call("/T01234567", "/O" + out), 0);
    Bytes file;
    ASSERT_TRUE(test::ReadFile(out, &file));
    EXPECT_EQ(file.size(), 1918u);
    EXPECT_EQ(file[0], 'B');
#ifndef _WIN32  // POSIX permission bits
    struct stat st;
    ASSERT_EQ(stat(out.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);  // a replaced file keeps its permissions
#endif

    // Failures leave nothing behind: not the target, not a temporary file beside it.
    EXPECT_EQ(Call("/Tabc", "/O" + dir.File("missing/code.bmp")), 3);
    EXPECT_FALSE(test::FileExists(dir.File("missing")));
    EXPECT_EQ(Call("/Tabc", "/O" + dir.path()), 3);
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"code.bmp"});
}

TEST(BmpFile, ASymbolicLinkAtTheTargetIsFollowed) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX symbolic links; Windows links need a privilege to create";
#else
    test::TempDir dir;
    const std::string real = dir.File("real.bmp");
    const std::string link = dir.File("link.bmp");
    ASSERT_TRUE(test::WriteFile(real, test::ToBytes("old")));
    ASSERT_EQ(symlink("real.bmp", link.c_str()), 0);
    ASSERT_EQ(Call("/Tabc", "/O" + link), 0);
    struct stat st;
    ASSERT_EQ(lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    Bytes file;
    ASSERT_TRUE(test::ReadFile(real, &file));
    EXPECT_EQ(file.size(), 1918u);
    // A dangling link creates the file it names.
    const std::string dangling = dir.File("dangling.bmp");
    ASSERT_EQ(symlink("created.bmp", dangling.c_str()), 0);
    ASSERT_EQ(Call("/Tabc", "/O" + dangling), 0);
    EXPECT_TRUE(test::ReadFile(dir.File("created.bmp"), &file));
#endif
}

#ifndef _WIN32
TEST(BmpFile, ALinkPlantedByAnotherUserInASharedFolderIsNotFollowed) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to give a link to another user";
    constexpr uid_t kNobody = 65534;
    test::TempDir dir;
    const std::string shared = dir.File("shared");
    ASSERT_EQ(mkdir(shared.c_str(), 01777), 0);
    ASSERT_EQ(chmod(shared.c_str(), 01777), 0);
    const std::string victim = dir.File("victim.txt");
    ASSERT_TRUE(test::WriteFile(victim, test::ToBytes("keep me")));
    struct Case {
        uid_t owner;
        int result;
    };
    for (const Case& c : std::vector<Case>{{kNobody, 3}, {0, 0}}) {
        SCOPED_TRACE("link owned by uid " + std::to_string(c.owner));
        const std::string link = shared + "/out.bmp";
        std::remove(link.c_str());
        ASSERT_TRUE(test::WriteFile(victim, test::ToBytes("keep me")));
        ASSERT_EQ(symlink(victim.c_str(), link.c_str()), 0);
        ASSERT_EQ(lchown(link.c_str(), c.owner, c.owner), 0);
        EXPECT_EQ(Call("/Tabc", "/O" + link), c.result);
        Bytes file;
        ASSERT_TRUE(test::ReadFile(victim, &file));
        EXPECT_EQ(file.size(), c.result == 0 ? 1918u : 7u);
    }
}
#endif

}  // namespace
}  // namespace qr
