// The conventional flags: what each form sets, and the one-line error for each misuse.
#include "cli/command_line.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "module/messages.h"
#include "output/render_options.h"

namespace qr::cli {
namespace {

std::string Parse(const std::vector<std::string>& args, CommandLine* line) {
    std::vector<const char*> argv;
    for (const std::string& arg : args) argv.push_back(arg.c_str());
    return ParseCommandLine(static_cast<int>(argv.size()), argv.data(), line);
}

// The drawing flags that differ from their defaults, as text.
std::string Style(const CommandLine& l) {
    char colours[40];
    std::snprintf(colours, sizeof colours, " dark=%08x light=%08x", static_cast<unsigned>(l.dark),
                  static_cast<unsigned>(l.light));
    return (l.margin != kDefaultSetting ? " margin=" + std::to_string(l.margin) : std::string()) +
           (l.dark != kDefaultDark || l.light != kDefaultLight ? std::string(colours) : "") +
           (l.dpi != 0 ? " dpi=" + std::to_string(l.dpi) : std::string());
}

// The fields a case checks, as one comparable text.
std::string Summary(const CommandLine& l) {
    return "text=" + (l.hasText ? l.text : std::string("<none>")) +
           (l.standardInput ? " stdin" : "") + " in=" + l.inputPath +
           " out=" + (l.hasOutput ? l.outputPath : std::string("<none>")) +
           " level=" + std::to_string(l.level) + " v=" + std::to_string(l.version) +
           (l.strictVersion ? " strict" : "") + " mask=" + std::to_string(l.mask) +
           " scale=" + std::to_string(l.scale) +
           " type=" + (l.hasType ? std::to_string(static_cast<int>(l.type)) : std::string("-")) +
           (l.batch ? " batch=" + l.batchPath : std::string()) + (l.help ? " help" : "") +
           (l.showVersion ? " version" : "") + Style(l) + (l.micro ? " micro" : "") +
           (l.utf8 ? " utf8" : "") + (l.bytes ? " bytes" : "") + (l.rmqr ? " rmqr" : "") +
           (l.rmqrHeight != 0 ? " height=" + std::to_string(l.rmqrHeight) : std::string()) +
           (l.gs1 ? " gs1" : "") +
           (l.fitWidth != 0
                ? " fit=" + std::to_string(l.fitWidth) + "x" + std::to_string(l.fitHeight)
                : std::string()) +
           (l.verbose ? " verbose" : "");
}

TEST(CommandLine, AcceptsEachFormOfEveryFlag) {
    struct Case {
        std::vector<std::string> args;
        std::string expected;
    };
    const std::string defaults = " level=-1 v=0 mask=-1 scale=0 type=-";
    for (const Case& c : std::vector<Case>{
             {{}, "text=<none> in= out=<none>" + defaults},
             {{"Hello"}, "text=Hello in= out=<none>" + defaults},
             {{"-"}, "text=<none> stdin in= out=<none>" + defaults},
             {{"--", "-l"}, "text=-l in= out=<none>" + defaults},
             {{"-o", "a.png", "x"}, "text=x in= out=a.png" + defaults},
             {{"-oa.png", "x"}, "text=x in= out=a.png" + defaults},
             {{"--output=a.png", "x"}, "text=x in= out=a.png" + defaults},
             {{"--output", "-", "x"}, "text=x in= out=-" + defaults},
             {{"-i", "data.bin"}, "text=<none> in=data.bin out=<none>" + defaults},
             {{"-l", "L", "-lq", "--level=H", "x"},
              "text=x in= out=<none> level=3 v=0 mask=-1 scale=0 type=-"},
             {{"-l", "q", "x"}, "text=x in= out=<none> level=2 v=0 mask=-1 scale=0 type=-"},
             {{"-v", "40", "--strict-version", "x"},
              "text=x in= out=<none> level=-1 v=40 strict mask=-1 scale=0 type=-"},
             {{"--symbol-version=07", "x"},
              "text=x in= out=<none> level=-1 v=7 mask=-1 scale=0 type=-"},
             {{"-m", "0", "-s", "20", "x"},
              "text=x in= out=<none> level=-1 v=0 mask=0 scale=20 type=-"},
             {{"--mask=7", "--scale", "1", "x"},
              "text=x in= out=<none> level=-1 v=0 mask=7 scale=1 type=-"},
             {{"-t", "ansi", "x"}, "text=x in= out=<none> level=-1 v=0 mask=-1 scale=0 type=5"},
             {{"--type=svg", "x"}, "text=x in= out=<none> level=-1 v=0 mask=-1 scale=0 type=2"},
             {{"-t", "PNG", "x"}, "text=x in= out=<none> level=-1 v=0 mask=-1 scale=0 type=1"},
             {{"--batch", "list.txt", "-o", "out/{n}.png"},
              "text=<none> in= out=out/{n}.png" + defaults + " batch=list.txt"},
             {{"--batch=-", "-o", "{line}.svg"},
              "text=<none> in= out={line}.svg" + defaults + " batch=-"},
             {{"--help"}, "text=<none> in= out=<none>" + defaults + " help"},
             {{"-h", "--strict-version"},
              "text=<none> in= out=<none> level=-1 v=0 strict mask=-1 scale=0 type=- help"},
             {{"--version"}, "text=<none> in= out=<none>" + defaults + " version"},
             {{"--margin", "0", "--dpi=100000", "--dark", "#1a2B3c", "x"},
              "text=x in= out=<none>" + defaults +
                  " margin=0 dark=1a2b3cff light=ffffffff dpi=100000"},
             {{"--margin=64", "--dpi", "1", "--light=FFFFFF00", "--dark", "00000080", "x"},
              "text=x in= out=<none>" + defaults + " margin=64 dark=00000080 light=ffffff00 dpi=1"},
             {{"--dark", "#000000FF", "--light", "ffffff", "x"},
              "text=x in= out=<none>" + defaults},
             // -v N is MN with --micro, before or after it; the last -v names the version.
             {{"--micro", "-v", "2", "x"},
              "text=x in= out=<none> level=-1 v=2 mask=-1 scale=0 type=- micro"},
             {{"-v", "2", "--micro", "x"},
              "text=x in= out=<none> level=-1 v=2 mask=-1 scale=0 type=- micro"},
             {{"-v", "M2", "-v", "5", "x"},
              "text=x in= out=<none> level=-1 v=5 mask=-1 scale=0 type=-"},
             {{"--utf8", "x"}, "text=x in= out=<none>" + defaults + " utf8"},
             {{"--no-utf8", "x"}, "text=x in= out=<none>" + defaults + " bytes"},
             {{"--kanji", "x"}, "text=x in= out=<none>" + defaults + " bytes"},
             // -v R<h>x<w> names an rMQR size and asks for rMQR, as --rmqr-height does.
             {{"-v", "r11X59", "-l", "H", "x"},
              "text=x in= out=<none> level=3 v=13 mask=-1 scale=0 type=- rmqr"},
             {{"--rmqr", "-v", "32", "x"},
              "text=x in= out=<none> level=-1 v=32 mask=-1 scale=0 type=- rmqr"},
             {{"--rmqr-height=17", "x"}, "text=x in= out=<none>" + defaults + " rmqr height=17"},
             {{"-v", "R7x43", "-v", "5", "x"},
              "text=x in= out=<none> level=-1 v=5 mask=-1 scale=0 type=-"},
             {{"--gs1", "--fit", "50X12", "--verbose", "x"},
              "text=x in= out=<none>" + defaults + " gs1 fit=50x12 verbose"},
             // A box in lengths holds whole modules of --scale pixels (4 without it) at --dpi:
             // 25 mm at 300 dpi is 295.3 pixels, 73 modules of 4 or 36 of 8; 1 in is 72 points.
             {{"--fit", "25mmx6mm", "--dpi", "300", "x"},
              "text=x in= out=<none>" + defaults + " dpi=300 fit=73x17"},
             {{"--dpi", "300", "-s", "8", "--fit", "25x6mm", "x"},
              "text=x in= out=<none> level=-1 v=0 mask=-1 scale=8 type=- dpi=300 fit=36x8"},
             {{"--fit", "1inx72pt", "--dpi", "72", "-s", "1", "x"},
              "text=x in= out=<none> level=-1 v=0 mask=-1 scale=1 type=- dpi=72 fit=72x72"},
         }) {
        std::string joined;
        for (const std::string& arg : c.args) joined += "[" + arg + "]";
        SCOPED_TRACE(joined);
        CommandLine line;
        EXPECT_EQ(Parse(c.args, &line), "");
        EXPECT_EQ(Summary(line), c.expected);
    }
}

TEST(CommandLine, RejectsWhatIsOutOfRangeUnknownOrContradictory) {
    struct Case {
        std::vector<std::string> args;
        std::string error;
    };
    for (const Case& c : std::vector<Case>{
             {{"-l", "X", "x"}, "-l takes L, M, Q or H, not 'X'"},
             {{"-l", "0", "x"}, "-l takes L, M, Q or H, not '0'"},
             {{"--level=MM", "x"}, "--level takes L, M, Q or H, not 'MM'"},
             {{"-l", " ", "x"}, "-l takes L, M, Q or H, not ' '"},
             {{"-v", "0", "x"}, "-v takes a version from 1 to 40 or M1 to M4, not '0'"},
             {{"-v", "41", "x"}, "-v takes a version from 1 to 40 or M1 to M4, not '41'"},
             {{"-v", "+5", "x"}, "-v takes a version from 1 to 40 or M1 to M4, not '+5'"},
             {{"-v", " 5", "x"}, "-v takes a version from 1 to 40 or M1 to M4, not ' 5'"},
             {{"-v", "99999999999", "x"},
              "-v takes a version from 1 to 40 or M1 to M4, not '99999999999'"},
             {{"-m", "8", "x"}, "-m takes a mask from 0 to 7, not '8'"},
             {{"-m", "-1", "x"}, "-m takes a mask from 0 to 7, not '-1'"},
             {{"-s", "0", "x"}, "-s takes pixels per module from 1 to 20, not '0'"},
             {{"-s", "21", "x"}, "-s takes pixels per module from 1 to 20, not '21'"},
             {{"-s", "12px", "x"}, "-s takes pixels per module from 1 to 20, not '12px'"},
             {{"-s", "", "x"}, "-s takes pixels per module from 1 to 20, not ''"},
             {{"-t", "jpeg", "x"}, "-t takes " + FormatNameList() + ", not 'jpeg'"},
             {{"-x"}, "unknown option '-x'; see tessera --help"},
             {{"--colour=red"}, "unknown option '--colour'; see tessera --help"},
             {{"-hv"}, "unknown option '-hv'; see tessera --help"},
             {{"--help=yes"}, "--help takes no value"},
             {{"x", "-o"}, "-o needs a value"},
             {{"-o", "", "x"}, "-o needs a file name, or - for standard output"},
             {{"-i", ""}, "-i needs a file name"},
             {{"-i", "a", "-i", "b"}, "-i may be given only once"},
             {{"one", "two"}, "only one text may be given (quote text with spaces)"},
             {{"-", "two"}, "only one text may be given (quote text with spaces)"},
             {{"-", "-i", "data.bin"}, "give the text or -i FILE, not both"},
             {{"x", "-i", "data.bin"}, "give the text or -i FILE, not both"},
             {{"--strict-version", "x"}, "--strict-version needs -v N"},
             {{"--batch", "list.txt", "x", "-o", "{n}.png"},
              "--batch reads its data from its file; give no text and no -i"},
             {{"--batch", "list.txt", "-o", "out.png"},
              "--batch needs -o with {n} or {line} in the file name"},
             {{"--batch", "list.txt"}, "--batch needs -o with {n} or {line} in the file name"},
             {{"--batch", "", "-o", "{n}.png"},
              "--batch needs a file name, or - for standard input"},
             {{"x", "--split", "1", "-o", "{n}.png"},
              "--split takes a number of symbols from 2 to 16, not '1'"},
             {{"x", "--split", "3", "-o", "a.png"},
              "--split writes several symbols: give -o with {n} in the file name"},
             {{"x", "--split", "3", "--split-version", "4", "-o", "{n}.png"},
              "give --split N or --split-version V, not both"},
             {{"--batch", "l", "--split", "3", "-o", "{n}.png"},
              "--batch and --split do not go together"},
             {{"x", "--split-version", "M2", "-o", "{n}.png"},
              "--split-version takes a version from 1 to 40, not 'M2': Micro QR has no "
              "structured append"},
             {{"x", "--micro", "--split", "2", "-o", "{n}.png"},
              "Micro QR has no structured append: leave out --split or --micro"},
             {{"x", "--micro", "--utf8"},
              "Micro QR has no ECI for UTF-8 text: leave out --utf8 or --micro"},
             {{"x", "--micro", "-l", "H"}, "Micro QR has no level H: take L, M or Q"},
             {{"x", "-v", "M1", "-l", "L"},
              "M1 has no error-correction level: leave out -l, or take M2 or above"},
             {{"x", "-v", "M4", "-m", "4"}, "Micro QR has masks 0 to 3, not '4'"},
             {{"x", "--micro", "-v", "5"}, "-v 5 is out of range for Micro QR: M1 to M4"},
             {{"x", "-v", "5", "--micro"}, "-v 5 is out of range for Micro QR: M1 to M4"},
             {{"x", "-v", "M2", "-l", "Q"}, "M2 has no level Q: take -l L or M, or -v M4"},
             {{"x", "--rmqr", "-l", "Q"}, "rMQR has no level Q: take M or H"},
             {{"x", "--rmqr", "--utf8"}, "rMQR has no ECI for UTF-8 text"},
             {{"x", "--rmqr", "-m", "1"}, "rMQR has one fixed mask: leave the mask out"},
             {{"x", "--rmqr", "--split", "2", "-o", "{n}.png"}, "rMQR has no structured append"},
             {{"x", "-v", "R9x43", "--rmqr-height", "11"}, "R9x43 is 9 modules high, not 11"},
             {{"x", "--rmqr", "-v", "33"},
              "the rMQR size must be 1 to 32 (R7x43 to R17x139, 0 for the smallest), not '33'"},
             {{"x", "--rmqr", "-v", "M2"}, "a symbol is Micro QR or rMQR, not both"},
             {{"x", "--rmqr-height", "8"},
              "--rmqr-height takes an odd height from 7 to 17, not '8'"},
             {{"x", "-v", "R7x44"}, "-v takes an rMQR size such as R11x59, not 'R7x44'"},
             {{"x", "--gs1", "--micro"}, "GS1 data is for QR Code and rMQR, not Micro QR"},
             {{"x", "--gs1", "--utf8"}, "GS1 data is GS1's own characters, not marked UTF-8 text"},
             {{"x", "--gs1", "--split", "2", "-o", "{n}.png"},
              "GS1 data is one symbol's, not structured append"},
             {{"x", "--fit", "20"},
              "--fit takes WIDTHxHEIGHT in modules, each from 1 to 10000, or in mm, in or pt with "
              "--dpi, not '20'"},
             {{"x", "--fit", "0x5"},
              "--fit takes WIDTHxHEIGHT in modules, each from 1 to 10000, or in mm, in or pt with "
              "--dpi, not '0x5'"},
             {{"x", "--fit", "25x6mm"},
              "--fit '25x6mm' needs --dpi: with --scale it sets how long a module is"},
             {{"x", "--fit", "2x1ft", "--dpi", "72"},
              "--fit takes WIDTHxHEIGHT in modules, or in mm, in or pt, not '2x1ft'"},
             {{"x", "--fit", "1x0.01in", "--dpi", "72"},
              "--fit '1x0.01in' is 18x0 modules of 4 pixels at 72 dpi; each side must be from 1 "
              "to 10000"},
             {{"x", "--fit", "20x20", "-v", "2"},
              "a box to fit chooses the symbol: no version, Micro QR or rMQR with it"},
             {{"x", "--fit", "20x20", "--rmqr"},
              "a box to fit chooses the symbol: no version, Micro QR or rMQR with it"},
             {{"x", "--fit", "20x20", "-m", "2"},
              "a box to fit chooses the symbol: no mask with it"},
             {{"x", "-o", "a.png", "-o", "b.png"}, "-o may be given only once"},
             {{"x", "--utf8", "--kanji"}, "give --utf8 or --no-utf8 (--kanji), not both"},
             {{"x", "-v", "M5"}, "-v takes a version from 1 to 40 or M1 to M4, not 'M5'"},
             {{"--margin", "65", "x"},
              "--margin takes a quiet zone from 0 to 64 modules, not '65'"},
             {{"--dpi", "72.5", "x"}, "--dpi takes dots per inch from 1 to 100000, not '72.5'"},
             {{"--dark", "#1234567", "x"},
              "--dark takes a colour RRGGBB or RRGGBBAA in hex, not '#1234567'"},
             {{"--light", "##123456", "x"},
              "--light takes a colour RRGGBB or RRGGBBAA in hex, not '##123456'"},
             {{"--light=12345g", "x"},
              "--light takes a colour RRGGBB or RRGGBBAA in hex, not '12345g'"},
         }) {
        std::string joined;
        for (const std::string& arg : c.args) joined += "[" + arg + "]";
        SCOPED_TRACE(joined);
        CommandLine line;
        EXPECT_EQ(Parse(c.args, &line), c.error);
    }
}

}  // namespace
}  // namespace qr::cli
