// The batch's JSON objects: plain members read as text, everything else refused at its byte.
#include "cli/json_object.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qr::cli {
namespace {

// The members as "name=value;..." or the refusal.
std::string Read(const std::string& text) {
    JsonMembers members;
    const std::string error = ReadJsonObject(text, &members);
    if (!error.empty()) return error;
    std::string read;
    for (const auto& [name, value] : members) read += name + "=" + value + ";";
    return read;
}

TEST(JsonObject, PlainMembersOrTheByteThatIsWrong) {
    struct Case {
        std::string text, expected;
    };
    for (const Case& c : std::vector<Case>{
             {R"({"ssid": "My Net", "hidden": true, "n": -12.5e+3})",
              "ssid=My Net;hidden=true;n=-12.5e+3;"},
             {" { } \r", ""},
             {R"({"a":false,"b":0,"c":"x"})", "a=false;b=0;c=x;"},
             {R"({"e": "\"\\\/\b\f\n\r\t"})", "e=\"\\/\b\f\n\r\t;"},
             {R"({"u": "\u00e9\u20AC\ud83d\ude00"})", "u=\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80;"},
             {R"({"raw": "é"})", "raw=\xC3\xA9;"},
             {"", "byte 1: an object starts with '{'"},
             {R"({a: 1})", "byte 2: a member's name is a string"},
             {R"({"a" 1})", "byte 6: ':' after a member's name"},
             {R"({"a": null})", "byte 7: a value is a string, a number, true or false"},
             {R"({"a": {"b": 1}})", "byte 7: a value is a string, a number, true or false"},
             {R"({"a": 01})", "byte 8: ',' or '}' after a member"},
             {R"({"a": 1,})", "byte 9: a member's name is a string"},
             {R"({"a": 1} x)", "byte 10: nothing may follow the object"},
             {R"({"a": "x)", "byte 9: a string ends with '\"'"},
             {"{\"a\": \"x\ty\"}", "byte 9: a control character in a string is written with '\\'"},
             {R"({"a": "\x"})",
              "byte 8: an escape is one of \\\" \\\\ \\/ \\b \\f \\n \\r \\t \\uXXXX"},
             {R"({"a": "\ud83d"})", "byte 8: \\u takes 4 hex digits, a surrogate pair joined"},
             {R"({"a": "\u12G4"})", "byte 8: \\u takes 4 hex digits, a surrogate pair joined"},
         }) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(Read(c.text), c.expected);
    }
}

}  // namespace
}  // namespace qr::cli
