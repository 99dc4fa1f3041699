// The command keeps the library's promises: each row runs a shell script with the command in $T,
// in a fresh folder, under the limits, signals, pipes and devices that once broke it, and checks
// the exit status, standard error and what is left in the folder.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <regex>
#include <string>
#include <vector>

#include "tests/cli/command_runner.h"
#include "tests/support/test_support.h"

namespace qr::test {
namespace {

struct Row {
    const char* what;
    const char* setup;   // shell lines run first in the folder; they may print a line that
                         // begins with kNotRun to say why the row cannot run here
    const char* script;  // the command's run, "$T" the command
    int status;
    const char* err;    // a regular expression that standard error must match (search)
    const char* check;  // shell lines that must exit 0 afterwards, in the folder
};

// What every "check" can call: no temporary file of a writer left anywhere below the folder.
constexpr char kNoLeftovers[] = "! find . -name '.tessera-*' | grep -q .";
constexpr char kNotRun[] = "not run: ";

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

// Rows that limit the address space, the threads or the open files, or trace the command,
// cannot run the command of a sanitizer build, whose runtime reserves terabytes of address
// space, needs a thread and descriptors of its own, and refuses to run under ptrace; they run in
// the plain build.
bool NeedsPlainBuild(const Row& row) {
    const std::string script = row.script;
    for (const char* limit : {"ulimit -v", "ulimit -n", "prlimit", "strace"}) {
        if (script.find(limit) != std::string::npos) return true;
    }
    return false;
}

void RunRows(const std::vector<Row>& rows) {
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        if (kSanitized && NeedsPlainBuild(row)) {
            std::printf("not run under a sanitizer: %s\n", row.what);
            continue;
        }
        TempDir dir;
        const CommandRun setup = RunScript(row.setup, dir.path());
        ASSERT_EQ(setup.status, 0) << "setup failed: " << setup.err;
        if (setup.out.rfind(kNotRun, 0) == 0) {
            std::printf("%s", setup.out.c_str());
            continue;
        }
        const CommandRun run = RunScript(row.script, dir.path());
        EXPECT_EQ(run.status, row.status) << run.err;
        EXPECT_TRUE(std::regex_search(run.err, std::regex(row.err))) << run.err;
        const CommandRun check =
            RunScript(std::string(row.check) + " && " + kNoLeftovers, dir.path());
        EXPECT_EQ(check.status, 0) << "check failed: " << row.check << "\n" << check.err;
    }
}

TEST(Promises, InputIsReadOnlyAsFarAsOneSymbolCanHold) {
    RunRows({
        {"an endless pipe under a memory limit", "", "yes | (ulimit -v 400000; \"$T\" -o y.png)", 2,
         "^tessera: the data cannot be encoded: it needs at least 56740 bits and version 40 "
         "at level M holds at most 18672\n$",
         "[ ! -e y.png ]"},
        {"a device that never ends", "", "(ulimit -v 400000; \"$T\" -i /dev/zero -o z.png)", 2,
         "needs at least 56740 bits", "[ ! -e z.png ]"},
        {"a 1 GiB file", "truncate -s 1G big", "\"$T\" -i big -o b.png", 2,
         "needs at least 56740 bits", "[ ! -e b.png ]"},
        {"a FIFO fed forever", "mkfifo fifo", "(yes > fifo &) ; \"$T\" -i fifo -o f.png", 2,
         "needs at least", "[ ! -e f.png ]"},
        {"a batch line of 20,000 bytes, and the lines around it",
         "{ echo first; head -c 20000 /dev/zero | tr '\\0' x; echo; echo last; } > lines",
         "\"$T\" --batch lines -o 'out/{n}.png'", 2,
         "line 2: the data cannot be encoded: it needs at least 56740 bits.*\n"
         "tessera: 2 written, 1 failed",
         "[ -f out/1.png ] && [ ! -e out/2.png ] && [ -f out/3.png ]"},
    });
}

TEST(Promises, BatchNamesAreClaimedInLineOrder) {
    RunRows({
        {"names that clash", "printf 'a b\\na_b\\na/b\\nsame\\nsame\\n' > c.txt",
         "\"$T\" --batch c.txt -o 'c/{line}.svg'", 3,
         "^tessera: line 2: 'c/a_b.svg' is the output of line 1 already\n"
         "tessera: line 3: 'c/a_b.svg' is the output of line 1 already\n"
         "tessera: line 5: 'c/same.svg' is the output of line 4 already\n"
         "tessera: 2 written, 3 failed in ",
         "[ \"$(ls c | tr '\\n' ' ')\" = 'a_b.svg same.svg ' ] && \"$T\" 'a b' -o a.svg && "
         "cmp a.svg c/a_b.svg"},
        {"3,000 clashing lines keep the first line's file",
         "{ echo 'same!'; for i in $(seq 2999); do echo 'same?'; done; } > same.txt",
         "\"$T\" --batch same.txt -o 'd/{line}.svg'", 3, "tessera: 1 written, 2999 failed",
         "\"$T\" 'same!' -o first.svg && cmp first.svg d/same_.svg"},
        {"a folder with a brace in its name", "printf 'one\\ntwo\\n' > l.txt",
         "\"$T\" --batch l.txt -o 'out{v2}/{n}.png'", 0, "2 written, 0 failed",
         "[ -f 'out{v2}/1.png' ] && [ -f 'out{v2}/2.png' ]"},
        {"no folder is left when every line fails", "seq -f 'line %g does not fit' 3 > l.txt",
         "\"$T\" --batch l.txt -v 1 --strict-version -l H -o 'empty/{n}.png'", 2,
         "0 written, 3 failed", "[ ! -e empty ]"},
        {"a pattern naming a format not written", "echo a > l.txt",
         "\"$T\" --batch l.txt -o 'x/{n}.jpg'", 64,
         "^tessera: 'x/\\{n\\}.jpg' names an image format that tessera does not write; it "
         "writes bmp, png, [a-z0-9, -]+ \\(give -t TYPE",
         "[ ! -e x ]"},
        {"white space alone is a blank line; the rate counts written codes",
         "printf 'a\\n  \\t \\nb\\n' > l.txt", "\"$T\" --batch l.txt -o 'w/{n}.txt'", 0,
         "^tessera: 2 written, 0 failed, 1 blank line skipped in [0-9.]+ s "
         "\\([0-9]+ codes? per second\\)\n$",
         "[ -f w/1.txt ] && [ ! -e w/2.txt ] && [ -f w/3.txt ]"},
        // The second line is sent once the first one's file is there, or after a minute when
        // the batch waits for the end of its input (and fails the check).
        {"--batch - writes codes while input still arrives", "",
         "{ echo early; i=0; until [ -f s/1.png ] || [ $i = 1200 ]; do sleep 0.05; i=$((i+1)); "
         "done; [ -f s/1.png ] && echo streamed > flag; echo late; } | "
         "\"$T\" --batch - -o 's/{n}.png'",
         0, "2 written", "[ -f flag ] && [ -f s/2.png ]"},
    });
}

TEST(Promises, LimitsSignalsAndLoadEndInAStatusAndAMessage) {
    RunRows({
        {"a file-size limit", "", "(ulimit -f 1; \"$T\" Hello -s 20 -o big.bmp)", 3,
         "^tessera: the output file cannot be created: 'big.bmp': the file would exceed the "
         "file-size limit\n$",
         "[ ! -e big.bmp ]"},
        {"a file-size limit fails one line of a batch", "printf 'A\\n%0300d\\n' 7 > l.txt",
         "(ulimit -f 4; \"$T\" --batch l.txt -o 'o/{n}.bmp')", 3,
         "line 2: .*file-size limit\n.*1 written, 1 failed", "[ -f o/1.bmp ] && [ ! -e o/2.bmp ]"},
        // The signals are sent once the batch has begun writing (its folder is there).
        {"SIGINT in a long batch", "seq 200000 > many.txt",
         "\"$T\" --batch many.txt -o 's/{n}.bmp' & p=$!; "
         "until [ -d s ] || ! kill -0 $p 2>/dev/null; do sleep 0.05; done; kill -INT $p; wait $p",
         130, "[0-9]+ written, 0 failed, [0-9]+ not started: interrupted by SIGINT in ", "true"},
        {"SIGTERM in a long batch from standard input", "",
         "seq 200000 | \"$T\" --batch - -o 't/{n}.bmp' & p=$!; "
         "until [ -d t ] || ! kill -0 $p 2>/dev/null; do sleep 0.05; done; kill -TERM $p; wait $p",
         143, "interrupted by SIGTERM", "true"},
        // The command runs as nobody from a copy in the row's folder, which nobody may enter
        // wherever the checkout lies.
        {"no thread can be made",
         "seq 40 > l.txt; chmod 777 .; cp \"$T\" ./tessera; chmod 755 ./tessera; "
         "setpriv --reuid=65534 --regid=65534 --clear-groups ./tessera --version >/dev/null 2>&1 "
         "|| echo \"not run: nobody cannot run a copy of the command in $PWD\"",
         "setpriv --reuid=65534 --regid=65534 --clear-groups prlimit --nproc=1:1 "
         "./tessera --batch l.txt -o 'p/{n}.png'",
         0, "40 written, 0 failed", "[ \"$(ls p | wc -l)\" = 40 ]"},
        {"200,000 failing lines in a small address space",
         "seq -f 'line %g of a batch that does not fit' 200000 > l.txt",
         "(ulimit -v 200000; \"$T\" --batch l.txt -v 1 --strict-version -l H -o 'f/{n}.png')", 2,
         "and 199990 more failed lines\ntessera: 0 written, 200000 failed", "[ ! -e f ]"},
    });
}

TEST(Promises, FilesAreWholeAndTheirSetsAllOrNone) {
    RunRows({
        {"--split: a part that cannot be written keeps every old part",
         "echo old > keep1.png; echo old > keep2.png; mkdir keep3.png",
         "\"$T\" 'one text over three symbols' --split 3 -o 'keep{n}.png'", 3,
         "^tessera: the output file cannot be created: 'keep3.png': it is not a file that can "
         "be replaced\n$",
         "[ \"$(cat keep1.png keep2.png)\" = \"$(printf 'old\\nold')\" ]"},
        {"--split makes the folders of its pattern as --batch does", "",
         "\"$T\" 'one text over three symbols' --split 3 -o 'x/y/{n}.png'", 0, "^$",
         "[ \"$(ls x/y | tr '\\n' ' ')\" = '1.png 2.png 3.png ' ]"},
        {"a batch whose every line fails makes no folder", "seq 3 > l.txt",
         "(ulimit -f 1; \"$T\" --batch l.txt -s 20 -o 'e/{n}.bmp')", 3, "0 written, 3 failed",
         "[ ! -e e ]"},
        {"a batch syncs once per group of files, not once per folder", "seq 200 > l.txt",
         "strace -f -qq -e trace=syncfs,fsync,fdatasync -o trace \"$T\" --batch l.txt -o "
         "'f{n}/x.png'",
         0, "200 written, 0 failed",
         "[ \"$(ls -d f* | wc -l)\" = 200 ] && [ \"$(grep -c 'syncfs(' trace)\" -le 20 ] && "
         "! grep -q -e 'fsync(' -e 'fdatasync(' trace"},
        {"200,000 lines named by number in 3 KB paths, in a small address space",
         "seq -f 'line %g of a batch that does not fit' 200000 > l.txt",
         "p=$(printf 'dd/%.0s' $(seq 1000)); (ulimit -v 200000; \"$T\" --batch l.txt -v 1 "
         "--strict-version -l H -o \"$p{n}.png\")",
         2, "and 199990 more failed lines\ntessera: 0 written, 200000 failed", "[ ! -e dd ]"},
        {"100,000 lines named by their text in 3 KB paths, in a small address space",
         "seq -f 'line %g of a batch that does not fit' 100000 > l.txt",
         "p=$(printf 'dd/%.0s' $(seq 1000)); (ulimit -v 200000; \"$T\" --batch l.txt -v 1 "
         "--strict-version -l H -o \"$p{line}.png\")",
         2, "and 99990 more failed lines\ntessera: 0 written, 100000 failed", "[ ! -e dd ]"},
        {"SIGINT while the output FIFO waits for its reader", "mkfifo f",
         "\"$T\" Hello -o f & p=$!; i=0; until grep -q wait_for_partner /proc/$p/wchan; do "
         "i=$((i + 1)); [ $i -lt 600 ] || break; sleep 0.05; done; kill -INT $p; wait $p",
         130, "^$", "[ -p f ]"},
    });
}

TEST(Promises, WriteFailuresSayWhy) {
    RunRows({
        {"a file of /proc", "", "\"$T\" Hello -o /proc/version", 3,
         "^tessera: the output file cannot be created: '/proc/version': its folder takes no new "
         "files\n$",
         "true"},
        {"a name longer than the file system takes", "",
         "\"$T\" Hello -o \"$(printf 'n%.0s' $(seq 300)).png\"", 3,
         "^tessera: the output file cannot be created: 'n+\\.png': the name is too long\n$",
         "true"},
        {"a loop of links", "ln -s b a; ln -s a b", "\"$T\" Hello -o a", 3,
         "^tessera: the output file cannot be created: 'a': too many symbolic links, or a loop of "
         "them\n$",
         "[ -L a ] && [ -L b ]"},
        {"a read-only mount", "mkdir ro",
         "unshare -m sh -c 'mount -t tmpfs -o ro none ro && exec \"$T\" Hello -o ro/x.png'", 3,
         "^tessera: the output file cannot be created: 'ro/x.png': the file system is read-only\n$",
         "true"},
        // The program's loader needs two descriptors: a batch, whose input takes one, finds
        // one left for each file, which needs two.
        {"the limit of open files", "seq 2 > l.txt",
         "(ulimit -n 5; \"$T\" --batch l.txt -o 'o/{n}.png')", 3,
         "^tessera: line 1: the output file cannot be created: 'o/1.png': too many open files\n"
         "tessera: line 2: .*: too many open files\ntessera: 0 written, 2 failed",
         "[ ! -e o ]"},
        {"C1 controls and bytes that are not UTF-8 escaped, other UTF-8 as it is", "",
         "\"$T\" Hello -o \"$(printf 'a\\302\\233b\\377/caf\\303\\251.png')\"", 3,
         "^tessera: the output file cannot be created: "
         "'a\\\\xc2\\\\x9bb\\\\xff/caf\xc3\xa9\\.png': "
         "the folder does not exist\n$",
         "true"},
    });
}

TEST(Promises, DevicesFifosAndPipesAreWrittenDirectly) {
    RunRows({
        {"/dev/null", "", "\"$T\" Hello -o /dev/null", 0, "^$", "true"},
        {"/dev/stdout into a pipe", "", "\"$T\" Hello -o /dev/stdout | cat > piped.bmp", 0, "^$",
         "\"$T\" Hello -o file.bmp && cmp piped.bmp file.bmp"},
        {"a FIFO", "mkfifo fifo",
         "cat fifo > got.svg & \"$T\" Hello -t svg -o fifo; s=$?; wait; exit $s", 0, "^$",
         "\"$T\" Hello -t svg -o file.svg && cmp got.svg file.svg && [ -p fifo ]"},
        {"a process substitution", "",
         "exec bash -c '\"$T\" Hello -t svg -o >(cat > sub.svg); s=$?; wait $!; exit $s'", 0, "^$",
         "\"$T\" Hello -t svg -o file.svg && cmp sub.svg file.svg"},
        {"a full device", "", "\"$T\" Hello -o /dev/full", 3,
         "^tessera: the output file cannot be created: '/dev/full': no space left on the device\n$",
         "true"},
        {"standard output on a full device", "", "\"$T\" Hello -t svg > /dev/full", 3,
         "^tessera: standard output cannot be written: no space left on the device\n$", "true"},
    });
}

TEST(Promises, UnreadableOutputIsAStatus) {
    RunRows({
        {"--help into a full device", "", "\"$T\" --help > /dev/full", 3,
         "^tessera: standard output cannot be written: no space left on the device\n$", "true"},
        {"--version with standard output closed", "", "\"$T\" --version >&-", 3,
         "^tessera: standard output cannot be written", "true"},
        {"a name with control characters", "",
         "\"$T\" Hello -o \"$(printf 'no\\033[31mdir/x.png')\"", 3,
         "^tessera: the output file cannot be created: 'no\\\\x1b\\[31mdir/x.png': ", "true"},
        {"a symbol wider than the terminal", "",
         "script -qec 'stty cols 80; \"$T\" -v 40 HelloWorld' /dev/null > tty.txt", 3, "^$",
         "grep -q 'the symbol is 185 columns wide and the terminal 80: write it to an image' "
         "tty.txt"},
        {"binary output to a terminal", "", "script -qec '\"$T\" Hello -t png' /dev/null > tty.txt",
         64, "^$", "grep -q 'png is binary and standard output is a terminal' tty.txt"},
        {"the progress line on a narrow terminal", "seq 3000 > l.txt",
         "script -qec 'stty cols 20; \"$T\" --batch l.txt -o \"p/{n}.png\"' /dev/null > tty.txt", 0,
         "^$",
         "grep -q '\\] [0-9]*/[0-9]*' tty.txt && tr '\\r' '\\n' < tty.txt | grep '\\]' | "
         "awk 'length > 19 { exit 1 }'"},
        {"slash options with -t: /O- is a file named -, text at one pixel per module", "",
         "\"$T\" /THello /O- -t txt && \"$T\" Hello -t txt -o one.txt", 0, "^$", "cmp ./- one.txt"},
    });
}

TEST(Promises, SetsOfSymbolsAndBoostedLevels) {
    RunRows({
        {"--split 3 writes three symbols through {n}", "",
         "\"$T\" 'one text over three symbols' --split 3 -t svg -o 'part-{n}.svg'", 0, "^$",
         "[ \"$(ls | tr '\\n' ' ')\" = 'part-1.svg part-2.svg part-3.svg ' ]"},
        // Version 1-M holds 128 bits: 34 of headers and 28 digits in 94.
        {"--split-version fills version 1 symbols", "",
         "head -c 150 /dev/zero | tr '\\0' 7 | \"$T\" --split-version 1 -l M -o 'v{n}.bmp'", 0,
         "^$", "[ \"$(ls v*.bmp | wc -l)\" = 6 ]"},
        {"more than 16 symbols", "",
         "head -c 2000 /dev/zero | tr '\\0' a | \"$T\" --split-version 1 -o 'w{n}.bmp'", 2,
         "^tessera: the data needs more than 16 symbols of version 1 at level M\n$",
         "[ -z \"$(ls)\" ]"},
        {"--micro takes the smallest Micro symbol, M1 included, with a quiet zone of 2", "",
         "\"$T\" 12345 --micro -t txt -o m1.txt && \"$T\" 12345 -v M1 -t txt -o v.txt", 0, "^$",
         "[ \"$(wc -l < m1.txt)\" = 15 ] && cmp m1.txt v.txt"},
        {"-v M2 grows to M3 for lower-case letters, not with --strict-version", "",
         "\"$T\" hello -v M2 -o a.png && ! \"$T\" hello -v M2 --strict-version -o b.png", 0,
         "^tessera: the data cannot be encoded: M2 has no mode for some of it\n$",
         "[ -f a.png ] && [ ! -e b.png ]"},
        {"data that fits no Micro symbol", "",
         "\"$T\" 'this is far too long for any Micro QR' --micro -o x.png", 2,
         "^tessera: the data cannot be encoded: it is 37 bytes, and no Micro QR symbol holds "
         "more than 35\n$",
         "[ ! -e x.png ]"},
        {"--micro -l M takes the smallest version that has M", "",
         "\"$T\" 123 --micro -l M -t txt -s 1 -o m.txt", 0, "^$", "[ \"$(wc -l < m.txt)\" = 17 ]"},
        {"--boost keeps the version and raises the level", "",
         "\"$T\" 'HELLO WORLD' -l L --boost -t txt -o boosted.txt && "
         "\"$T\" 'HELLO WORLD' -l Q -v 1 --strict-version -t txt -o q.txt",
         0, "^$", "cmp boosted.txt q.txt"},
    });
}

TEST(Promises, NothingBesideSlashOptionsIsDropped) {
    RunRows({
        {"a flag beside slash options", "", "\"$T\" /THello /Oa.bmp -l H", 64,
         "^tessera: '-l' is not a slash option", "[ ! -e a.bmp ]"},
        {"an unknown long flag", "", "\"$T\" /THello /Oa.bmp --bogus", 64, "'--bogus'",
         "[ ! -e a.bmp ]"},
        {"a stray word", "", "\"$T\" /THello /Oa.bmp stray", 64, "'stray'", "[ ! -e a.bmp ]"},
        {"an empty slot is the library's own", "", "\"$T\" /THello /Oa.bmp '' -t bmp", 0, "^$",
         "[ -f a.bmp ]"},
        {"--utf8 over bytes that are not UTF-8", "", "printf 'caf\\351' | \"$T\" --utf8 -o x.png",
         2, "^tessera: the data cannot be encoded as UTF-8 text: not UTF-8 at byte 4\n$",
         "[ ! -e x.png ]"},
        {"--utf8 over a surrogate", "", "printf 'ab\\355\\240\\200' | \"$T\" --utf8 -o x.png", 2,
         "not UTF-8 at byte 3", "[ ! -e x.png ]"},
        // UTF-8 text is marked as --utf8 marks it, line by line and across a set; not in Micro QR,
        // which has no ECI, nor in bytes that are not UTF-8.
        {"UTF-8 text in a batch, a set and Micro QR",
         "printf 'plain\\n\\303\\251t\\303\\251\\n' > l.txt",
         "\"$T\" --batch l.txt -t txt -o 'b/{n}.txt' && "
         "\"$T\" \"$(printf '\\320\\226%.0s' 1 2 3 4)\" --split 2 -t txt -o 's{n}.txt' && "
         "\"$T\" \"$(printf '\\303\\251')\" --micro -t txt -o m.txt",
         0, "^tessera: 2 written",
         "\"$T\" plain --no-utf8 -t txt -o p.txt && cmp b/1.txt p.txt && "
         "\"$T\" \"$(printf '\\303\\251t\\303\\251')\" --utf8 -t txt -o u.txt && cmp b/2.txt u.txt "
         "&& "
         "\"$T\" \"$(printf '\\320\\226%.0s' 1 2 3 4)\" --utf8 --split 2 -t txt -o 'u{n}.txt' && "
         "cmp s1.txt u1.txt && cmp s2.txt u2.txt && "
         "\"$T\" \"$(printf '\\303\\251')\" --micro --no-utf8 -t txt -o n.txt && cmp m.txt n.txt"},
    });
}

}  // namespace
}  // namespace qr::test
