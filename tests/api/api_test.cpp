// The public C API's contract: every status with the arguments that cause it, the symbol's facts
// and modules against the encoder, each format's size query, and saving.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "encoder/rmqr_encoder.h"
#include "module/encode.h"
#include "module/messages.h"
#include "module/tessera.h"
#include "module/tessera_api.h"
#include "tests/payload/payload_rows.h"
#include "tests/support/test_support.h"

namespace qr::test {
namespace {

struct SymbolDeleter {
    void operator()(tessera_symbol* s) const { tessera_symbol_free(s); }
};
using SymbolPtr = std::unique_ptr<tessera_symbol, SymbolDeleter>;

tessera_settings Settings(int level = TESSERA_DEFAULT, int version = 0, int strict = 0,
                          int mask = TESSERA_DEFAULT) {
    tessera_settings s;
    tessera_settings_init(&s);
    s.level = level;
    s.version = version;
    s.strict_version = strict;
    s.mask = mask;
    return s;
}

SymbolPtr Make(const std::string& data, const tessera_settings* settings = nullptr) {
    tessera_symbol* symbol = nullptr;
    EXPECT_EQ(tessera_encode(data.data(), data.size(), settings, &symbol), TESSERA_OK);
    return SymbolPtr(symbol);
}

// `size` zero bytes that end where memory that may not be read begins, so that reading past them
// faults.
class Fenced {
public:
    explicit Fenced(std::size_t size) {
        const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
        span_ = (size + page - 1) / page * page + page;
        void* base =
            mmap(nullptr, span_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        EXPECT_NE(base, MAP_FAILED);
        base_ = static_cast<unsigned char*>(base);
        EXPECT_EQ(mprotect(base_ + span_ - page, page, PROT_NONE), 0);
        data_ = base_ + span_ - page - size;
    }
    ~Fenced() { munmap(base_, span_); }
    Fenced(const Fenced&) = delete;
    Fenced& operator=(const Fenced&) = delete;
    unsigned char* data() const { return data_; }

private:
    std::size_t span_ = 0;
    unsigned char* base_ = nullptr;
    unsigned char* data_ = nullptr;
};

std::string RenderBytes(const tessera_symbol* symbol, int format,
                        const tessera_render_options* options = nullptr) {
    size_t size = 0;
    EXPECT_EQ(tessera_render(symbol, format, options, nullptr, 0, &size),
              TESSERA_ERROR_BUFFER_TOO_SMALL);
    std::string bytes(size, '\0');
    EXPECT_EQ(tessera_render(symbol, format, options, &bytes[0], bytes.size(), &size), TESSERA_OK);
    return bytes;
}

TEST(Api, EncodeStatusesWithTheArgumentsThatCauseThem) {
    const std::string hello = "Hello";
    tessera_settings tooShort = Settings();
    tooShort.size = sizeof(size_t) - 1;
    tessera_settings olderCaller = Settings(TESSERA_LEVEL_H);
    olderCaller.size = offsetof(tessera_settings, version);  // knows only the level
    olderCaller.version = 99;                                // beyond its size: not read
    struct Larger {
        tessera_settings known;
        int unknown;
    };
    Larger newerCaller{Settings(), 1};
    newerCaller.known.size = sizeof newerCaller;
    Larger newerZero{Settings(), 0};
    newerZero.known.size = sizeof newerZero;
    tessera_settings midField = Settings();
    midField.size = offsetof(tessera_settings, version) + 2;
    const tessera_settings level4 = Settings(4), version41 = Settings(TESSERA_DEFAULT, 41),
                           mask8 = Settings(TESSERA_DEFAULT, 0, 0, 8),
                           strict1 = Settings(TESSERA_LEVEL_H, 1, 1),
                           strictNone = Settings(TESSERA_DEFAULT, 0, 1);
    struct Case {
        const char* what;
        const void* data;
        size_t length;
        const tessera_settings* settings;
        tessera_status status;
    };
    const std::string big(3000, 'x');
    for (const Case& c : std::vector<Case>{
             {"defaults", hello.data(), hello.size(), nullptr, TESSERA_OK},
             {"null data, no length", nullptr, 0, nullptr, TESSERA_ERROR_CANNOT_ENCODE},
             {"empty", hello.data(), 0, nullptr, TESSERA_ERROR_CANNOT_ENCODE},
             {"null data with a length", nullptr, 3, nullptr, TESSERA_ERROR_BAD_ARGUMENT},
             {"too long for any version", big.data(), big.size(), nullptr,
              TESSERA_ERROR_CANNOT_ENCODE},
             {"too long for version 1, strictly", big.data(), 30, &strict1,
              TESSERA_ERROR_CANNOT_ENCODE},
             {"strict without a version", hello.data(), hello.size(), &strictNone, TESSERA_OK},
             {"level 4", hello.data(), hello.size(), &level4, TESSERA_ERROR_BAD_ARGUMENT},
             {"version 41", hello.data(), hello.size(), &version41, TESSERA_ERROR_BAD_ARGUMENT},
             {"mask 8", hello.data(), hello.size(), &mask8, TESSERA_ERROR_BAD_ARGUMENT},
             {"size shorter than its own field", hello.data(), hello.size(), &tooShort,
              TESSERA_ERROR_BAD_ARGUMENT},
             {"an older caller's shorter struct", hello.data(), hello.size(), &olderCaller,
              TESSERA_OK},
             {"a newer caller's setting", hello.data(), hello.size(), &newerCaller.known,
              TESSERA_ERROR_BAD_ARGUMENT},
             {"a newer caller's setting left 0", hello.data(), hello.size(), &newerZero.known,
              TESSERA_OK},
             {"a size that ends inside a field", hello.data(), hello.size(), &midField,
              TESSERA_ERROR_BAD_ARGUMENT},
         }) {
        SCOPED_TRACE(c.what);
        int sentinel = 0;
        tessera_symbol* symbol = reinterpret_cast<tessera_symbol*>(&sentinel);  // must be reset
        EXPECT_EQ(tessera_encode(c.data, c.length, c.settings, &symbol), c.status);
        EXPECT_EQ(symbol == nullptr, c.status != TESSERA_OK);
        tessera_symbol_free(symbol);
    }
    EXPECT_EQ(tessera_encode(hello.data(), hello.size(), nullptr, nullptr),
              TESSERA_ERROR_BAD_ARGUMENT);
    SymbolPtr high(nullptr);
    {
        tessera_symbol* symbol = nullptr;
        ASSERT_EQ(tessera_encode("Hi", 2, &olderCaller, &symbol), TESSERA_OK);
        high.reset(symbol);
    }
    EXPECT_EQ(tessera_symbol_level(high.get()), TESSERA_LEVEL_H);
    EXPECT_EQ(tessera_symbol_version(high.get()), 1);
}

// The records as the first header laid them out, before the settings gained rmqr to fit_height.
struct FirstSettings {
    size_t size;
    int level, version, strict_version, mask, utf8, micro, boost;
};
struct FirstRenderOptions {
    size_t size;
    int scale, margin;
    uint32_t dark, light;
    int dpi;
};

TEST(Api, InitWritesTheDefaultsUpToTheCallersSizeAndNotOneBytePast) {
    constexpr unsigned char kGuard = 0xA5;
    using Init = tessera_status (*)(void*, size_t);
    const Init settings = [](void* at, size_t size) {
        return tessera_settings_init_sized(static_cast<tessera_settings*>(at), size);
    };
    const Init options = [](void* at, size_t size) {
        return tessera_render_options_init_sized(static_cast<tessera_render_options*>(at), size);
    };
    const Init oldSettings = [](void* at, size_t) {
        (tessera_settings_init)(static_cast<tessera_settings*>(at));
        return TESSERA_OK;
    };
    const Init oldOptions = [](void* at, size_t) {
        (tessera_render_options_init)(static_cast<tessera_render_options*>(at));
        return TESSERA_OK;
    };
    const Init style = [](void* at, size_t size) {
        return tessera_style_options_init_sized(static_cast<tessera_style_options*>(at), size);
    };
    const Init oldStyle = [](void* at, size_t) {
        (tessera_style_options_init)(static_cast<tessera_style_options*>(at));
        return TESSERA_OK;
    };
    struct Field {
        size_t offset;
        uint32_t value;
    };
    const std::vector<Field> settingsDefaults = {{offsetof(tessera_settings, level), ~0u},
                                                 {offsetof(tessera_settings, mask), ~0u}};
    const std::vector<Field> optionsDefaults = {{offsetof(tessera_render_options, margin), ~0u},
                                                {offsetof(tessera_render_options, dark), 0xFFu},
                                                {offsetof(tessera_render_options, light), ~0u}};
    const std::vector<Field> styleDefaults = {{offsetof(tessera_style_options, logo_percent), 20}};
    const size_t styleNow = sizeof(tessera_style_options);
    const size_t first = sizeof(FirstSettings), now = sizeof(tessera_settings);
    struct Case {
        const char* what;
        Init init;
        size_t size;     // passed to a sized init
        size_t written;  // 0: refused
        const std::vector<Field>* defaults;
    };
    for (const Case& c : std::vector<Case>{
             {"old settings export", oldSettings, 0, first, &settingsDefaults},
             {"settings of the first header", settings, first, first, &settingsDefaults},
             {"settings of this header", settings, now, now, &settingsDefaults},
             {"a later header's settings", settings, now + 8, now + 8, &settingsDefaults},
             {"as large as may be", settings, 4096, 4096, &settingsDefaults},
             {"short of boost", settings, offsetof(FirstSettings, boost), 0, nullptr},
             {"no room for the size", settings, 0, 0, nullptr},
             {"ending inside a field", settings, now - 2, 0, nullptr},
             {"too large", settings, 4097, 0, nullptr},
             {"old options export", oldOptions, 0, sizeof(FirstRenderOptions), &optionsDefaults},
             {"options of this header", options, sizeof(tessera_render_options),
              sizeof(tessera_render_options), &optionsDefaults},
             {"options short of dpi", options, offsetof(tessera_render_options, dpi), 0, nullptr},
             {"old style export", oldStyle, 0, styleNow, &styleDefaults},
             {"style of this header", style, styleNow, styleNow, &styleDefaults},
             {"a later header's style", style, styleNow + 8, styleNow + 8, &styleDefaults},
             {"style short of printed_size", style, offsetof(tessera_style_options, printed_size),
              0, nullptr},
         }) {
        SCOPED_TRACE(c.what);
        std::vector<unsigned char> record(4200, kGuard);
        std::vector<unsigned char> expected = record;
        if (c.written != 0) {
            std::fill_n(expected.begin(), c.written, 0);
            std::memcpy(expected.data(), &c.written, sizeof(size_t));
            for (const Field& f : *c.defaults) std::memcpy(&expected[f.offset], &f.value, 4);
        }
        EXPECT_EQ(c.init(record.data(), c.size),
                  c.written != 0 ? TESSERA_OK : TESSERA_ERROR_BAD_ARGUMENT);
        EXPECT_EQ(record, expected);
    }
    EXPECT_EQ(settings(nullptr, now), TESSERA_ERROR_BAD_ARGUMENT);
    EXPECT_EQ(options(nullptr, sizeof(tessera_render_options)), TESSERA_ERROR_BAD_ARGUMENT);
    EXPECT_EQ(style(nullptr, styleNow), TESSERA_ERROR_BAD_ARGUMENT);
}

TEST(Api, NothingIsReadBeyondTheBoundsWhateverTheLengthsAndSizesSay) {
    const std::size_t unbounded = SIZE_MAX;
    const std::size_t kept = InputBytesKept();
    const Fenced letters(kept);
    std::memset(letters.data(), 'a', kept);
    tessera_settings utf8 = Settings();
    utf8.utf8 = 1;
    tessera_symbol* symbol = nullptr;
    EXPECT_EQ(tessera_encode(letters.data(), unbounded, &utf8, &symbol),
              TESSERA_ERROR_CANNOT_ENCODE);
    char text[200];
    ASSERT_EQ(tessera_explain_encode_failure(letters.data(), unbounded, &utf8, text, sizeof text),
              TESSERA_OK);
    // 12 bits of designator, 4 + 16 + 8 x 7090 of one byte segment.
    EXPECT_STREQ(text,
                 "the data cannot be encoded: it needs at least 56752 bits and version 40 at "
                 "level M holds at most 18672");

    const Fenced sixteen(16);
    tessera_symbol* parts[16] = {};
    size_t made = 99;
    EXPECT_EQ(tessera_encode_structured(sixteen.data(), unbounded, nullptr, 2, parts, 16, &made),
              TESSERA_ERROR_CANNOT_ENCODE);
    EXPECT_EQ(made, 0u);
    ASSERT_EQ(tessera_explain_structured_failure(sixteen.data(), unbounded, nullptr, 2, text,
                                                 sizeof text),
              TESSERA_OK);
    EXPECT_STREQ(text,
                 "the data cannot be encoded: it is more than 113424 bytes, the most that 16 "
                 "symbols hold");

    // A structure may say it has 4096 bytes, all read; one more is refused before any is read.
    const Fenced room(4096);
    auto* settings = reinterpret_cast<tessera_settings*>(room.data());
    tessera_settings_init(settings);
    settings->size = 4096;
    EXPECT_EQ(tessera_check_settings(settings, text, sizeof text), TESSERA_OK);
    settings->size = 4097;
    EXPECT_EQ(tessera_check_settings(settings, text, sizeof text), TESSERA_ERROR_BAD_ARGUMENT);
}

TEST(Api, SymbolFactsAndModulesAreTheEncoders) {
    struct Case {
        std::string data;
        int level, version, mask;
    };
    for (const Case& c : std::vector<Case>{
             {"01234567", TESSERA_LEVEL_M, 0, TESSERA_DEFAULT},
             {"HELLO WORLD", TESSERA_LEVEL_Q, 7, 3},
             {std::string(2000, 'z'), TESSERA_LEVEL_L, 0, TESSERA_DEFAULT},
         }) {
        SCOPED_TRACE(c.data.substr(0, 12));
        const tessera_settings settings = Settings(c.level, c.version, 0, c.mask);
        const SymbolPtr symbol = Make(c.data, &settings);
        ASSERT_TRUE(symbol);
        const auto encoder =
            EncodeBytes(ToBytes(c.data), c.level, c.version, 1, c.mask == -1 ? -1 : c.mask);
        const int size = encoder->symbolSize;
        EXPECT_EQ(tessera_symbol_size(symbol.get()), size);
        EXPECT_EQ(tessera_symbol_version(symbol.get()), encoder->version);
        EXPECT_EQ(tessera_symbol_level(symbol.get()), c.level);
        EXPECT_EQ(tessera_symbol_mask(symbol.get()), encoder->maskNumber);
        EXPECT_EQ(tessera_symbol_is_micro(symbol.get()), 0);

        std::vector<unsigned char> cells(static_cast<size_t>(size) * size);
        EXPECT_EQ(tessera_symbol_modules(symbol.get(), cells.data(), cells.size() - 1),
                  TESSERA_ERROR_BUFFER_TOO_SMALL);
        ASSERT_EQ(tessera_symbol_modules(symbol.get(), cells.data(), cells.size()), TESSERA_OK);
        // Row by row, as the matrix text of the conformance vectors reads it.
        std::string text;
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) text += static_cast<char>('0' + cells[y * size + x]);
            text += '\n';
        }
        EXPECT_EQ(text, MatrixText(*encoder));
    }
    for (auto fact : {tessera_symbol_size, tessera_symbol_version, tessera_symbol_level,
                      tessera_symbol_mask, tessera_symbol_is_micro, tessera_symbol_height,
                      tessera_symbol_is_rmqr, tessera_symbol_is_gs1}) {
        EXPECT_EQ(fact(nullptr), 0);
    }
    unsigned char cell;
    EXPECT_EQ(tessera_symbol_modules(nullptr, &cell, 1), TESSERA_ERROR_BAD_ARGUMENT);
}

TEST(Api, EachFormatAnswersItsSizeQueryAndRendersTheWritersBytes) {
    const std::string data = "tessera in memory";
    const SymbolPtr symbol = Make(data);
    const auto encoder = EncodeBytes(ToBytes(data), LEVEL_M);
    for (int format = 0; format < FormatCount(); ++format) {
        SCOPED_TRACE(tessera_format_name(format));
        size_t size = 12345;
        if (!tessera_format_available(format)) {
            EXPECT_EQ(tessera_render(symbol.get(), format, nullptr, nullptr, 0, &size),
                      TESSERA_ERROR_FORMAT_NOT_AVAILABLE);
            continue;
        }
        const ImageFormat which = static_cast<ImageFormat>(format);
        const std::string expected = Rendered(*encoder, which, FormatInfo(which).defaultScale);
        ASSERT_FALSE(expected.empty());
        std::string buffer(expected.size(), '\0');
        EXPECT_EQ(tessera_render(symbol.get(), format, nullptr, nullptr, 0, &size),
                  TESSERA_ERROR_BUFFER_TOO_SMALL);
        EXPECT_EQ(size, expected.size());
        size = 0;
        EXPECT_EQ(
            tessera_render(symbol.get(), format, nullptr, &buffer[0], buffer.size() - 1, &size),
            TESSERA_ERROR_BUFFER_TOO_SMALL);
        EXPECT_EQ(size, expected.size());
        EXPECT_EQ(buffer, std::string(expected.size(), '\0'));  // nothing written
        ASSERT_EQ(tessera_render(symbol.get(), format, nullptr, &buffer[0], buffer.size(), &size),
                  TESSERA_OK);
        EXPECT_EQ(buffer, expected);
    }
}

TEST(Api, RenderRefusesBadArgumentsAndOptionsTheFormatDoesNotTake) {
    const SymbolPtr symbol = Make("options");
    auto with = [](auto change) {
        tessera_render_options o;
        tessera_render_options_init(&o);
        change(o);
        return o;
    };
    struct Case {
        const char* what;
        const tessera_symbol* symbol;
        int format;
        tessera_render_options options;
        tessera_status status;
    };
    for (const Case& c : std::vector<Case>{
             {"no symbol", nullptr, TESSERA_FORMAT_BMP, with([](auto&) {}),
              TESSERA_ERROR_BAD_ARGUMENT},
             {"format -1", symbol.get(), -1, with([](auto&) {}), TESSERA_ERROR_BAD_ARGUMENT},
             {"one past the last format", symbol.get(), FormatCount(), with([](auto&) {}),
              TESSERA_ERROR_BAD_ARGUMENT},
             {"scale 21", symbol.get(), TESSERA_FORMAT_BMP, with([](auto& o) { o.scale = 21; }),
              TESSERA_ERROR_BAD_ARGUMENT},
             {"scale -1", symbol.get(), TESSERA_FORMAT_SVG, with([](auto& o) { o.scale = -1; }),
              TESSERA_ERROR_BAD_ARGUMENT},
             {"margin 65", symbol.get(), TESSERA_FORMAT_BMP, with([](auto& o) { o.margin = 65; }),
              TESSERA_ERROR_BAD_ARGUMENT},
             {"margin 0", symbol.get(), TESSERA_FORMAT_BMP, with([](auto& o) { o.margin = 0; }),
              TESSERA_OK},
             {"dpi 100001", symbol.get(), TESSERA_FORMAT_BMP, with([](auto& o) { o.dpi = 100001; }),
              TESSERA_ERROR_BAD_ARGUMENT},
             {"dpi for svg", symbol.get(), TESSERA_FORMAT_SVG, with([](auto& o) { o.dpi = 300; }),
              TESSERA_ERROR_BAD_ARGUMENT},
             {"colours for text", symbol.get(), TESSERA_FORMAT_TXT,
              with([](auto& o) { o.dark = 0x112233FF; }), TESSERA_ERROR_BAD_ARGUMENT},
             {"alpha for bmp", symbol.get(), TESSERA_FORMAT_BMP,
              with([](auto& o) { o.light = 0xFFFFFF00; }), TESSERA_ERROR_BAD_ARGUMENT},
             {"colours for xpm", symbol.get(), tessera_format_from_name("xpm"),
              with([](auto& o) { o.dark = 0x112233FF; }), TESSERA_OK},
             {"alpha for xpm", symbol.get(), tessera_format_from_name("xpm"),
              with([](auto& o) { o.light = 0xFFFFFF00; }), TESSERA_ERROR_BAD_ARGUMENT},
             {"colours for pbm", symbol.get(), tessera_format_from_name("pbm-plain"),
              with([](auto& o) { o.light = 0xFFEEDDFF; }), TESSERA_ERROR_BAD_ARGUMENT},
             {"a newer caller's option", symbol.get(), TESSERA_FORMAT_BMP,
              with([](auto& o) { o.size = sizeof o + 1; }), TESSERA_ERROR_BAD_ARGUMENT},
         }) {
        SCOPED_TRACE(c.what);
        size_t size = 0;
        EXPECT_EQ(tessera_render(c.symbol, c.format, &c.options, nullptr, 0, &size),
                  c.status == TESSERA_OK ? TESSERA_ERROR_BUFFER_TOO_SMALL : c.status);
    }
    EXPECT_EQ(tessera_render(symbol.get(), TESSERA_FORMAT_BMP, nullptr, nullptr, 0, nullptr),
              TESSERA_ERROR_BAD_ARGUMENT);
}

TEST(Api, BmpBytesEqualTheLibrarysFileAndSaveNeverLeavesAPartialFile) {
    TempDir dir;
    const tessera_settings settings = Settings(TESSERA_LEVEL_Q, 0, 0, 5);
    const SymbolPtr symbol = Make("HELLO FROM THE API", &settings);
    tessera_render_options options;
    tessera_render_options_init(&options);
    options.scale = 3;
    ASSERT_EQ(tessera("/THELLO FROM THE API", ("/O" + dir.File("door.bmp")).c_str(), "/L2", "/S3"),
              TESSERA_WRITTEN);
    const tessera_settings chosen = Settings(TESSERA_LEVEL_Q);
    const SymbolPtr same = Make("HELLO FROM THE API", &chosen);
    Bytes door;
    ASSERT_TRUE(ReadFile(dir.File("door.bmp"), &door));
    EXPECT_EQ(ToBytes(RenderBytes(same.get(), TESSERA_FORMAT_BMP, &options)), door);

    struct Case {
        std::string path;
        int format;
        tessera_status status;
        int expectFormat;  // the format of the file written, or -1 when none is
    };
    for (const Case& c : std::vector<Case>{
             {dir.File("a.svg"), -1, TESSERA_OK, TESSERA_FORMAT_SVG},
             {dir.File("b.TXT"), -1, TESSERA_OK, TESSERA_FORMAT_TXT},
             {dir.File("c.data"), TESSERA_FORMAT_BMP, TESSERA_OK, TESSERA_FORMAT_BMP},
             {dir.File("d.jpg"), -1, TESSERA_ERROR_BAD_ARGUMENT, -1},
             {dir.File("e"), -1, TESSERA_ERROR_BAD_ARGUMENT, -1},
             {dir.File("no/such/f.bmp"), -1, TESSERA_ERROR_CANNOT_WRITE, -1},
             {"", TESSERA_FORMAT_BMP, TESSERA_ERROR_BAD_ARGUMENT, -1},
         }) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(tessera_save(symbol.get(), c.path.c_str(), c.format, &options), c.status);
        Bytes file;
        EXPECT_EQ(ReadFile(c.path, &file), c.expectFormat >= 0);
        if (c.expectFormat >= 0) {
            EXPECT_EQ(file, ToBytes(RenderBytes(symbol.get(), c.expectFormat, &options)));
        }
    }
    EXPECT_EQ(tessera_save(symbol.get(), nullptr, TESSERA_FORMAT_BMP, nullptr),
              TESSERA_ERROR_BAD_ARGUMENT);
    // The reason of a failure, as a number and in words; nothing for a success.
    int error = -1;
    char reason[100] = "x";
    EXPECT_EQ(tessera_save_explained(symbol.get(), dir.File("no/such/f.bmp").c_str(), -1, nullptr,
                                     &error, reason, sizeof reason),
              TESSERA_ERROR_CANNOT_WRITE);
    EXPECT_EQ(error, ENOENT);
    EXPECT_STREQ(reason, "the folder does not exist");
    EXPECT_EQ(tessera_save_explained(symbol.get(), dir.File("g.bmp").c_str(), -1, nullptr, &error,
                                     reason, sizeof reason),
              TESSERA_OK);
    EXPECT_EQ(error, 0);
    EXPECT_STREQ(reason, "");
    EXPECT_EQ(tessera_save(nullptr, dir.File("z.bmp").c_str(), TESSERA_FORMAT_BMP, nullptr),
              TESSERA_ERROR_BAD_ARGUMENT);
    EXPECT_FALSE(FileExists(dir.File("z.bmp")));
}

TEST(Api, SaveAllSavesEachFileAsSaveWouldAndChecksEveryArgumentFirst) {
    TempDir dir;
    const SymbolPtr first = Make("first"), second = Make("second");
    tessera_render_options options;
    tessera_render_options_init(&options);
    options.scale = 2;
    // More files than one group holds; one of them in a folder that does not exist.
    constexpr size_t kFiles = 70, kMissing = 5;
    std::vector<std::string> paths;
    std::vector<const char*> names;
    std::vector<const tessera_symbol*> symbols;
    for (size_t i = 0; i < kFiles; ++i) {
        paths.push_back(dir.File((i == kMissing ? "missing/" : "") + std::to_string(i) +
                                 (i % 2 ? ".svg" : ".png")));
        symbols.push_back(i % 2 ? second.get() : first.get());
    }
    for (const std::string& path : paths) names.push_back(path.c_str());
    std::vector<tessera_status> results(kFiles, TESSERA_ERROR_NO_MEMORY);
    EXPECT_EQ(tessera_save_all(symbols.data(), names.data(), kFiles, -1, &options, results.data()),
              TESSERA_ERROR_CANNOT_WRITE);
    for (size_t i = 0; i < kFiles; ++i) {
        SCOPED_TRACE(paths[i]);
        EXPECT_EQ(results[i], i == kMissing ? TESSERA_ERROR_CANNOT_WRITE : TESSERA_OK);
        Bytes file;
        EXPECT_EQ(ReadFile(paths[i], &file), i != kMissing);
        if (i == kMissing) continue;
        const int format = i % 2 ? TESSERA_FORMAT_SVG : TESSERA_FORMAT_PNG;
        EXPECT_EQ(file, ToBytes(RenderBytes(symbols[i], format, &options)));
    }

    // A bad argument anywhere: nothing is written, not even the files before it.
    const std::string good = dir.File("good.bmp"), unnamed = dir.File("noformat");
    tessera_render_options tooLarge = options;
    tooLarge.scale = 99;
    struct Case {
        const char* what;
        const tessera_symbol* symbol;
        const char* path;
        int format;
        const tessera_render_options* options;
    };
    for (const Case& c : std::vector<Case>{
             {"a null symbol", nullptr, good.c_str(), -1, nullptr},
             {"a null path", first.get(), nullptr, -1, nullptr},
             {"an empty path", first.get(), "", TESSERA_FORMAT_BMP, nullptr},
             {"no format in the name", first.get(), unnamed.c_str(), -1, nullptr},
             {"a scale out of range", first.get(), good.c_str(), -1, &tooLarge},
         }) {
        SCOPED_TRACE(c.what);
        const tessera_symbol* const pair[] = {first.get(), c.symbol};
        const char* const where[] = {good.c_str(), c.path};
        EXPECT_EQ(tessera_save_all(pair, where, 2, c.format, c.options, nullptr),
                  TESSERA_ERROR_BAD_ARGUMENT);
        EXPECT_FALSE(FileExists(good));
    }
    EXPECT_EQ(tessera_save_all(nullptr, names.data(), 1, -1, nullptr, nullptr),
              TESSERA_ERROR_BAD_ARGUMENT);
    EXPECT_EQ(tessera_save_all(nullptr, nullptr, 0, -1, nullptr, nullptr), TESSERA_OK);
}

TEST(Api, MicroQrSymbolsAndTheirRanges) {
    struct Case {
        const char* what;
        std::string data;
        int level, version, strict, mask;
        tessera_status status;
        int size, expectedVersion, expectedLevel;  // when made
    };
    for (const Case& c : std::vector<Case>{
             {"digits in M1, no level", "12345", TESSERA_DEFAULT, 0, 0, TESSERA_DEFAULT, TESSERA_OK,
              11, 1, TESSERA_DEFAULT},
             {"level L from M2 on", "12345", TESSERA_LEVEL_L, 0, 0, TESSERA_DEFAULT, TESSERA_OK, 13,
              2, TESSERA_LEVEL_L},
             {"Q only in M4", "HELLO", TESSERA_LEVEL_Q, 0, 0, 3, TESSERA_OK, 17, 4,
              TESSERA_LEVEL_Q},
             {"bytes need M3", "hello", TESSERA_DEFAULT, 2, 1, TESSERA_DEFAULT,
              TESSERA_ERROR_CANNOT_ENCODE, 0, 0, 0},
             {"36 digits fit none", std::string(36, '7'), TESSERA_DEFAULT, 0, 0, TESSERA_DEFAULT,
              TESSERA_ERROR_CANNOT_ENCODE, 0, 0, 0},
             {"no level H", "1", TESSERA_LEVEL_H, 0, 0, TESSERA_DEFAULT, TESSERA_ERROR_BAD_ARGUMENT,
              0, 0, 0},
             {"version 5", "1", TESSERA_DEFAULT, 5, 0, TESSERA_DEFAULT, TESSERA_ERROR_BAD_ARGUMENT,
              0, 0, 0},
             {"mask 4", "1", TESSERA_DEFAULT, 0, 0, 4, TESSERA_ERROR_BAD_ARGUMENT, 0, 0, 0},
         }) {
        SCOPED_TRACE(c.what);
        tessera_settings settings = Settings(c.level, c.version, c.strict, c.mask);
        settings.micro = 1;
        tessera_symbol* made = nullptr;
        ASSERT_EQ(tessera_encode(c.data.data(), c.data.size(), &settings, &made), c.status);
        const SymbolPtr symbol(made);
        if (c.status != TESSERA_OK) continue;
        EXPECT_EQ(tessera_symbol_is_micro(made), 1);
        EXPECT_EQ(tessera_symbol_size(made), c.size);
        EXPECT_EQ(tessera_symbol_version(made), c.expectedVersion);
        EXPECT_EQ(tessera_symbol_level(made), c.expectedLevel);
        if (c.mask != TESSERA_DEFAULT) {
            EXPECT_EQ(tessera_symbol_mask(made), c.mask);
        }
        // The quiet zone of Micro QR is 2 modules: (size + 4) x 4 pixels of BMP.
        EXPECT_EQ(RenderBytes(made, TESSERA_FORMAT_BMP).size(),
                  62u + (((c.size + 4) * 4 + 31) / 32 * 4) * (c.size + 4) * 4);
    }
    tessera_settings utf8 = Settings();
    utf8.micro = utf8.utf8 = 1;
    char why[100];
    EXPECT_EQ(tessera_check_settings(&utf8, why, sizeof why), TESSERA_ERROR_BAD_ARGUMENT);
    EXPECT_STREQ(why, "Micro QR has no ECI for UTF-8 text");
    tessera_settings m1 = Settings(TESSERA_LEVEL_L, 1);
    m1.micro = 1;
    EXPECT_EQ(tessera_check_settings(&m1, why, sizeof why), TESSERA_ERROR_BAD_ARGUMENT);
    EXPECT_STREQ(why, "M1 has no error-correction level: leave the level out, or take M2 or above");
}

// The width and height in pixels that an image states, as "W H": in its header (BMP, PNG), its
// view box or page (SVG, EPS, PDF), its values line (XPM, PBM) or its lines of two characters a
// pixel (TXT).
std::string StatedSize(int format, const std::string& bytes) {
    auto between = [&](const std::string& before, const char* after) {
        const std::size_t start = bytes.find(before) + before.size();
        return bytes.substr(start, bytes.find_first_of(after, start) - start);
    };
    auto number = [&](std::size_t at, bool bigEndian) {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i) {
            v |= std::uint32_t{static_cast<unsigned char>(bytes[at + i])}
                 << (bigEndian ? 24 - 8 * i : 8 * i);
        }
        return std::to_string(v);
    };
    const std::string name = tessera_format_name(format);
    if (name == "bmp") return number(18, false) + " " + number(22, false);
    if (name == "png") return number(16, true) + " " + number(20, true);
    if (name == "svg") return between("viewBox=\"0 0 ", "\"");
    if (name == "eps") return between("%%BoundingBox: 0 0 ", "\n");
    if (name == "pdf") return between("/MediaBox [0 0 ", "]");
    if (name == "xpm") return between("{\n\"", "\"").substr(0, 5);
    if (name == "txt") {
        return std::to_string(bytes.find('\n') / 2) + " " +
               std::to_string(std::count(bytes.begin(), bytes.end(), '\n'));
    }
    return between("\n", "\n");  // PBM
}

TEST(Api, RmqrGs1AndBoxesToFitAndTheirRanges) {
    struct Case {
        const char* what;
        std::string data;
        int level, version, rmqr, height, gs1, fitWidth, fitHeight;
        tessera_status status;
        int width, rows, expectedVersion, isRmqr, isMicro;  // when made
    };
    // FNC1, 26 digits and 3 letters: 3 + (3 + 6 + 87) + (3 + 5 + 17) = 124 bits in R11x43, the
    // smallest area of 16 data codewords or more at M (19).
    const std::string gs1 = "[01]09501101530003[17]261231[10]ABC";
    for (const Case& c : std::vector<Case>{
             {"the smallest area", "12345", TESSERA_DEFAULT, 0, 1, 0, 0, 0, 0, TESSERA_OK, 27, 11,
              11, 1, 0},
             {"a size by number", "12345", TESSERA_LEVEL_H, 1, 1, 0, 0, 0, 0, TESSERA_OK, 43, 7, 1,
              1, 0},
             {"a height", "12345", TESSERA_DEFAULT, 0, 1, 15, 0, 0, 0, TESSERA_OK, 43, 15, 23, 1,
              0},
             {"GS1 in rMQR", gs1, TESSERA_LEVEL_M, 0, 1, 0, 1, 0, 0, TESSERA_OK, 43, 11, 12, 1, 0},
             {"GS1 in QR Code", gs1, TESSERA_LEVEL_M, 0, 0, 0, 1, 0, 0, TESSERA_OK, 25, 25, 2, 0,
              0},
             {"a wide box", "1234567890", TESSERA_DEFAULT, 0, 0, 0, 0, 50, 12, TESSERA_OK, 43, 7, 1,
              1, 0},
             {"a square box", "12345", TESSERA_DEFAULT, 0, 0, 0, 0, 21, 21, TESSERA_OK, 13, 13, 2,
              0, 1},
             {"a box for version 1", "ABCDEFGHIJKLMNOPQRST", TESSERA_DEFAULT, 0, 0, 0, 0, 29, 29,
              TESSERA_OK, 21, 21, 1, 0, 0},
             {"H leaves out Micro QR", "12345", TESSERA_LEVEL_H, 0, 0, 0, 0, 30, 30, TESSERA_OK, 21,
              21, 1, 0, 0},
             {"GS1 leaves out Micro QR", "[10]1", TESSERA_DEFAULT, 0, 0, 0, 1, 29, 29, TESSERA_OK,
              21, 21, 1, 0, 0},
             {"too small a box", "12345", TESSERA_DEFAULT, 0, 0, 0, 0, 14, 100,
              TESSERA_ERROR_CANNOT_ENCODE, 0, 0, 0, 0, 0},
             {"a bad check digit", "[01]09501101530004", TESSERA_DEFAULT, 0, 0, 0, 1, 0, 0,
              TESSERA_ERROR_CANNOT_ENCODE, 0, 0, 0, 0, 0},
             {"too long for R7x43", "1234567890123", TESSERA_DEFAULT, 1, 1, 0, 0, 0, 0, TESSERA_OK,
              59, 7, 2, 1, 0},
             {"no level Q", "1", TESSERA_LEVEL_Q, 0, 1, 0, 0, 0, 0, TESSERA_ERROR_BAD_ARGUMENT, 0,
              0, 0, 0, 0},
             {"size 33", "1", TESSERA_DEFAULT, 33, 1, 0, 0, 0, 0, TESSERA_ERROR_BAD_ARGUMENT, 0, 0,
              0, 0, 0},
             {"height 8", "1", TESSERA_DEFAULT, 0, 1, 8, 0, 0, 0, TESSERA_ERROR_BAD_ARGUMENT, 0, 0,
              0, 0, 0},
             {"a height without rMQR", "1", TESSERA_DEFAULT, 0, 0, 7, 0, 0, 0,
              TESSERA_ERROR_BAD_ARGUMENT, 0, 0, 0, 0, 0},
             {"a box and a version", "1", TESSERA_DEFAULT, 3, 0, 0, 0, 40, 40,
              TESSERA_ERROR_BAD_ARGUMENT, 0, 0, 0, 0, 0},
             {"half a box", "1", TESSERA_DEFAULT, 0, 0, 0, 0, 40, 0, TESSERA_ERROR_BAD_ARGUMENT, 0,
              0, 0, 0, 0},
         }) {
        SCOPED_TRACE(c.what);
        tessera_settings settings = Settings(c.level, c.version);
        settings.rmqr = c.rmqr;
        settings.rmqr_height = c.height;
        settings.gs1 = c.gs1;
        settings.fit_width = c.fitWidth;
        settings.fit_height = c.fitHeight;
        tessera_symbol* made = nullptr;
        ASSERT_EQ(tessera_encode(c.data.data(), c.data.size(), &settings, &made), c.status);
        const SymbolPtr symbol(made);
        if (c.status != TESSERA_OK) continue;
        EXPECT_EQ(tessera_symbol_size(made), c.width);
        EXPECT_EQ(tessera_symbol_height(made), c.rows);
        EXPECT_EQ(tessera_symbol_version(made), c.expectedVersion);
        EXPECT_EQ(tessera_symbol_is_rmqr(made), c.isRmqr);
        EXPECT_EQ(tessera_symbol_is_micro(made), c.isMicro);
        EXPECT_EQ(tessera_symbol_is_gs1(made), c.gs1);
        EXPECT_EQ(tessera_symbol_mask(made) == 0 || !c.isRmqr, true);
    }
    // The R7x43-M symbol of "12345", its cells as the encoder's, and every format's image of it
    // with the quiet zone of rMQR, 2 modules: 47 x 11 at scale 1.
    tessera_settings settings = Settings(TESSERA_LEVEL_M, tessera_rmqr_version("R7X43"));
    settings.rmqr = 1;
    const SymbolPtr symbol = Make("12345", &settings);
    ASSERT_TRUE(symbol);
    std::vector<unsigned char> cells(43 * 7);
    EXPECT_EQ(tessera_symbol_modules(symbol.get(), cells.data(), cells.size() - 1),
              TESSERA_ERROR_BUFFER_TOO_SMALL);
    ASSERT_EQ(tessera_symbol_modules(symbol.get(), cells.data(), cells.size()), TESSERA_OK);
    // Row by row from the top, as the encoder's columns hold them.
    CRmqrEncoder encoder;
    ASSERT_EQ(encoder.Encode(LEVEL_M, 1, 0, 0, ToBytes("12345").data(), 5), 1);
    for (std::size_t i = 0; i < cells.size(); ++i) {
        ASSERT_EQ(cells[i], encoder.modules[i % 43][i / 43]) << i;
    }
    tessera_render_options options;
    tessera_render_options_init(&options);
    options.scale = 1;
    for (int format = 0; tessera_format_name(format) != nullptr; ++format) {
        SCOPED_TRACE(tessera_format_name(format));
        const std::string bytes = RenderBytes(symbol.get(), format, &options);
        if (format == TESSERA_FORMAT_UTF8 || format == TESSERA_FORMAT_ANSI) continue;
        EXPECT_EQ(StatedSize(format, bytes), "47 11");
    }
    EXPECT_EQ(tessera_rmqr_version(nullptr), 0);
}

TEST(Api, StructuredSetsAndHowFullASymbolIs) {
    const std::string data = "0123456789ABCDEFGHIJ, one text in three symbols";
    tessera_symbol* symbols[3] = {};
    size_t made = 99;
    EXPECT_EQ(tessera_encode_structured(data.data(), data.size(), nullptr, 3, symbols, 2, &made),
              TESSERA_ERROR_BUFFER_TOO_SMALL);
    EXPECT_EQ(made, 3u);
    EXPECT_EQ(symbols[0], nullptr);  // none kept
    ASSERT_EQ(tessera_encode_structured(data.data(), data.size(), nullptr, 3, symbols, 3, &made),
              TESSERA_OK);
    unsigned parity = 0;
    for (unsigned char b : data) parity ^= b;
    for (int i = 0; i < 3; ++i) {
        int index = -1, count = -1, sum = -1;
        EXPECT_EQ(tessera_symbol_structured(symbols[i], &index, &count, &sum), 1);
        EXPECT_EQ(index, i);
        EXPECT_EQ(count, 3);
        EXPECT_EQ(sum, static_cast<int>(parity));
        tessera_symbol_free(symbols[i]);
    }
    char why[200];
    EXPECT_EQ(tessera_explain_structured_failure("ab", 2, nullptr, 3, why, sizeof why), TESSERA_OK);
    EXPECT_STREQ(why,
                 "the data cannot be split into 3 symbols: it has only 2 characters to share "
                 "out");
    EXPECT_EQ(tessera_encode_structured("ab", 2, nullptr, 3, symbols, 3, &made),
              TESSERA_ERROR_CANNOT_ENCODE);
    EXPECT_EQ(tessera_encode_structured("ab", 2, nullptr, 1, symbols, 3, &made),
              TESSERA_ERROR_BAD_ARGUMENT);
    EXPECT_EQ(tessera_encode_structured("ab", 2, nullptr, 0, symbols, 3, &made),
              TESSERA_ERROR_BAD_ARGUMENT);
    EXPECT_EQ(tessera_explain_structured_failure("ab", 2, nullptr, 0, why, sizeof why), TESSERA_OK);
    EXPECT_STREQ(why, "filling symbols of one version needs that version");
    EXPECT_EQ(tessera_encode_structured("ab", 2, nullptr, 2, nullptr, 3, &made),
              TESSERA_ERROR_BAD_ARGUMENT);

    // "HELLO WORLD" at 1-L: 74 bits of 152; alone it is no part of a set.
    tessera_settings low;
    tessera_settings_init(&low);
    low.level = TESSERA_LEVEL_L;
    const SymbolPtr hello = Make("HELLO WORLD", &low);
    EXPECT_EQ(tessera_symbol_data_bits(hello.get()), 74);
    EXPECT_EQ(tessera_symbol_capacity_bits(hello.get()), 152);
    EXPECT_EQ(tessera_symbol_structured(hello.get(), nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(tessera_symbol_data_bits(nullptr), 0);
}

TEST(Api, NamesMessagesAndExplanations) {
    std::set<std::string> messages;
    for (int status = TESSERA_OK; status <= TESSERA_ERROR_NO_MEMORY; ++status) {
        messages.insert(tessera_status_message(status));
    }
    EXPECT_EQ(messages.size(), 8u);
    EXPECT_STREQ(tessera_status_message(8), "unknown status");
    EXPECT_STREQ(tessera_status_message(-1), "unknown status");

    EXPECT_EQ(tessera_format_from_name("SVG"), TESSERA_FORMAT_SVG);
    EXPECT_EQ(tessera_format_from_name("a.svg"), -1);
    EXPECT_EQ(tessera_format_from_name(nullptr), -1);
    EXPECT_EQ(tessera_format_from_path("labels/a.PNG"), TESSERA_FORMAT_PNG);
    EXPECT_EQ(tessera_format_from_path("png"), -1);
    EXPECT_EQ(tessera_format_from_path(nullptr), -1);
    EXPECT_STREQ(tessera_format_name(TESSERA_FORMAT_PDF), "pdf");
    EXPECT_EQ(tessera_format_name(FormatCount()), nullptr);
    EXPECT_EQ(tessera_format_available(TESSERA_FORMAT_BMP), 1);
    EXPECT_EQ(tessera_format_available(-1), 0);
    EXPECT_STREQ(tessera_library_version(), TESSERA_VERSION_TEXT);

    const std::string big(1274, 'a');
    const tessera_settings high = Settings(TESSERA_LEVEL_H);
    char text[200];
    ASSERT_EQ(tessera_explain_encode_failure(big.data(), big.size(), &high, text, sizeof text),
              TESSERA_OK);
    EXPECT_STREQ(text,
                 "the data cannot be encoded: it needs 10212 bits and version 40 at level H "
                 "holds at most 10208");
    EXPECT_EQ(tessera_explain_encode_failure(big.data(), big.size(), &high, text, 11),
              TESSERA_ERROR_BUFFER_TOO_SMALL);
    EXPECT_STREQ(text, "the data c");
    EXPECT_EQ(tessera_explain_encode_failure("fits", 4, nullptr, text, sizeof text),
              TESSERA_ERROR_BAD_ARGUMENT);
    const tessera_settings level9 = Settings(9);
    ASSERT_EQ(tessera_explain_encode_failure("x", 1, &level9, text, sizeof text), TESSERA_OK);
    EXPECT_STREQ(text, "the level must be L, M, Q or H (0 to 3), not '9'");

    EXPECT_EQ(tessera_check_settings(&level9, nullptr, 0), TESSERA_ERROR_BAD_ARGUMENT);
    ASSERT_EQ(tessera_check_settings(&level9, text, sizeof text), TESSERA_ERROR_BAD_ARGUMENT);
    EXPECT_STREQ(text, "the level must be L, M, Q or H (0 to 3), not '9'");
    EXPECT_EQ(tessera_check_settings(nullptr, text, sizeof text), TESSERA_OK);
    EXPECT_STREQ(text, "");
    tessera_render_options options;
    tessera_render_options_init(&options);
    options.dpi = 300;
    EXPECT_EQ(tessera_check_render_options(TESSERA_FORMAT_PNG, &options, text, sizeof text),
              TESSERA_OK);
    ASSERT_EQ(tessera_check_render_options(TESSERA_FORMAT_SVG, &options, text, sizeof text),
              TESSERA_ERROR_BAD_ARGUMENT);
    EXPECT_STREQ(text,
                 "svg states no resolution, so not '300' dpi; a resolution is for bmp and png");
    ASSERT_EQ(tessera_check_render_options(FormatCount(), nullptr, text, sizeof text),
              TESSERA_ERROR_BAD_ARGUMENT);
    EXPECT_EQ(text, "the format must be one of " + FormatNameList() + ", not '" +
                        std::to_string(FormatCount()) + "'");
}

// The text of `kind` made from `fields` by tessera_payload_build(), its size asked first, with
// its limits at *level and *most; or "status N: REASON".
std::string PayloadText(const std::string& kind, const cli::JsonMembers& fields, int* level,
                        int* most) {
    std::vector<const char*> names, values;
    for (const auto& [name, value] : fields) {
        names.push_back(name.c_str());
        values.push_back(value.c_str());
    }
    char reason[200] = "unchanged";
    size_t size = 0;
    tessera_status status =
        tessera_payload_build(kind.c_str(), names.data(), values.data(), names.size(), nullptr, 0,
                              &size, level, most, reason, sizeof reason);
    if (status == TESSERA_ERROR_BUFFER_TOO_SMALL) {
        std::string text(size, '*');
        EXPECT_EQ(tessera_payload_build(kind.c_str(), names.data(), values.data(), names.size(),
                                        &text[0], size - 1, &size, nullptr, nullptr, nullptr, 0),
                  TESSERA_ERROR_BUFFER_TOO_SMALL);
        EXPECT_EQ(text, std::string(size, '*'));  // nothing written when it does not fit
        status =
            tessera_payload_build(kind.c_str(), names.data(), values.data(), names.size(), &text[0],
                                  size, &size, nullptr, nullptr, reason, sizeof reason);
        EXPECT_STREQ(reason, "");
        if (status == TESSERA_OK && text.back() == '\0') return text.substr(0, size - 1);
    }
    return "status " + std::to_string(status) + ": " + reason;
}

TEST(Api, PayloadsGiveTheTextsAndLimitsOfTheirStandards) {
    for (const PayloadRow& row : PayloadRows()) {
        SCOPED_TRACE(row.text);
        int level = 9, most = 99;
        EXPECT_EQ(PayloadText(row.kind, row.fields, &level, &most), row.text);
        EXPECT_EQ(level, row.kind == "epc" ? TESSERA_LEVEL_M : TESSERA_DEFAULT);
        EXPECT_EQ(most, row.kind == "epc" ? 13 : 0);
    }
    struct Case {
        const char* kind;
        cli::JsonMembers fields;
        const char* refusal;
    };
    const std::string iban = "DE89370400440532013000";
    for (const Case& c : std::vector<Case>{
             {"epc",
              {{"name", std::string(71, 'n')}, {"iban", iban}},
              "name: 71 characters; at most 70 are taken"},
             {"WiFi", {{"ssid", "Home"}, {"colour", "red"}}, "'colour': no such field"},
         }) {
        SCOPED_TRACE(c.refusal);
        EXPECT_EQ(PayloadText(c.kind, c.fields, nullptr, nullptr),
                  std::string("status 4: ") + c.refusal);
    }
    const char* name = nullptr;
    const char* value = "x";
    size_t size = 0;
    char reason[100];
    EXPECT_EQ(tessera_payload_build("tel", &name, &value, 1, nullptr, 0, &size, nullptr, nullptr,
                                    reason, sizeof reason),
              TESSERA_ERROR_BAD_ARGUMENT);
    EXPECT_STREQ(reason, "field 0: a null name or value");
    EXPECT_EQ(tessera_payload_build(nullptr, nullptr, nullptr, 0, nullptr, 0, &size, nullptr,
                                    nullptr, nullptr, 0),
              TESSERA_ERROR_BAD_ARGUMENT);
    EXPECT_EQ(tessera_payload_build("tel", nullptr, nullptr, 0, nullptr, 0, nullptr, nullptr,
                                    nullptr, nullptr, 0),
              TESSERA_ERROR_BAD_ARGUMENT);
}

// The table of fields, seen through the queries' plain values.
TEST(Api, PayloadKindsAndFieldsAreQueries) {
    std::string kinds;
    for (int i = 0; tessera_payload_kind(i) != nullptr; ++i)
        kinds += tessera_payload_kind(i) + std::string(" ");
    EXPECT_EQ(kinds, "wifi vcard mecard epc geo email tel sms event otp ");
    EXPECT_EQ(tessera_payload_kind(-1), nullptr);
    EXPECT_STREQ(tessera_payload_kind_help("wifi"), "a WiFi network to join");
    EXPECT_EQ(tessera_payload_kind_help("WIFI"), nullptr);

    struct Field {
        const char* name;
        const char* takes;
        const char* defaultValue;
        int required, type, multiline, most;
        std::string choices;
    };
    auto field = [](const char* kind, int index) {
        Field f{tessera_payload_field_text(kind, index, TESSERA_FIELD_NAME),
                tessera_payload_field_text(kind, index, TESSERA_FIELD_TAKES),
                tessera_payload_field_text(kind, index, TESSERA_FIELD_DEFAULT),
                tessera_payload_field_number(kind, index, TESSERA_FIELD_REQUIRED),
                tessera_payload_field_number(kind, index, TESSERA_FIELD_KIND_OF_VALUE),
                tessera_payload_field_number(kind, index, TESSERA_FIELD_MULTILINE),
                tessera_payload_field_number(kind, index, TESSERA_FIELD_MAX_CHARACTERS),
                ""};
        for (int k = 0; tessera_payload_field_choice(kind, index, k) != nullptr; ++k) {
            f.choices += tessera_payload_field_choice(kind, index, k) + std::string("|");
        }
        return f;
    };
    const auto text = [](const char* value) { return value == nullptr ? "(null)" : value; };
    struct Case {
        const char* kind;
        int index;
        const char* expected;
    };
    for (const Case& c : std::vector<Case>{
             {"wifi", 0, "ssid TEXT '' 1 0 0 0 "},
             {"wifi", 1, "security (null) 'WPA' 0 1 0 0 WPA|WEP|nopass|"},
             {"wifi", 3, "hidden (null) 'false' 0 2 0 0 false|true|"},
             {"epc", 0, "name TEXT '' 1 0 0 70 "},
             {"vcard", 15, "note TEXT '' 0 0 1 0 "},
             {"wifi", 4, "(null) (null) '(null)' -1 -1 -1 -1 "},
         }) {
        SCOPED_TRACE(c.expected);
        const Field f = field(c.kind, c.index);
        EXPECT_EQ(std::string(text(f.name)) + " " + text(f.takes) + " '" + text(f.defaultValue) +
                      "' " + std::to_string(f.required) + " " + std::to_string(f.type) + " " +
                      std::to_string(f.multiline) + " " + std::to_string(f.most) + " " + f.choices,
                  c.expected);
    }
    EXPECT_STREQ(tessera_payload_field_text("wifi", 0, TESSERA_FIELD_HELP), "the network's name");
    EXPECT_EQ(tessera_payload_field_text("wifi", 0, TESSERA_FIELD_REQUIRED), nullptr);
    EXPECT_EQ(tessera_payload_field_number("wifi", 0, TESSERA_FIELD_NAME), -1);
    EXPECT_EQ(tessera_payload_field_choice("wifi", 1, -1), nullptr);
}

// A payment's symbol is level M with its text as bytes (no ECI), however UTF-8 its name; the
// settings that ask otherwise are refused with the reason, as bad fields are.
TEST(Api, PayloadSymbolsKeepTheirLimits) {
    const std::vector<const char*> names = {"name", "iban", "amount"};
    const std::vector<const char*> values = {"F\xC3\xB6rderverein", "DE89370400440532013000", "5"};
    auto encode = [&](const tessera_settings* settings, std::string* why) {
        int sentinel = 0;
        tessera_symbol* symbol = reinterpret_cast<tessera_symbol*>(&sentinel);  // must be reset
        char reason[200];
        const tessera_status status =
            tessera_payload_encode("epc", names.data(), values.data(), names.size(), settings,
                                   &symbol, reason, sizeof reason);
        *why = reason;
        EXPECT_EQ(symbol == nullptr, status != TESSERA_OK);
        return SymbolPtr(symbol);
    };
    std::string why;
    const SymbolPtr payment = encode(nullptr, &why);
    ASSERT_TRUE(payment) << why;
    EXPECT_EQ(tessera_symbol_level(payment.get()), TESSERA_LEVEL_M);
    size_t size = 0;
    std::string text(200, '\0');
    ASSERT_EQ(tessera_payload_build("epc", names.data(), values.data(), names.size(), &text[0],
                                    text.size(), &size, nullptr, nullptr, nullptr, 0),
              TESSERA_OK);
    text.resize(size - 1);
    tessera_settings bytes = Settings(TESSERA_LEVEL_M), marked = bytes;
    marked.utf8 = 1;
    const SymbolPtr plain = Make(text, &bytes), eci = Make(text, &marked);
    EXPECT_EQ(tessera_symbol_data_bits(payment.get()), tessera_symbol_data_bits(plain.get()));
    EXPECT_EQ(tessera_symbol_data_bits(eci.get()), tessera_symbol_data_bits(plain.get()) + 12);
    EXPECT_EQ(RenderBytes(payment.get(), TESSERA_FORMAT_TXT),
              RenderBytes(plain.get(), TESSERA_FORMAT_TXT));

    // Settings that ask otherwise are refused with the reason (every rule: Road tests).
    const tessera_settings high = Settings(TESSERA_LEVEL_H);
    EXPECT_FALSE(encode(&high, &why));
    EXPECT_EQ(why, "the payload's symbol is level M, not H");
    // A payload without limits takes any level.
    const char* wifi[] = {"ssid", "security", "password"};
    const char* wep[] = {"H", "WEP", "abcde"};
    tessera_symbol* symbol = nullptr;
    char reason[200];
    ASSERT_EQ(tessera_payload_encode("wifi", wifi, wep, 3, &high, &symbol, reason, sizeof reason),
              TESSERA_OK);
    EXPECT_EQ(tessera_symbol_level(symbol), TESSERA_LEVEL_H);
    tessera_symbol_free(symbol);
    EXPECT_EQ(tessera_payload_encode("wifi", wifi, wep, 3, nullptr, nullptr, reason, sizeof reason),
              TESSERA_ERROR_BAD_ARGUMENT);
}

}  // namespace
}  // namespace qr::test
