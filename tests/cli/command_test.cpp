// The built command run as a child process: slash options as before, conventional flags, the
// output types and the exit statuses with their messages.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "module/messages.h"
#include "module/tessera.h"
#include "output/bmp_file.h"
#include "output/png_file.h"
#include "output/svg_file.h"
#include "output/text_file.h"
#include "output/writers.h"
#include "tests/cli/command_runner.h"
#include "tests/cli/qr_reader.h"
#include "tests/support/test_support.h"

namespace qr::test {
namespace {

std::string Text(const Bytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

std::string BmpOf(const CQrEncoder& encoder, int scale) {
    return Rendered(encoder, ImageFormat::kBmp, scale);
}

std::string PngOf(const CQrEncoder& encoder, int scale) {
    return Rendered(encoder, ImageFormat::kPng, scale);
}

// The bytes of `format` drawn with `options`.
std::string Styled(const CQrEncoder& encoder, ImageFormat format, const RenderOptions& options) {
    std::string bytes;
    EXPECT_TRUE(WriterFor(format)(encoder.symbolSize, encoder.symbolSize, encoder.modules, options,
                                  &bytes));
    return bytes;
}

TEST(Command, SlashOptionsCallTheLibraryUnchanged) {
    TempDir dir;
    const std::string viaCommand = dir.File("command.bmp");
    const std::string viaLibrary = dir.File("library.bmp");
    const CommandRun run = RunCommand({"/THello%20world", "/O" + viaCommand, "/L3", "/S2"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    ASSERT_EQ(tessera("/THello%20world", ("/O" + viaLibrary).c_str(), "/L3", "/S2"), 0);
    Bytes a, b;
    ASSERT_TRUE(ReadFile(viaCommand, &a));
    ASSERT_TRUE(ReadFile(viaLibrary, &b));
    EXPECT_EQ(a, b);
}

TEST(Command, SlashOptionsReportEachResultInOneLine) {
    TempDir dir;
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string err;
    };
    for (const Case& c : std::vector<Case>{
             {{"/THello"}, 1, "tessera: nothing to do: no input data or no output path\n"},
             {{"/Imissing.txt", "/O" + dir.File("a.bmp")},
              1,
              "tessera: nothing to do: no input data or no output path\n"},
             {{"/T", "/O" + dir.File("a.bmp")}, 2, "tessera: the data cannot be encoded\n"},
             {{"/THello", "/V1", "/EN", "/L3%"},
              1,
              "tessera: nothing to do: no input data or no output path\n"},
             {{"/THello there, this is too long", "/O" + dir.File("a.bmp"), "/V1", "/EN"},
              2,
              "tessera: the data cannot be encoded\n"},
             {{"/THello", "/O" + dir.File("no/such/folder/a.bmp")},
              3,
              "tessera: the output file cannot be created\n"},
             {{"/THello", "/O" + dir.File("a.png"), "-t", "png", "/V1", "/EN"}, 0, ""},
             {{"/T", "/O" + dir.File("a.png"), "-t", "png"},
              2,
              "tessera: the data cannot be encoded\n"},
             {{"/THello", "/Ox", "/L1", "/M1", "/S1"},
              64,
              "usage: tessera /Ttext|/Ifile /Opath [/L0-3] [/V1-40] [/EN] [/M0-7] [/S1-20]\n"
              "       (at most four options; see tessera --help)\n"},
             {{"/THello", "/Ox", "-t", "gif"},
              64,
              "tessera: -t takes " + FormatNameList() + ", not 'gif'\n"},
         }) {
        SCOPED_TRACE(c.args[0] + " " + (c.args.size() > 1 ? c.args[1] : ""));
        const CommandRun run = RunCommand(c.args);
        EXPECT_EQ(run.status, c.status);
        EXPECT_EQ(run.err, c.err);
        EXPECT_EQ(run.out, "");
    }
    EXPECT_FALSE(FileExists(dir.File("a.bmp")));
}

TEST(Command, SlashOptionsWithATypeKeepTheLenientRules) {
    TempDir dir;
    // "/L7" restores level M, "/S0" scale 4, "/M9" the automatic mask.
    const CommandRun run =
        RunCommand({"/TAbc%21", "/O" + dir.File("a.png"), "/L7", "-tpng", "/S0"});
    ASSERT_EQ(run.status, 0);
    Bytes png;
    ASSERT_TRUE(ReadFile(dir.File("a.png"), &png));
    EXPECT_EQ(Text(png), PngOf(*EncodeBytes(ToBytes("Abc!"), LEVEL_M), 4));
}

TEST(Command, ConventionalFlagsWriteEachType) {
    TempDir dir;
    const auto encoder = EncodeBytes(ToBytes("Hello"), LEVEL_Q, 3, 1, 5);
    struct Case {
        std::vector<std::string> extra;  // after the common flags
        std::string file;
        std::string expected;
    };
    for (const Case& c : std::vector<Case>{
             {{}, "a.png", PngOf(*encoder, 4)},
             {{}, "a.PNG", PngOf(*encoder, 4)},
             {{"-s", "2"}, "a.bmp", BmpOf(*encoder, 2)},
             {{}, "a.unknown", BmpOf(*encoder, 4)},
             {{"-t", "png"}, "a.bmp", PngOf(*encoder, 4)},
             {{"-s", "3"}, "a.svg", Rendered(*encoder, ImageFormat::kSvg, 3)},
             {{}, "a.txt", Rendered(*encoder, ImageFormat::kTxt, 1)},
             {{"-t", "utf8", "-s", "2"}, "a.out", Rendered(*encoder, ImageFormat::kUtf8, 2)},
             {{"-t", "ansi"}, "a.out", Rendered(*encoder, ImageFormat::kAnsi, 1)},
             {{}, "a.eps", Rendered(*encoder, ImageFormat::kEps, 4)},
             {{"--margin", "2", "--dark", "336699", "--light", "#FFEE8880", "--dpi", "300"},
              "a.png",
              Styled(*encoder, ImageFormat::kPng, {4, 2, 0x336699FF, 0xFFEE8880, 300})},
         }) {
        SCOPED_TRACE(c.file);
        std::vector<std::string> args = {"Hello",         "-l", "Q", "-v", "3", "-m", "5", "-o",
                                         dir.File(c.file)};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        const CommandRun run = RunCommand(args);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.err, "");
        Bytes written;
        ASSERT_TRUE(ReadFile(dir.File(c.file), &written));
        EXPECT_EQ(Text(written), c.expected);
    }
}

TEST(Command, Utf8MarksTheTextAndOtherwiseKeepsTheLibrarysBytes) {
    TempDir dir;
    const std::string text = "東京 — Привет 😀";
    const Bytes data = ToBytes(text);
    auto marked = std::make_unique<CQrEncoder>();
    marked->utf8Eci = true;
    ASSERT_EQ(marked->Encode(LEVEL_M, 0, 1, -1, data.data(), static_cast<int>(data.size())), 1);
    const auto plain = EncodeBytes(data, LEVEL_M);
    const std::string latin1 = "caf\xe9 cr\xe8me";
    const auto latin1Bytes = EncodeBytes(ToBytes(latin1), LEVEL_M);
    struct Case {
        std::vector<std::string> args;
        std::string expected;
    };
    for (const Case& c : std::vector<Case>{
             {{text, "--utf8", "-o", dir.File("a.bmp")}, BmpOf(*marked, 4)},
             {{text, "-o", dir.File("a.bmp")}, BmpOf(*marked, 4)},
             {{text, "--no-utf8", "-o", dir.File("a.bmp")}, BmpOf(*plain, 4)},
             {{text, "--kanji", "-o", dir.File("a.bmp")}, BmpOf(*plain, 4)},
             {{latin1, "-o", dir.File("a.bmp")}, BmpOf(*latin1Bytes, 4)},
         }) {
        SCOPED_TRACE(c.args[0] + " " + c.args[1]);
        const CommandRun run = RunCommand(c.args);
        EXPECT_EQ(run.status, 0);
        Bytes written;
        ASSERT_TRUE(ReadFile(dir.File("a.bmp"), &written));
        EXPECT_EQ(Text(written), c.expected);
    }
    EXPECT_NE(BmpOf(*marked, 4), BmpOf(*plain, 4));
}

TEST(Command, TextAsTypedReadsBackAsTyped) {
    std::string cyrillic, umlauts;
    for (int i = 0; i < 30; ++i) {
        cyrillic += "\xd0\x96";  // Zhe
        umlauts += "\xc3\x84";   // A with diaeresis
    }
    for (const std::string& text :
         {cyrillic, umlauts, std::string("\xe6\x9d\xb1\xe4\xba\xac"), std::string("plain")}) {
        SCOPED_TRACE(text);
        const CommandRun run = RunCommand({text, "-t", "txt", "-o", "-"});
        ASSERT_EQ(run.status, 0) << run.err;
        std::string bytes, shown;
        ASSERT_TRUE(DecodeQr(Enlarge(FromAsciiText(run.out), 4), &bytes, &shown));
        EXPECT_EQ(shown, text);
    }
}

TEST(Command, DataFromTextStandardInputOrFile) {
    TempDir dir;
    const std::string data("line one\nline two\0with a zero byte", 33);
    ASSERT_TRUE(WriteFile(dir.File("data.bin"), ToBytes(data)));
    const std::string expected = BmpOf(*EncodeBytes(ToBytes(data), LEVEL_M), 4);

    CommandRun run = RunCommand({"-o", "-"}, data);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, expected);  // not a terminal: BMP

    run = RunCommand({}, data);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, expected);

    run = RunCommand({"-i", dir.File("data.bin"), "-o", "-"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, expected);

    run = RunCommand({"-t", "txt", "--", "-dash"});
    EXPECT_EQ(run.status, 0);
    const auto dash = EncodeBytes(ToBytes("-dash"), LEVEL_M);
    EXPECT_EQ(run.out, Rendered(*dash, ImageFormat::kTxt, 1));
}

TEST(Command, ExitStatusesAndTheirMessages) {
    TempDir dir;
    ASSERT_TRUE(WriteFile(dir.File("empty"), {}));
    ASSERT_TRUE(WriteFile(dir.File("file"), ToBytes("x")));
    struct Case {
        std::vector<std::string> args;
        std::string input;
        int status;
        std::string err;
    };
    for (const Case& c : std::vector<Case>{
             {{"-o", dir.File("a.png")}, "", 1, "tessera: nothing to do: the input is empty\n"},
             {{"", "-o", dir.File("a.png")}, "", 1, "tessera: nothing to do: the input is empty\n"},
             {{"-i", dir.File("empty"), "-o", dir.File("a.png")},
              "",
              1,
              "tessera: nothing to do: the input is empty\n"},
             {{"-i", dir.File("missing"), "-o", dir.File("a.png")},
              "",
              1,
              "tessera: nothing to do: the input file '" + dir.File("missing") +
                  "' cannot be read: no such file\n"},
             // Byte mode in versions 27-40: 4 + 16 + 8 x 1274 bits.
             {{std::string(1274, 'a'), "-l", "H", "-o", dir.File("a.png")},
              "",
              2,
              "tessera: the data cannot be encoded: it needs 10212 bits and version 40 at level "
              "H holds at most 10208\n"},
             // Numeric: 4 + 14 + 2363 x 10 + 4 bits.
             {{std::string(7090, '7'), "-l", "L", "-o", dir.File("a.png")},
              "",
              2,
              "tessera: the data cannot be encoded: it needs 23652 bits and version 40 at level "
              "L holds at most 23648\n"},
             // UTF-8 text: 12 bits of designator ahead of one byte segment, 4 + 16 + 8 x 3000.
             {{"--utf8", "-l", "H", "-o", dir.File("a.png")},
              std::string(3000, 'u'),
              2,
              "tessera: the data cannot be encoded: it needs 24032 bits and version 40 at level H "
              "holds at most 10208\n"},
             // Longer than anything fits: only 7090 bytes are read, 20 + 8 x 7090 bits.
             {{"-o", dir.File("a.png")},
              std::string(20000, 'a'),
              2,
              "tessera: the data cannot be encoded: it needs at least 56740 bits and version 40 "
              "at level M holds at most 18672\n"},
             // Versions 1-9: byte 4 + 8 + 96 bits, numeric 4 + 10 + 40 + 7 bits.
             {{"hello world 12345678901234", "-l", "H", "-v", "1", "--strict-version", "-o",
               dir.File("a.png")},
              "",
              2,
              "tessera: the data cannot be encoded: it needs 169 bits and version 1 at level H "
              "holds 72 (a larger version is not allowed)\n"},
             {{"--gs1", "[01]09501101530004", "-o", dir.File("a.png")},
              "",
              2,
              "tessera: the data cannot be encoded: GS1 (01): the check digit is 3, not 4\n"},
             // 13 digits: 3 + 4 + 4 x 10 + 4 bits in R7x43, which holds 48 at M.
             {{"1234567890123", "-v", "R7x43", "--strict-version", "-o", dir.File("a.png")},
              "",
              2,
              "tessera: the data cannot be encoded: it needs 51 bits and R7x43 at level M holds 48 "
              "(a larger version is not allowed)\n"},
             {{"12345", "--fit", "14x100", "-o", dir.File("a.png")},
              "",
              2,
              "tessera: the data cannot be encoded: no symbol 14x100 modules with its quiet zone "
              "holds it at level M\n"},
             {{"Hello", "-o", dir.File("file") + "/a.png"},
              "",
              3,
              "tessera: the output file cannot be created: '" + dir.File("file") +
                  "/a.png': a file stands where a folder would be\n"},
             {{"Hello", "-s", "0"},
              "",
              64,
              "tessera: -s takes pixels per module from 1 to 20, not '0'\n"},
             {{"Hello", "--margin", "65", "-o", dir.File("a.png")},
              "",
              64,
              "tessera: --margin takes a quiet zone from 0 to 64 modules, not '65'\n"},
             {{"Hello", "--light", "ffffff80", "-o", dir.File("a.bmp")},
              "",
              64,
              "tessera: bmp has no transparency, so not 'FFFFFF80': give colours with alpha FF\n"},
             {{"Hello", "--dpi", "300", "-o", dir.File("a.pdf")},
              "",
              64,
              "tessera: pdf states no resolution, so not '300' dpi; a resolution is for bmp and "
              "png\n"},
         }) {
        SCOPED_TRACE(c.args[0].substr(0, 20));
        const CommandRun run = RunCommand(c.args, c.input);
        EXPECT_EQ(run.status, c.status);
        EXPECT_EQ(run.err, c.err);
        EXPECT_EQ(run.out, "");
    }
    EXPECT_FALSE(FileExists(dir.File("a.png")));
}

TEST(Command, NoDataOnATerminalIsAUsageErrorNotAWait) {
    if (std::system("command -v script >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "needs script(1) for a terminal";
    }
    TempDir dir;
    // script(1) gives the command a terminal as standard input (and output); -e passes on its
    // exit status.
    const std::string command =
        "script -qec " +
        ShellQuoted(ShellQuoted(TESSERA_COMMAND) + " -o " + ShellQuoted(dir.File("a.png"))) +
        " /dev/null </dev/null >" + ShellQuoted(dir.File("tty"));
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 64);
    Bytes tty;
    ASSERT_TRUE(ReadFile(dir.File("tty"), &tty));
    EXPECT_NE(Text(tty).find("tessera: no data: give TEXT, -i FILE, or data on standard input"),
              std::string::npos)
        << Text(tty);
    EXPECT_FALSE(FileExists(dir.File("a.png")));
}

TEST(Command, HelpAndVersion) {
    CommandRun run = RunCommand({"--version"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "tessera " TESSERA_VERSION_TEXT "\n");
    run = RunCommand({"--help"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.rfind("usage: tessera [options] [TEXT]\n", 0), 0u);
    EXPECT_EQ(run.err, "");
}

}  // namespace
}  // namespace qr::test
