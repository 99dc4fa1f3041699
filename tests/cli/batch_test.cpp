// Batches: file names from the pattern, and whole runs of the command over line files.
#include "cli/batch.h"

#include <gtest/gtest.h>

#include <csignal>
#include <regex>
#include <string>
#include <vector>

#include "output/png_file.h"
#include "output/svg_file.h"
#include "tests/cli/command_runner.h"
#include "tests/support/test_support.h"

namespace qr::test {
namespace {

std::string PngOf(const std::string& data, int level) {
    const auto encoder = EncodeBytes(ToBytes(data), level);
    return Rendered(*encoder, ImageFormat::kPng, 4);
}

std::string FileText(const std::string& path) {
    Bytes bytes;
    return ReadFile(path, &bytes) ? std::string(bytes.begin(), bytes.end()) : "<unreadable>";
}

TEST(Batch, FileNamesFromThePattern) {
    struct Case {
        const char* pattern;
        int number;
        std::string line;
        std::string expected;
    };
    for (const Case& c : std::vector<Case>{
             {"labels/{n}.png", 7, "x", "labels/7.png"},
             {"{n}-{n}.svg", 12, "x", "12-12.svg"},
             {"out/{line}.png", 1, "Order 66/B", "out/Order_66_B.png"},
             {"{line}", 1, "../../etc/passwd", "_._.._etc_passwd"},
             {"{line}", 1, ".hidden", "_hidden"},
             {"{line}", 1, "a.b-c_d", "a.b-c_d"},
             {"{line}", 1, "caf\xc3\xa9 \t*?", "caf______"},  // 2 UTF-8 bytes, 4 others,
             {"{line}", 1, std::string(150, 'z'), std::string(100, 'z')},
             {"{N}{n", 3, "x", "{N}{n"},
         }) {
        SCOPED_TRACE(c.pattern);
        EXPECT_EQ(cli::ExpandPattern(c.pattern, c.number, c.line), c.expected);
    }
}

TEST(Batch, TheSummaryCountsInWords) {
    struct Case {
        cli::BatchCounts counts;
        double seconds;
        int signal;
        const char* expected;
    };
    for (const Case& c : std::vector<Case>{
             {{1, 0, 1, 0},
              1.0,
              0,
              "tessera: 1 written, 0 failed, 1 blank line skipped in 1.00 s (1 code per second)\n"},
             {{3, 1, 2, 5},
              0.5,
              SIGINT,
              "tessera: 3 written, 1 failed, 2 blank lines skipped, 5 not started: interrupted by "
              "SIGINT in 0.50 s (6 codes per second)\n"},
             {{0, 2, 0, 0},
              0.0,
              0,
              "tessera: 0 written, 2 failed in 0.00 s (0 codes per second)\n"},
         }) {
        SCOPED_TRACE(c.expected);
        EXPECT_EQ(cli::SummaryLine(c.counts, c.seconds, c.signal), c.expected);
    }
}

TEST(Batch, LinesAreCutAsTheyArriveAndHoldAtMostTheirShare) {
    struct Case {
        std::vector<std::string> chunks;
        std::string lines;  // each "number:text" with "+cut" or "+blank", joined by '|'
    };
    for (const Case& c : std::vector<Case>{
             {{"a\nb\n"}, "1:a|2:b"},
             {{"a", "b\r", "\nc"}, "1:ab|2:c"},      // a "\r" before "\n" is dropped
             {{"a\rb\n"}, "1:a\rb"},                 // elsewhere it stays
             {{"a\r", "b\n"}, "1:a\rb"},             // also across a read
             {{"\r\r\n", "x\r"}, "1:\r+blank|2:x"},  // and before the end of the data
             {{"abcd\r", "e\n"}, "1:abcd\r+cut"},    // where it takes the last room
             {{"\n \t\n\r\n"}, "1:+blank|2: \t+blank|3:+blank"},
             {{"abcdefgh\nxy"}, "1:abcde+cut|2:xy"},  // 5 bytes kept
             {{"abc", "def", "\n"}, "1:abcde+cut"},
             {{"abcde\r\n"}, "1:abcde"},     // the "\r" takes no room
             {{"     x\n"}, "1:     +cut"},  // cut, so not blank
             {{""}, ""},
         }) {
        SCOPED_TRACE(c.lines);
        cli::LineSplitter splitter(5);
        std::string lines;
        auto take = [&](const cli::LineSplitter::Line& line) {
            if (!lines.empty()) lines += "|";
            lines += std::to_string(line.number) + ":" + line.text + (line.cut ? "+cut" : "") +
                     (line.blank ? "+blank" : "");
        };
        for (const std::string& chunk : c.chunks) splitter.Push(chunk.data(), chunk.size(), take);
        splitter.End(take);
        EXPECT_EQ(lines, c.lines);
    }
}

TEST(Batch, WritesEveryLineAndReportsTheOnesThatFail) {
    TempDir dir;
    const std::string tooLong(1300, 'x');  // more than version 40-H holds in bytes
    ASSERT_TRUE(
        WriteFile(dir.File("list.txt"), ToBytes("alpha\nbeta\r\n\n" + tooLong + "\ngamma")));
    const CommandRun run =
        RunCommand({"--batch", dir.File("list.txt"), "-l", "H", "-o", dir.File("codes/{n}.png")});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    std::smatch summary;
    ASSERT_TRUE(std::regex_match(
        run.err, summary,
        std::regex("tessera: line 4: the data cannot be encoded: it needs 10420 bits and version "
                   "40 at level H holds at most 10208\n"
                   "tessera: 3 written, 1 failed, 1 blank line skipped in [0-9]+\\.[0-9]{2} s "
                   "\\([0-9]+ codes? per second\\)\n")))
        << run.err;
    EXPECT_EQ(FileText(dir.File("codes/1.png")), PngOf("alpha", LEVEL_H));
    EXPECT_EQ(FileText(dir.File("codes/2.png")), PngOf("beta", LEVEL_H));
    EXPECT_EQ(FileText(dir.File("codes/5.png")), PngOf("gamma", LEVEL_H));
    EXPECT_FALSE(FileExists(dir.File("codes/3.png")));
    EXPECT_FALSE(FileExists(dir.File("codes/4.png")));
}

TEST(Batch, ManyLinesFromStandardInputNamedByTheirText) {
    TempDir dir;
    std::string lines;
    for (int i = 0; i < 200; ++i) lines += "item " + std::to_string(i) + "\n";
    const CommandRun run = RunCommand({"--batch", "-", "-t", "svg", "-o", dir.File("{line}"),
                                       "--margin", "1", "--dark", "336699"},
                                      lines);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err.rfind("tessera: 200 written, 0 failed in ", 0), 0u) << run.err;
    for (int i : {0, 57, 199}) {
        SCOPED_TRACE(i);
        const std::string data = "item " + std::to_string(i);
        const auto encoder = EncodeBytes(ToBytes(data), LEVEL_M);
        RenderOptions styled;  // every line is drawn with the flags' margin and colour
        styled.margin = 1;
        styled.dark = 0x336699FF;
        std::string svg;
        ASSERT_TRUE(
            ComposeSvg(encoder->symbolSize, encoder->symbolSize, encoder->modules, styled, &svg));
        EXPECT_EQ(FileText(dir.File("item_" + std::to_string(i))), svg);
    }
}

TEST(Batch, StatusReportsWriteFailuresAndEmptyInput) {
    TempDir dir;
    ASSERT_TRUE(WriteFile(dir.File("list.txt"), ToBytes("one\ntwo\n")));
    ASSERT_TRUE(WriteFile(dir.File("blank.txt"), ToBytes("\n\r\n")));
    ASSERT_TRUE(WriteFile(dir.File("file"), ToBytes("not a folder")));

    CommandRun run = RunCommand({"--batch", dir.File("list.txt"), "-o", dir.File("file/{n}.png")});
    EXPECT_EQ(run.status, 3);
    EXPECT_NE(run.err.find("tessera: line 2: the output file cannot be created: '" +
                           dir.File("file/2.png") + "': a file stands where a folder would be\n"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("tessera: 0 written, 2 failed in "), std::string::npos) << run.err;

    run = RunCommand({"--batch", dir.File("blank.txt"), "-o", dir.File("{n}.png")});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "tessera: nothing to do: '" + dir.File("blank.txt") + "' has no lines\n");

    run = RunCommand({"--batch", dir.File("missing.txt"), "-o", dir.File("{n}.png")});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "tessera: nothing to do: '" + dir.File("missing.txt") +
                           "' cannot be read: no such file\n");
}

}  // namespace
}  // namespace qr::test
