// Payloads: each kind's text for fields with every character its format escapes, written by hand
// from the standards in texts.jsonl, which every surface's tests share (its vCard of a note of 69
// letters and an accented one is folded there: "NOTE:" and 69 letters are 74 octets); the refusals,
// each naming its field; every text read back by zxing-cpp from a symbol made within the payload's
// limits; vCards read by python3-vobject and payments set beside the EPC codes of segno
// (oracles.py), both independent of this library.
#include "payload/payload.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "tests/payload/payload_rows.h"
#include "tests/roundtrip/bmp_image.h"
#include "tests/roundtrip/qr_readers.h"
#include "tests/support/test_support.h"

namespace qr::test {
namespace {

using payload::Build;
using payload::FieldValues;

// Fields written "name=value|name=value".
FieldValues Fields(const std::string& text) {
    FieldValues fields;
    for (std::size_t begin = 0, end = 0; end != std::string::npos && !text.empty();
         begin = end + 1) {
        end = text.find('|', begin);
        const std::string field = text.substr(begin, end - begin);
        fields.emplace_back(field.substr(0, field.find('=')), field.substr(field.find('=') + 1));
    }
    return fields;
}

struct Case {
    const char* kind;
    std::string fields;  // as Fields() reads them
    std::string text;    // the start of the reason it is refused for
};

// A payment of `textLength` characters of text and every other field at its longest: 213 bytes
// and the text.
std::string LongestPayment(std::size_t textLength) {
    return "name=" + std::string(70, 'N') + "|bic=BFSWDE33BER|iban=DE33100205000001194700" +
           "|amount=999999999.99|purpose=CHAR|text=" + std::string(textLength, 'T') +
           "|info=" + std::string(70, 'I');
}

TEST(Payload, EachKindWritesTheTextOfItsStandard) {
    for (const PayloadRow& row : PayloadRows()) {
        SCOPED_TRACE(row.text);
        const payload::Result result = Build(row.kind, row.fields);
        ASSERT_TRUE(result.ok) << result.reason;
        EXPECT_EQ(result.text, row.text);
        const bool epc = row.kind == "epc";
        EXPECT_EQ(result.limits.level, epc ? 'M' : 0);
        EXPECT_EQ(result.limits.maxVersion, epc ? 13 : 0);
    }
}

TEST(Payload, RefusalsNameTheField) {
    const std::string pay = "name=A|iban=NO9386011117947|";
    const std::string otp = "secret=JBSWY3DP|account=a|";
    for (const Case& c : std::vector<Case>{
             {"epc", "name=A|iban=NO9386011117948",
              "iban: 'NO9386011117948' has a wrong check digit"},
             {"epc", "name=A|iban=NO938601111794",
              "iban: 'NO938601111794' has 14 characters; an IBAN of NO has 15"},
             {"epc", "name=A|iban=XX9386011117947",
              "iban: 'XX9386011117947' starts with no country"},
             {"epc", "name=A|iban=NO93-8601-111794",
              "iban: 'NO93-8601-111794' has characters other"},
             {"epc", "iban=NO9386011117947", "name: missing"},
             {"epc", pay + "amount=0", "amount: '0' is out of range: 0.01 to 999999999.99"},
             {"epc", pay + "amount=1000000000", "amount: '1000000000' is out of range"},
             {"epc", pay + "amount=1.005", "amount: '1.005' has more than 2 decimals"},
             {"epc", pay + "amount=1,50", "amount: '1,50' is not a number"},
             {"epc", "iban=NO9386011117947|name=" + std::string(71, 'n'),
              "name: 71 characters; at most 70"},
             {"epc", pay + "text=" + std::string(141, 't'), "text: 141 characters; at most 140"},
             {"epc", pay + "bic=BFSWDE33B", "bic: 'BFSWDE33B' has 9 characters; a BIC has 8 or 11"},
             {"epc", pay + "bic=BFSW1E33", "bic: 'BFSW1E33' is not 6 letters"},
             {"epc", pay + "purpose=CH4R", "purpose: 'CH4R' is not a code of 4 letters"},
             {"epc", pay + "reference=RF19539007547034",
              "reference: 'RF19539007547034' has a wrong check"},
             {"epc", pay + "reference=539007547034",
              "reference: '539007547034' is no creditor reference"},
             {"epc", pay + "reference=RF18539007547034|text=x",
              "reference: a payment has a reference or a text"},
             {"epc", LongestPayment(119), "epc: 332 bytes; at most 331 fit"},
             {"wifi", "ssid=H|security=WEP|password=abcdefg",
              "password: a WEP key is 5 or 13 ASCII characters or 10 or 26 hex digits, not 7"},
             {"wifi", "ssid=H|security=WEP|password=0123456789abcdef012345678g",
              "password: a WEP key"},
             {"wifi", "ssid=H|security=nopass|password=x", "password: none is taken with nopass"},
             {"wifi", "ssid=Home", "password: missing; WPA needs one"},
             {"wifi", "ssid=Home|security=WPA3", "security: 'WPA3' is none of WPA, WEP or nopass"},
             {"wifi", "ssid=Home|hidden=yes|password=x", "hidden: 'yes' is none of false or true"},
             {"wifi", "ssid=Ho\xFFme|password=x", "ssid: 'Ho\\xFFme' is not UTF-8 text"},
             {"wifi", "ssid=Ho\nme|password=x", "ssid: 'Ho\\x0Ame' has a line break"},
             {"wifi", "ssid=Home|ssid=Work", "ssid: given twice"},
             {"wifi", "ssid=Home|colour=red", "'colour': no such field"},
             {"vcard", "org=Acme", "name: missing; a vCard needs a full, a first or a last name"},
             {"vcard", "last=X|birthday=2023-02-29",
              "birthday: '2023-02-29' is no date YYYY-MM-DD"},
             {"mecard", "phone=1", "last: missing; a MeCard needs a last or a first name"},
             {"geo", "latitude=91|longitude=0", "latitude: '91' is out of range: -90 to 90"},
             {"geo", "latitude=0|longitude=-180.000001",
              "longitude: '-180.000001' is out of range: -180 to 180"},
             {"geo", "latitude=1.1234567|longitude=0",
              "latitude: '1.1234567' has more than 6 decimals"},
             {"geo", "latitude=+48|longitude=0", "latitude: '+48' is not a number"},
             {"geo", "latitude=48|longitude=2|altitude=1e3", "altitude: '1e3' is not a number"},
             {"email", "to=nobody", "to: 'nobody' is no e-mail address"},
             {"email", "to=a@x.org|cc=b@y.org,", "cc: '' is no e-mail address"},
             {"email", "to=a@x.org|subject=a\nb", "subject: 'a\\x0Ab' has a line break"},
             {"tel", "number=+49 (30) 1",
              "number: '+49 (30) 1' is not digits, a leading +, spaces and -"},
             {"tel", "number=12+3", "number: '12+3' is not digits"},
             {"sms", "number=1|text=ring\a", "text: 'ring\\x07' has a control code"},
             {"event", "summary=x|start=2025-03-15", "start: '2025-03-15' is no time"},
             {"event", "summary=x|start=20250315T240000", "start: '20250315T240000' is no time"},
             {"event", "summary=x|start=20250315|end=20250315T100000",
              "end: '20250315T100000' is not of the form"},
             {"event", "summary=x|start=20250315|end=20250315",
              "end: '20250315' is not after the start"},
             {"otp", "account=a|secret=JBSWY3DP1", "secret: 'JBSWY3DP1' is not base32"},
             {"otp", "account=a|secret=JBSWY3DPE", "secret: 'JBSWY3DPE' is not base32"},
             {"otp", otp + "digits=7", "digits: '7' is none of 6 or 8"},
             {"otp", otp + "algorithm=MD5", "algorithm: 'MD5' is none of SHA1, SHA256 or SHA512"},
             {"otp", otp + "period=0", "period: '0' is out of range: 1 to 86400"},
             {"otp", otp + "issuer=A:B", "issuer: 'A:B' has a colon"},
             {"otp", "secret=JBSWY3DP", "account: missing"},
             {"qr", "",
              "kind: 'qr' is none of wifi, vcard, mecard, epc, geo, email, tel, sms, event or otp"},
         }) {
        SCOPED_TRACE(c.text);
        const payload::Result result = Build(c.kind, Fields(c.fields));
        EXPECT_FALSE(result.ok) << result.text;
        EXPECT_EQ(result.reason.substr(0, c.text.size()), c.text);
    }
}

TEST(Payload, IbansOfEachLengthAndTheirCorruptions) {
    for (const std::string iban :
         {"NO9386011117947", "BE68539007547034", "AT611904300234573201", "CH9300762011623852957",
          "GB29NWBK60161331926819", "FR1420041010050500013M02606", "IT60X0542811101000000123456",
          "MT84MALT011000012345MTLCAST001S", "LC55HEMM000100010012001200023015"}) {
        SCOPED_TRACE(iban);
        std::string corrupt = iban;
        corrupt.back() = corrupt.back() == '0' ? '1' : '0';
        EXPECT_TRUE(Build("epc", Fields("name=A|iban=" + iban)).ok);
        EXPECT_FALSE(Build("epc", Fields("name=A|iban=" + corrupt)).ok);
        EXPECT_FALSE(Build("epc", Fields("name=A|iban=" + iban + "0")).ok);
    }
}

TEST(Payload, TheTableOfFields) {
    for (const payload::KindInfo& kind : payload::Kinds()) {
        SCOPED_TRACE(kind.name);
        const std::vector<payload::FieldInfo> fields = payload::FieldsOf(kind.name);
        ASSERT_FALSE(fields.empty());
        for (std::size_t i = 0; i < fields.size(); ++i) {
            SCOPED_TRACE(fields[i].name);
            for (std::size_t k = 0; k < i; ++k) EXPECT_STRNE(fields[k].name, fields[i].name);
            // A text field says what it takes.
            EXPECT_EQ(fields[i].takes != nullptr, fields[i].type == payload::FieldType::kText);
            // Each field reaches the kind's record: alone, it is refused for another field or
            // for its value, never as unknown.
            const auto alone = Build(kind.name, {{fields[i].name, "?"}});
            EXPECT_EQ(alone.reason.find("no such field"), std::string::npos) << alone.reason;
        }
    }
    EXPECT_TRUE(payload::FieldsOf("qr").empty());
}

// Each physical line of a content line is at most 75 octets and starts no UTF-8 continuation
// byte, and joining them again gives the line back.
TEST(Payload, LongLinesFoldAtWholeCharacters) {
    for (std::size_t prefix = 0; prefix < 4; ++prefix) {
        std::string note(prefix, 'a');
        for (int k = 0; k < 60; ++k) note += k % 3 == 0 ? "\xE2\x82\xAC" : "\xC3\xA9";
        const auto result = Build("vcard", {{"last", "X"}, {"note", note}});
        ASSERT_TRUE(result.ok);
        std::string joined;
        std::size_t begin = 0;
        for (std::size_t end; (end = result.text.find("\r\n", begin)) != std::string::npos;
             begin = end + 2) {
            const std::string line = result.text.substr(begin, end - begin);
            EXPECT_LE(line.size(), 75u);
            const bool continued = !line.empty() && line[0] == ' ';
            EXPECT_TRUE(!continued || (static_cast<unsigned char>(line[1]) & 0xC0) != 0x80);
            joined += continued ? line.substr(1) : "\n" + line;
        }
        EXPECT_NE(joined.find("\nNOTE:" + note + "\n"), std::string::npos);
    }
}

// The data of the symbol in the BMP file `bmp` as zxing-cpp reads it.
std::string ReadBack(const std::string& bmp) {
    GrayImage image;
    std::string error;
    if (!ParseBmp(reinterpret_cast<const unsigned char*>(bmp.data()), bmp.size(), &image, &error)) {
        return "no BMP: " + error;
    }
    const auto bytes = ReadWithZxing(image, ZxingDetection::kPure, &error);
    return bytes ? std::string(bytes->begin(), bytes->end()) : "unread: " + error;
}

TEST(Payload, SymbolsWithinTheLimitsReadBackAsTheTexts) {
    std::vector<payload::Result> results;
    for (const PayloadRow& row : PayloadRows()) results.push_back(Build(row.kind, row.fields));
    results.push_back(Build("epc", Fields(LongestPayment(118))));
    ASSERT_EQ(results.back().text.size(), 331u);
    for (const payload::Result& result : results) {
        SCOPED_TRACE(result.text);
        const payload::SymbolLimits limits = result.limits;
        const int level =
            static_cast<int>(std::string("LMQH").find(limits.level == 0 ? 'M' : limits.level));
        int encoded = 0;
        const auto symbol = EncodeBytes(ToBytes(result.text), level, limits.maxVersion,
                                        limits.maxVersion == 0, -1, &encoded);
        ASSERT_EQ(encoded, 1);
        EXPECT_EQ(ReadBack(Rendered(*symbol, ImageFormat::kBmp, 3)), result.text);
    }
}

// The output of `oracles.py what` for `cases` (one line each, its columns "name=hex" joined by
// tabs), run by Debian's Python, under which python3-vobject and python3-segno import; or the
// exit status when it fails.
std::string RunOracle(const char* what, const std::vector<FieldValues>& cases) {
    TempDir dir;
    std::string input;
    for (const FieldValues& columns : cases) {
        std::string line;
        for (const auto& [name, value] : columns) {
            line += (line.empty() ? "" : "\t") + name + "=" +
                    ToHex(ToBytes(value).data(), value.size());
        }
        input += line + "\n";
    }
    WriteFile(dir.File("cases"), ToBytes(input));
    const std::string command = "/usr/bin/python3 " TESSERA_PAYLOAD_TESTS "/oracles.py " +
                                std::string(what) + " " + dir.File("cases");
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    char buffer[4096];
    for (std::size_t got;
         pipe != nullptr && (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        output.append(buffer, got);
    }
    const int status = pipe == nullptr ? -1 : pclose(pipe);
    return status == 0 ? output : "oracles.py failed: exit status " + std::to_string(status);
}

TEST(Payload, VcardsReadInVobjectAsTheirFields) {
    std::vector<FieldValues> cards;
    for (const PayloadRow& row : PayloadRows()) {
        if (row.kind != "vcard") continue;
        FieldValues fields = row.fields;
        const std::string card = Build(row.kind, fields).text;
        fields.insert(fields.begin(), {"vcard", card});
        cards.push_back(fields);
    }
    EXPECT_EQ(RunOracle("vcards", cards), std::to_string(cards.size()) + " vcards read\n");
}

// segno writes the codes as it is given them and has no info line: it is given the lines of our
// text but the info, and takes only payments with an amount and a text or a reference.
TEST(Payload, PaymentsEqualSegnosEpcCodes) {
    std::vector<FieldValues> payments;
    for (const PayloadRow& row : PayloadRows()) {
        if (row.kind != "epc") continue;
        FieldValues fields = row.fields;
        if (fields.back().first == "info") fields.pop_back();
        payments.push_back({{"epc", Build(row.kind, fields).text}});
    }
    FieldValues longest = Fields(LongestPayment(118));
    longest.pop_back();
    payments.push_back({{"epc", Build("epc", longest).text}});
    std::istringstream rows(RunOracle("epc", payments));
    int compared = 0;
    for (const FieldValues& payment : payments) {
        SCOPED_TRACE(payment[0].second);
        std::string row;
        ASSERT_TRUE(std::getline(rows, row));
        if (row == "-") continue;
        ModuleMatrix cells;
        const int size = static_cast<int>(row.find('/'));
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) cells[x][y] = row[y * (size + 1) + x] == '1';
        EXPECT_EQ(ReadBack(Rendered(size, cells, ImageFormat::kBmp, 3, kQuietZoneModules)),
                  payment[0].second);
        ++compared;
    }
    EXPECT_EQ(compared, 3);
}

}  // namespace
}  // namespace qr::test
