// The command's styling flags: a styled symbol written and read back by zxing-cpp, --verify's
// status and lines, and the refusals of values, files and combinations, each in one line.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "module/tessera_api.h"
#include "tests/cli/command_runner.h"
#include "tests/output/drawn_image.h"

namespace qr::test {
namespace {

constexpr const char* kData = "https://example.com/styled?id=42";

TEST(Styling, FlagsDrawASymbolThatReadsAndVerifyReportsEachProblem) {
    TempDir dir;
    ASSERT_TRUE(
        WriteFile(dir.File("logo.png"), ToBytes(DiscLogoPng(40, 40, 0xCC0000FF, 0xFFFFFFFF))));
    ASSERT_TRUE(WriteFile(dir.File("lines"), ToBytes("a\nb\n")));
    struct Case {
        std::vector<std::string> args;  // after the data
        int status;
        std::string err;
        bool reads;  // the PNG written is decoded
    };
    const std::string png = dir.File("a.png");
    for (const Case& c : std::vector<Case>{
             {{"--shape", "dot", "--finder=rounded", "--data-dark", "203080", "--verify", "-o",
               png},
              0,
              "",
              true},
             {{"--logo", dir.File("logo.png"), "--logo-size", "20", "-o", png, "--verify"},
              0,
              "",
              true},
             {{"--shape", "rounded", "--dark", "BBBBBB", "--verify", "-o", png},
              5,
              "tessera: verify: the finder colours have a contrast of 1.9:1, under 3:1\n",
              false},
             {{"--verify", "--margin", "1", "-o", png},
              5,
              "tessera: verify: a quiet zone of 1 module: readers expect 4\n",
              true},
             {{"--shape", "star", "-o", png},
              64,
              "tessera: --shape takes square, dot, rounded, classy, diamond, hbars or vbars, not "
              "'star'\n",
              false},
             {{"--shape", "-o", png},
              64,
              "tessera: --shape takes square, dot, rounded, classy, diamond, hbars or vbars, not "
              "'-o'\n",
              false},
             {{"--verify=yes", "-o", png}, 64, "tessera: --verify takes no value\n", false},
             {{"--logo", dir.File("missing.png"), "-o", png},
              64,
              "tessera: the logo '" + dir.File("missing.png") + "' cannot be read: no such file\n",
              false},
             {{"--logo", dir.File("logo.png"), "--logo-size", "60", "-o", png},
              64,
              "tessera: a logo of 60% hides more than this symbol's error correction can repair; "
              "21% is the largest that fits\n",
              false},
             {{"--shape", "dot", "-t", "txt", "-o", dir.File("a.txt")},
              64,
              "tessera: txt output takes no styles\n",
              false},
             {{"--gradient", "radial:000000,0000FF", "-o", dir.File("a.eps")},
              64,
              "tessera: eps output takes no gradients\n",
              false},
             // rMQR: written and verified; zxing-cpp does not read it (tests/rmqr_reader does).
             {{"--rmqr", "--shape", "dot", "--verify", "-o", png}, 0, "", false},
         }) {
        SCOPED_TRACE(c.args[0] + " " + c.args[1]);
        std::remove(png.c_str());
        std::vector<std::string> args = {kData};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const CommandRun run = RunCommand(args);
        EXPECT_EQ(run.status, c.status);
        EXPECT_EQ(run.err, c.err);
        Bytes written;
        const bool wasWritten = ReadFile(png, &written);
        EXPECT_EQ(wasWritten, c.status == 0 || c.status == 5);
        if (!wasWritten) continue;
        int width = 0;
        RgbaPixels pixels;
        ASSERT_TRUE(ReadPngPixels(std::string(written.begin(), written.end()), &width, &pixels));
        std::string bytes;
        EXPECT_EQ(DecodeQr(OnWhite(pixels, width, 16), &bytes), c.reads);
        if (c.reads) {
            EXPECT_EQ(bytes, kData);
        }
    }
}

TEST(Styling, EverySymbolOfABatchOrASplitIsStyledReadsAndIsVerified) {
    TempDir dir;
    ASSERT_TRUE(WriteFile(dir.File("lines"), ToBytes("first line\nsecond line\n")));
    ASSERT_TRUE(
        WriteFile(dir.File("logo.png"), ToBytes(DiscLogoPng(40, 40, 0xCC0000FF, 0xFFFFFFFF))));
    const std::vector<std::string> style = {"--shape",     "dot",    "--finder",
                                            "rounded",     "--logo", dir.File("logo.png"),
                                            "--logo-size", "10"};
    const std::string narrow = ": a quiet zone of 1 module: readers expect 4\n";
    struct Case {
        std::vector<std::string> args;
        std::vector<std::string> parts;  // what each file {n} reads
        int status;
        std::string err;  // what standard error starts with (a batch's summary follows)
    };
    for (const Case& c : std::vector<Case>{
             {{"--batch", dir.File("lines"), "-o", dir.File("b{n}.png")},
              {"first line", "second line"},
              0,
              ""},
             {{kData, "--split", "2", "-o", dir.File("s{n}.png")},
              {"https://example.", "com/styled?id=42"},
              0,
              ""},
             {{"--batch", dir.File("lines"), "-o", dir.File("v{n}.png"), "--verify"},
              {"first line", "second line"},
              0,
              ""},
             {{"--batch", dir.File("lines"), "-o", dir.File("m{n}.png"), "--verify", "--margin",
               "1"},
              {"first line", "second line"},
              5,
              "tessera: line 1: verify: '" + dir.File("m1.png") + "'" + narrow +
                  "tessera: line 2: verify: '" + dir.File("m2.png") + "'" + narrow},
             {{kData, "--split", "2", "-o", dir.File("n{n}.png"), "--verify", "--margin", "1"},
              {"https://example.", "com/styled?id=42"},
              5,
              "tessera: verify: '" + dir.File("n1.png") + "'" + narrow + "tessera: verify: '" +
                  dir.File("n2.png") + "'" + narrow},
         }) {
        SCOPED_TRACE(c.args[0] + " " + c.args.back());
        std::vector<std::string> args = c.args;
        args.insert(args.end(), style.begin(), style.end());
        const CommandRun run = RunCommand(args);
        ASSERT_EQ(run.status, c.status) << run.err;
        EXPECT_EQ(run.err.substr(0, c.err.size()), c.err);
        const std::string pattern = *(std::find(args.begin(), args.end(), "-o") + 1);
        std::string plain;
        for (std::size_t n = 1; n <= c.parts.size(); ++n) {
            std::string path = pattern;
            path.replace(path.find("{n}"), 3, std::to_string(n));
            Bytes written;
            ASSERT_TRUE(ReadFile(path, &written));
            int width = 0;
            RgbaPixels pixels;
            ASSERT_TRUE(
                ReadPngPixels(std::string(written.begin(), written.end()), &width, &pixels));
            // Styled: anti-aliased dots give grey pixels, which no plain symbol has.
            EXPECT_TRUE(std::any_of(pixels.begin(), pixels.end(),
                                    [](Rgba p) { return p != 0x000000FF && p != 0xFFFFFFFF; }));
            std::string bytes;
            EXPECT_TRUE(DecodeQr(OnWhite(pixels, width, 16), &bytes));
            EXPECT_EQ(bytes, c.parts[n - 1]);
        }
    }
}

TEST(Styling, VerifyChecksTheFormatsWithoutStylesAtTheirModules) {
    TempDir dir;
    struct Case {
        const char* type;
        std::vector<std::string> args;
        int status;
        std::string err;
    };
    for (const Case& c : std::vector<Case>{
             {"txt", {}, 0, ""},
             {"txt",
              {"--margin", "1"},
              5,
              "tessera: verify: a quiet zone of 1 module: readers expect 4\n"},
             {"utf8",
              {"--margin", "0"},
              5,
              "tessera: verify: a quiet zone of 0 modules: readers expect 4\n"},
             {"xpm",
              {"--dark", "BBBBBB"},
              5,
              "tessera: verify: the finder colours have a contrast of 1.9:1, under 3:1\n"},
             {"pbm", {}, 0, ""},
         }) {
        SCOPED_TRACE(std::string(c.type) + " " + std::to_string(c.args.size()));
        const std::string out = dir.File(std::string("a.") + c.type);
        std::vector<std::string> args = {kData, "--verify", "-t", c.type, "-o", out};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const CommandRun run = RunCommand(args);
        EXPECT_EQ(run.status, c.status);
        EXPECT_EQ(run.err, c.err);
        Bytes written;
        ASSERT_TRUE(ReadFile(out, &written));  // written either way
        if (std::string(c.type) != "txt") continue;
        std::string bytes;
        EXPECT_TRUE(DecodeQr(Enlarge(FromAsciiText(std::string(written.begin(), written.end())), 4),
                             &bytes));
        EXPECT_EQ(bytes, kData);
    }
}

TEST(Styling, HelpNamesEveryStylingFlag) {
    const CommandRun run = RunCommand({"--help"});
    for (const char* flag :
         {"--shape NAME", "--finder NAME", "--finder-dark COLOUR", "--quiet-zone COLOUR",
          "--gradient KIND:FROM,TO", "--logo FILE", "--logo-size PCT", "--title TEXT",
          "--desc TEXT", "--cmyk C,M,Y,K", "--size LENGTH", "--verify"}) {
        EXPECT_NE(run.out.find(flag), std::string::npos) << flag;
    }
    // --gradient spells every kind that the library reads.
    int kinds = 0;
    for (; const char* kind = tessera_style_name(TESSERA_STYLE_GRADIENT, kinds); ++kinds) {
        EXPECT_NE(run.out.find(std::string(kind) + ":RRGGBB,RRGGBB"), std::string::npos) << kind;
    }
    EXPECT_GT(kinds, 0);
}

}  // namespace
}  // namespace qr::test
