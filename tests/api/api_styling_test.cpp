// The C API's styled symbols: the library's lists of names, parts set by name, a plain style's
// bytes, verdicts of verification, and the refusals of records and styles.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "module/tessera_api.h"

namespace {

std::vector<std::string> List(int list) {
    std::vector<std::string> names;
    for (int i = 0; tessera_style_name(list, i) != nullptr; ++i)
        names.push_back(tessera_style_name(list, i));
    return names;
}

struct Symbol {
    tessera_symbol* symbol = nullptr;
    explicit Symbol(const std::string& data, int level = TESSERA_DEFAULT, int rmqr = 0) {
        tessera_settings s;
        tessera_settings_init(&s);
        s.level = level;
        s.rmqr = rmqr;
        EXPECT_EQ(tessera_encode(data.data(), data.size(), &s, &symbol), TESSERA_OK);
    }
    ~Symbol() { tessera_symbol_free(symbol); }
};

std::string Rendered(const tessera_symbol* symbol, int format, const tessera_style_options* style,
                     const tessera_render_options* options = nullptr) {
    size_t size = 0;
    if (tessera_render_styled(symbol, format, options, style, nullptr, 0, &size) !=
        TESSERA_ERROR_BUFFER_TOO_SMALL) {
        return "";
    }
    std::string bytes(size, '\0');
    EXPECT_EQ(tessera_render_styled(symbol, format, options, style, &bytes[0], size, &size),
              TESSERA_OK);
    return bytes;
}

TEST(ApiStyling, ListsTheLibrarysNamesAndSetsPartsByName) {
    EXPECT_EQ(List(TESSERA_STYLE_SHAPE),
              (std::vector<std::string>{"square", "dot", "rounded", "classy", "diamond", "hbars",
                                        "vbars"}));
    EXPECT_EQ(List(TESSERA_STYLE_FINDER), (std::vector<std::string>{"square", "rounded", "dot"}));
    EXPECT_EQ(List(TESSERA_STYLE_REGION),
              (std::vector<std::string>{
                  "finder-dark", "finder-light", "alignment-dark", "alignment-light", "timing-dark",
                  "timing-light", "format-dark", "format-light", "version-dark", "version-light",
                  "data-dark", "data-light", "separator", "quiet-zone"}));
    EXPECT_EQ(List(TESSERA_STYLE_SETTING).size(), 6 + List(TESSERA_STYLE_REGION).size());
    EXPECT_EQ(List(TESSERA_STYLE_GRADIENT), (std::vector<std::string>{"linear", "radial"}));
    // Null just past the end of each list, before its start, far past it, and in no list.
    struct Outside {
        int list;
        int index;
    };
    for (const Outside& o : std::vector<Outside>{
             {TESSERA_STYLE_SHAPE, 7},
             {TESSERA_STYLE_FINDER, 3},
             {TESSERA_STYLE_REGION, 14},
             {TESSERA_STYLE_SETTING, 20},
             {TESSERA_STYLE_GRADIENT, 2},
             {TESSERA_STYLE_SHAPE, -1},
             {TESSERA_STYLE_GRADIENT, -1},
             {TESSERA_STYLE_FINDER, 1 << 30},
             {7, 0},
             {-1, 0},
         }) {
        SCOPED_TRACE("list " + std::to_string(o.list) + ", entry " + std::to_string(o.index));
        EXPECT_EQ(tessera_style_name(o.list, o.index), nullptr);
    }

    struct Case {
        const char* name;
        const char* value;
        const char* why;  // empty when it is taken
    };
    for (const Case& c : std::vector<Case>{
             {"shape", "diamond", ""},
             {"shape", "star",
              "shape takes square, dot, rounded, classy, diamond, hbars or vbars, not 'star'"},
             {"finder", "dot", ""},
             {"data-dark", "#123456", ""},
             {"quiet-zone", "12345",
              "quiet-zone takes a colour RRGGBB or RRGGBBAA in hex, not '12345'"},
             {"gradient", "linear:000000,0000FF,45", ""},
             {"gradient", "conic:000000,0000FF",
              "gradient takes the dark modules in a gradient: "
              "linear:RRGGBB,RRGGBB[,ANGLE] (degrees, 0 left to right, 90 top to bottom) or "
              "radial:RRGGBB,RRGGBB, not 'conic:000000,0000FF'"},
             {"logo-size", "30", ""},
             {"logo-size", "101",
              "logo-size takes the logo's width in percent of the symbol's, "
              "1-100 (default 20), not '101'"},
             {"cmyk", "0,0,0,100", ""},
             {"size", "1.5in", ""},
             {"size", "30cm",
              "size takes the printed width with the quiet zone, in mm, in or pt "
              "(\"30mm\"); with a resolution, the scale of PNG and BMP, not '30cm'"},
             {"colour", "000000", "no part of a style is named 'colour'"},
         }) {
        SCOPED_TRACE(std::string(c.name) + " " + c.value);
        tessera_style_options style;
        tessera_style_options_init(&style);
        const tessera_style_options before = style;
        char text[300] = "x";
        EXPECT_EQ(tessera_style_set(&style, c.name, c.value, text, sizeof text),
                  c.why[0] == '\0' ? TESSERA_OK : TESSERA_ERROR_BAD_ARGUMENT);
        EXPECT_STREQ(text, c.why);
        if (c.why[0] != '\0') {
            EXPECT_EQ(std::memcmp(&style, &before, sizeof style), 0);
        }
    }
    tessera_style_options style;
    tessera_style_options_init(&style);
    ASSERT_EQ(tessera_style_set(&style, "shape", "hbars", nullptr, 0), TESSERA_OK);
    ASSERT_EQ(tessera_style_set(&style, "data-dark", "FF000080", nullptr, 0), TESSERA_OK);
    ASSERT_EQ(tessera_style_set(&style, "size", "30mm", nullptr, 0), TESSERA_OK);
    EXPECT_EQ(style.shape, 5);
    EXPECT_EQ(style.regions[10], 0xFF000080u);
    EXPECT_EQ(style.printed_unit, 1);
    EXPECT_EQ(style.printed_size, 30.0);
}

TEST(ApiStyling, APlainStyleDrawsTheRendersBytesAndAStyleIsCheckedAndVerified) {
    const Symbol s("https://example.com/styled");
    tessera_style_options plain;
    tessera_style_options_init(&plain);
    for (int format = 0; tessera_format_name(format) != nullptr; ++format) {
        SCOPED_TRACE(tessera_format_name(format));
        size_t size = 0;
        ASSERT_EQ(tessera_render(s.symbol, format, nullptr, nullptr, 0, &size),
                  TESSERA_ERROR_BUFFER_TOO_SMALL);
        std::string expected(size, '\0');
        ASSERT_EQ(tessera_render(s.symbol, format, nullptr, &expected[0], size, &size), TESSERA_OK);
        EXPECT_EQ(Rendered(s.symbol, format, &plain), expected);
        EXPECT_EQ(Rendered(s.symbol, format, nullptr), expected);
    }

    // Verdicts: a styled symbol that reads, one of too little contrast, one of too narrow a quiet
    // zone.
    tessera_style_options dots = plain;
    ASSERT_EQ(tessera_style_set(&dots, "shape", "dot", nullptr, 0), TESSERA_OK);
    ASSERT_EQ(tessera_style_set(&dots, "finder", "rounded", nullptr, 0), TESSERA_OK);
    tessera_render_options options;
    tessera_render_options_init(&options);
    struct Case {
        const char* what;
        uint32_t dark;
        int margin;
        int verdict;
        const char* line;  // a part of the text
    };
    for (const Case& c : std::vector<Case>{
             {"reads", 0x000000FF, TESSERA_DEFAULT, TESSERA_VERIFY_READS, ""},
             {"low contrast", 0xBBBBBBFF, TESSERA_DEFAULT, TESSERA_VERIFY_UNREADABLE, "contrast"},
             {"narrow quiet zone", 0x000000FF, 1, TESSERA_VERIFY_WARNINGS, "quiet zone"},
         }) {
        SCOPED_TRACE(c.what);
        tessera_render_options o = options;
        o.dark = c.dark;
        o.margin = c.margin;
        int verdict = -1;
        char text[1000];
        ASSERT_EQ(
            tessera_verify(s.symbol, TESSERA_FORMAT_PNG, &o, &dots, &verdict, text, sizeof text),
            TESSERA_OK);
        EXPECT_EQ(verdict, c.verdict);
        EXPECT_NE(std::string(text).find(c.line), std::string::npos) << text;
        EXPECT_EQ(c.verdict == TESSERA_VERIFY_READS, text[0] == '\0') << text;
    }
    EXPECT_NE(Rendered(s.symbol, TESSERA_FORMAT_PNG, &dots),
              Rendered(s.symbol, TESSERA_FORMAT_PNG, &plain));

    // Refusals: what a format cannot draw, a record of an unknown size or value, null pointers.
    char text[300];
    EXPECT_EQ(tessera_check_style(s.symbol, TESSERA_FORMAT_TXT, nullptr, &dots, text, sizeof text),
              TESSERA_ERROR_BAD_ARGUMENT);
    EXPECT_STREQ(text, "txt output takes no styles");
    EXPECT_EQ(tessera_check_style(s.symbol, TESSERA_FORMAT_SVG, nullptr, &dots, text, sizeof text),
              TESSERA_OK);
    EXPECT_STREQ(text, "");
    tessera_style_options bad = dots;
    bad.size = sizeof bad - 1;
    size_t size = 0;
    EXPECT_EQ(tessera_render_styled(s.symbol, TESSERA_FORMAT_SVG, nullptr, &bad, nullptr, 0, &size),
              TESSERA_ERROR_BAD_ARGUMENT);
    bad = dots;
    bad.shape = 7;
    EXPECT_EQ(tessera_render_styled(s.symbol, TESSERA_FORMAT_SVG, nullptr, &bad, nullptr, 0, &size),
              TESSERA_ERROR_BAD_ARGUMENT);
    int verdict = 0;
    EXPECT_EQ(tessera_verify(nullptr, TESSERA_FORMAT_SVG, nullptr, &dots, &verdict, nullptr, 0),
              TESSERA_ERROR_BAD_ARGUMENT);
    EXPECT_EQ(tessera_verify(s.symbol, TESSERA_FORMAT_SVG, nullptr, &dots, nullptr, nullptr, 0),
              TESSERA_ERROR_BAD_ARGUMENT);

    // rMQR: drawn plain as tessera_render() draws it; styled and verified as the others are.
    const Symbol r("https://example.com/styled", TESSERA_DEFAULT, 1);
    size = 0;
    ASSERT_EQ(tessera_render(r.symbol, TESSERA_FORMAT_PNG, nullptr, nullptr, 0, &size),
              TESSERA_ERROR_BUFFER_TOO_SMALL);
    std::string expected(size, '\0');
    ASSERT_EQ(tessera_render(r.symbol, TESSERA_FORMAT_PNG, nullptr, &expected[0], size, &size),
              TESSERA_OK);
    EXPECT_EQ(Rendered(r.symbol, TESSERA_FORMAT_PNG, &plain), expected);
    const std::string dotted = Rendered(r.symbol, TESSERA_FORMAT_PNG, &dots);
    EXPECT_FALSE(dotted.empty());
    EXPECT_NE(dotted, expected);
    EXPECT_EQ(tessera_check_style(r.symbol, TESSERA_FORMAT_PNG, nullptr, &dots, text, sizeof text),
              TESSERA_OK);
    for (const tessera_style_options* style : {&plain, &dots}) {
        verdict = -1;
        EXPECT_EQ(tessera_verify(r.symbol, TESSERA_FORMAT_PNG, nullptr, style, &verdict, text,
                                 sizeof text),
                  TESSERA_OK);
        EXPECT_EQ(verdict, TESSERA_VERIFY_READS) << text;
    }
}

TEST(ApiStyling, ALogoIsCappedByTheErrorCorrectionOfTheSymbol) {
    const std::string svg =
        "<svg xmlns='http://www.w3.org/2000/svg' viewBox='0 0 10 10'><circle cx='5' cy='5' "
        "r='5'/></svg>";
    struct Case {
        int level;
        int percent;
        const char* why;
    };
    for (const Case& c : std::vector<Case>{
             {TESSERA_LEVEL_H, 17, ""},
             {TESSERA_LEVEL_H, 18,
              "a logo of 18% hides more than this symbol's error correction can repair; 17% is "
              "the largest that fits"},
             {TESSERA_LEVEL_L, 5,
              "a logo of 5% hides more than this symbol's error correction can repair"},
         }) {
        SCOPED_TRACE(std::to_string(c.level) + " " + std::to_string(c.percent));
        const Symbol s("https://example.com/logo", c.level);
        tessera_style_options style;
        tessera_style_options_init(&style);
        style.logo = svg.data();
        style.logo_size = svg.size();
        style.logo_percent = c.percent;
        char text[300];
        EXPECT_EQ(
            tessera_check_style(s.symbol, TESSERA_FORMAT_SVG, nullptr, &style, text, sizeof text),
            c.why[0] == '\0' ? TESSERA_OK : TESSERA_ERROR_BAD_ARGUMENT);
        EXPECT_STREQ(text, c.why);
    }
}

}  // namespace
