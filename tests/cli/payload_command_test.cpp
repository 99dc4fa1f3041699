// The command's payloads run as a child process: each text of tests/payload/texts.jsonl printed
// from the same fields, each kind's symbol read back by zxing-cpp, refusals naming the field,
// positionals, help made from the table, and batches of JSON objects.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "tests/cli/command_runner.h"
#include "tests/cli/qr_reader.h"
#include "tests/payload/payload_rows.h"
#include "tests/support/test_support.h"

namespace qr::test {
namespace {

// The command's arguments for `row`: the kind, then each field as --NAME=VALUE or, every other
// row, as --NAME VALUE (a switch's "true" or "false" is always joined: alone it is a word).
std::vector<std::string> FieldArgs(const PayloadRow& row, bool joined) {
    std::vector<std::string> args = {row.kind};
    for (const auto& [name, value] : row.fields) {
        if (joined || value == "true" || value == "false") {
            args.push_back("--" + name + "=" + value);
        } else {
            args.insert(args.end(), {"--" + name, value});
        }
    }
    return args;
}

TEST(PayloadCommand, EachTextIsPrintedFromTheSameFieldsAndEachKindReadsBack) {
    std::set<std::string> kindsRead;
    bool joined = false;
    for (const PayloadRow& row : PayloadRows()) {
        SCOPED_TRACE(row.text);
        std::vector<std::string> args = FieldArgs(row, joined = !joined);
        args.push_back("--print-payload");
        CommandRun run = RunCommand(args);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out, row.text);
        if (!kindsRead.insert(row.kind).second) continue;
        args.back() = "-t";
        args.insert(args.end(), {"txt", "-o", "-"});
        run = RunCommand(args);
        ASSERT_EQ(run.status, 0) << run.err;
        std::string bytes;
        const GrayImage image = FromAsciiText(run.out);
        ASSERT_TRUE(DecodeQr(Enlarge(image, 4), &bytes));
        EXPECT_EQ(bytes, row.text);
        // A payment's symbol is version 13 at most: 69 modules and the quiet zone.
        if (row.kind == "epc") {
            EXPECT_LE(image.width, 69 + 2 * kQuietModules);
        }
    }
    EXPECT_EQ(kindsRead.size(), 10u);
}

TEST(PayloadCommand, FieldsAndSettingsRefusedAreUsageErrorsNamingThem) {
    const std::string iban = "DE89370400440532013000";
    struct Case {
        std::vector<std::string> args;
        std::string message;  // after "tessera: "
    };
    for (const Case& c : std::vector<Case>{
             {{"epc", "--name", "A", "--iban", "DE89370400440532013001"},
              "iban: 'DE89370400440532013001' has a wrong check digit"},
             {{"epc", "A", iban, "--amount", "0"},
              "amount: '0' is out of range: 0.01 to 999999999.99"},
             {{"epc", "--iban", iban, "--name", std::string(71, 'n')},
              "name: 71 characters; at most 70 are taken"},
             {{"wifi", "H", "--security", "WEP", "--password", "abcdefg"},
              "password: a WEP key is 5 or 13 ASCII characters or 10 or 26 hex digits, not 7 "
              "characters"},
             {{"geo", "91", "0"}, "latitude: '91' is out of range: -90 to 90"},
             {{"geo", "1", "2", "3"},
              "'3': a word beyond the required fields of geo; give the others as --FIELD VALUE "
              "(tessera geo --help)"},
             {{"epc", "A", iban, "-l", "H", "-o", "-"}, "the payload's symbol is level M, not H"},
             {{"tel", "1", "--colour", "red"}, "unknown option '--colour'; see tessera --help"},
             {{"tel", "--number"}, "--number needs a value"},
             {{"tel", "1", "-i", "x"},
              "tel makes its data from its fields: -i, - and --batch are not taken (a batch: "
              "--batch FILE --payload tel)"},
             {{"x", "--payload", "tel", "-o", "a.png"},
              "--payload is for --batch; one code is made by tessera tel and its fields"},
             {{"--batch", "-", "--payload", "qr", "-o", "{n}.png"},
              "--payload takes wifi, vcard, mecard, epc, geo, email, tel, sms, event or otp, not "
              "'qr'"},
         }) {
        SCOPED_TRACE(c.message);
        const CommandRun run = RunCommand(c.args);
        EXPECT_EQ(run.status, 64);
        EXPECT_EQ(run.err, "tessera: " + c.message + "\n");
        EXPECT_EQ(run.out, "");
    }
}

TEST(PayloadCommand, WordsTakeTheRequiredFieldsAndNegativeNumbersAreWords) {
    struct Case {
        std::vector<std::string> args;
        std::string text;
    };
    for (const Case& c : std::vector<Case>{
             {{"geo", "-33.856784", "151.215297"}, "geo:-33.856784,151.215297"},
             {{"geo", "48.8583", "--altitude", "-10", "2.2945"}, "geo:48.8583,2.2945,-10"},
             {{"sms", "112", "--text", "-help-"}, "SMSTO:112:-help-"},
             {{"wifi", "--hidden", "--password", "pw", "--", "-Net-"},
              "WIFI:T:WPA;S:-Net-;P:pw;H:true;;"},
         }) {
        SCOPED_TRACE(c.text);
        std::vector<std::string> args = c.args;
        args.insert(args.begin() + 1, "--print-payload");
        const CommandRun run = RunCommand(args);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out, c.text);
    }
}

TEST(PayloadCommand, HelpOfAKindIsMadeFromItsFields) {
    const CommandRun run = RunCommand({"wifi", "--help"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out,
              "usage: tessera wifi SSID [--FIELD VALUE ...] [options]\n"
              "       tessera wifi [fields] --print-payload\n"
              "\n"
              "Encodes a WiFi network to join. Words without a dash are the fields marked\n"
              "required, in their order; the options are tessera --help's.\n"
              "\n"
              "  --ssid TEXT              the network's name (required)\n"
              "  --security WPA|WEP|nopass\n"
              "                           how the network is secured (default WPA)\n"
              "  --password TEXT          the password (none with nopass)\n"
              "  --hidden                 the network does not announce its name\n"
              "  --print-payload          write the text to standard output, as it is, instead "
              "of a\n"
              "                           symbol\n"
              "  -h, --help               this text\n");
    EXPECT_NE(RunCommand({"--help"}).out.find("tessera KIND [--FIELD VALUE ...] [options]"),
              std::string::npos);
}

TEST(PayloadCommand, BatchesReadEachLineAsTheFieldsOfAJsonObject) {
    TempDir dir;
    const std::string lines =
        "{\"ssid\": \"Home\", \"password\": \"p;w\"}\n"
        "{\"ssid\": \"Home\", \"password\": }\n"
        "{\"ssid\": \"Home\", \"security\": \"WEP\", \"password\": \"abcdefg\"}\n"
        "{\"ssid\": \"Open\", \"security\": \"nopass\", \"hidden\": true}\n";
    const CommandRun run = RunCommand(
        {"--batch", "-", "--payload", "wifi", "-t", "txt", "-o", dir.File("{n}.txt")}, lines);
    EXPECT_EQ(run.status, 64);
    EXPECT_NE(run.err.find("tessera: line 2: not a JSON object: byte 30: a value is a string, a "
                           "number, true or false\n"
                           "tessera: line 3: password: a WEP key is 5 or 13 ASCII characters or "
                           "10 or 26 hex digits, not 7 characters\n"),
              std::string::npos)
        << run.err;
    for (const auto& [number, text] : std::vector<std::pair<int, std::string>>{
             {1, "WIFI:T:WPA;S:Home;P:p\\;w;;"}, {4, "WIFI:T:nopass;S:Open;H:true;;"}}) {
        Bytes written;
        ASSERT_TRUE(ReadFile(dir.File(std::to_string(number) + ".txt"), &written));
        std::string bytes;
        ASSERT_TRUE(DecodeQr(Enlarge(FromAsciiText(std::string(written.begin(), written.end())), 4),
                             &bytes));
        EXPECT_EQ(bytes, text);
    }
    EXPECT_FALSE(FileExists(dir.File("2.txt")));
}

}  // namespace
}  // namespace qr::test
