// The public C API with fuzzed data, settings and render options. Input: 12 bytes of settings and
// options (the format among them; byte 2 also asks for rMQR, GS1 data or a box to fit, whose
// sides then come from bytes 1 and 3), then the data. Every call must end in a status of its
// contract, a symbol must hold only 0/1 cells with its finder corners dark, a size query must be
// answered exactly, a buffer of exactly the size must be filled, and the check functions must agree
// with what rendering does; for renders up to 1 MB, when the input asks, a buffer one byte short
// must also be refused untouched and the same call twice must give the same bytes. With header
// byte 11's bit 6 the data is also the fields of a payload (CheckPayload).
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "module/tessera_api.h"

namespace {

constexpr std::size_t kHeaderBytes = 12;
constexpr unsigned char kSentinel = 0xA5;
// Renders up to this size are also made into a buffer one byte short and made twice when the input
// asks for it (header byte 11, bit 7); others are only queried and made once, so that runs stay
// fast.
constexpr std::size_t kFullyCheckedBytes = 1 << 20;
// A scale in range is lowered until the image (quiet zone included) is at most this many modules
// or pixels a side: every scale still meets the small symbols and a version 40 symbol goes up to
// scale 5, but no render runs to megabytes.
constexpr int kMostSidePixels = 1024;

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "api fuzzer: %s\n", what.c_str());
    std::abort();
}

void Expect(bool condition, const char* what) {
    if (!condition) Fail(what);
}

// A value around a range: mostly inside, sometimes just outside or far out.
int Around(unsigned char byte, int low, int high) {
    const int span = high - low + 3;
    if (byte >= 250) return byte == 255 ? -1000000 : 1000000;
    return low - 1 + byte % span;
}

// `scale` lowered, when it is in range, so that a symbol of `size` with a quiet zone of `margin`
// (TESSERA_DEFAULT: 4, which no Micro QR symbol exceeds) is at most kMostSidePixels a side.
int CappedScale(int scale, int size, int margin) {
    if (scale < 1 || scale > 20 || margin < TESSERA_DEFAULT || margin > 64) return scale;
    const int side = size + 2 * (margin == TESSERA_DEFAULT ? 4 : margin);
    return std::max(1, std::min(scale, kMostSidePixels / side));
}

// The number of formats: the library names them from 0 without gaps.
int FormatCount() {
    int count = 0;
    while (tessera_format_name(count) != nullptr) ++count;
    return count;
}

// Checks the symbol's facts and cells; `micro` and `rmqr` say the kind asked for, or with `fit`
// the box it must fit with its quiet zone, the kind left to the library.
void CheckSymbol(const tessera_symbol* symbol, bool micro, bool rmqr, const int* fit) {
    const int size = tessera_symbol_size(symbol);
    const int height = tessera_symbol_height(symbol);
    const int version = tessera_symbol_version(symbol);
    if (fit != nullptr) {
        micro = tessera_symbol_is_micro(symbol) == 1;
        rmqr = tessera_symbol_is_rmqr(symbol) == 1;
        const int quiet = micro || rmqr ? 2 : 4;
        Expect(size + 2 * quiet <= fit[0] && height + 2 * quiet <= fit[1], "it does not fit");
    }
    Expect(tessera_symbol_is_micro(symbol) == (micro ? 1 : 0), "Micro QR or not as asked");
    Expect(tessera_symbol_is_rmqr(symbol) == (rmqr ? 1 : 0), "rMQR or not as asked");
    const int mask = tessera_symbol_mask(symbol);
    const int level = tessera_symbol_level(symbol);
    Expect(rmqr || height == size, "a square symbol of another height");
    if (rmqr) {
        Expect(version >= 1 && version <= 32 && size >= 27 && size <= 139 && height >= 7 &&
                   height <= 17 && height % 2 == 1,
               "rMQR size and version");
        Expect(mask == 0, "an rMQR mask");
        Expect(level == TESSERA_LEVEL_M || level == TESSERA_LEVEL_H, "rMQR level out of range");
    } else if (micro) {
        Expect(version >= 1 && version <= 4 && size == 2 * version + 9, "Micro size and version");
        Expect(mask >= 0 && mask <= 3, "Micro mask out of range");
        Expect((version == 1) == (level == TESSERA_DEFAULT) && level <= TESSERA_LEVEL_Q,
               "Micro level out of range");
    } else {
        Expect(version >= 1 && version <= 40 && size == 4 * version + 17,
               "size and version disagree");
        Expect(mask >= 0 && mask <= 7, "mask out of range");
        Expect(level >= TESSERA_LEVEL_L && level <= TESSERA_LEVEL_H, "level out of range");
    }
    Expect(tessera_symbol_data_bits(symbol) <= tessera_symbol_capacity_bits(symbol),
           "more data bits than the symbol holds");
    std::vector<unsigned char> cells(static_cast<std::size_t>(size) * height);
    Expect(tessera_symbol_modules(symbol, cells.data(), cells.size() - 1) ==
               TESSERA_ERROR_BUFFER_TOO_SMALL,
           "a short cell buffer was taken");
    Expect(tessera_symbol_modules(symbol, cells.data(), cells.size()) == TESSERA_OK,
           "the cells cannot be read");
    for (unsigned char cell : cells) Expect(cell <= 1, "a cell is neither 0 nor 1");
    // The finder's corner, and the far ends of the top row and left column, which are dark in
    // every kind (a finder's corner, the last dark cell of a timing pattern of odd length, or an
    // rMQR corner pattern).
    Expect(cells[0] == 1 && cells[size - 1] == 1 && cells[(height - 1) * size] == 1,
           "a corner is light");
}

void CheckRender(const tessera_symbol* symbol, int format, const tessera_render_options& options,
                 bool thorough) {
    char why[256];
    const tessera_status checked = tessera_check_render_options(format, &options, why, sizeof why);
    std::size_t size = 0;
    const tessera_status query = tessera_render(symbol, format, &options, nullptr, 0, &size);
    if (checked == TESSERA_ERROR_BAD_ARGUMENT) {
        Expect(query == TESSERA_ERROR_BAD_ARGUMENT, "rendering took options the check refused");
        Expect(std::strlen(why) > 0, "a refusal without a reason");
        return;
    }
    Expect(checked == TESSERA_OK, "the check gave another status");
    if (query == TESSERA_ERROR_FORMAT_NOT_AVAILABLE) {
        Expect(tessera_format_available(format) == 0, "an available format was refused");
        return;
    }
    Expect(query == TESSERA_ERROR_BUFFER_TOO_SMALL && size > 0, "the size query failed");
    std::vector<unsigned char> buffer(size + 1, kSentinel);
    std::size_t reported = 0;
    if (thorough && size <= kFullyCheckedBytes) {
        Expect(tessera_render(symbol, format, &options, buffer.data(), size - 1, &reported) ==
                       TESSERA_ERROR_BUFFER_TOO_SMALL &&
                   reported == size,
               "a short buffer was not refused with the size");
        Expect(std::count(buffer.begin(), buffer.end(), kSentinel) ==
                   static_cast<std::ptrdiff_t>(buffer.size()),
               "a short buffer was written");
    }
    Expect(tessera_render(symbol, format, &options, buffer.data(), size, &reported) == TESSERA_OK &&
               reported == size,
           "a buffer of exactly the size was refused");
    Expect(buffer[size] == kSentinel, "rendering wrote past the size");
    if (thorough && size <= kFullyCheckedBytes) {
        std::vector<unsigned char> again(size);
        Expect(
            tessera_render(symbol, format, &options, again.data(), size, &reported) == TESSERA_OK &&
                std::memcmp(again.data(), buffer.data(), size) == 0,
            "the same call gave other bytes");
    }
    if (format == TESSERA_FORMAT_BMP) {
        const std::uint32_t fileSize = buffer[2] | buffer[3] << 8 | buffer[4] << 16 |
                                       static_cast<std::uint32_t>(buffer[5]) << 24;
        Expect(buffer[0] == 'B' && buffer[1] == 'M' && fileSize == size, "a BMP of another size");
    }
}

// With header byte 11's bit 6: the payload kind h[0] (modulo the kinds) made from the data read
// as names and values between NUL bytes, then encoded with `settings`. A size query is answered
// exactly, a reason comes only with a refusal, fields refused are refused by both calls, and a
// symbol comes only with success, with the payload's level and within its largest version.
void CheckPayload(std::uint8_t selector, const unsigned char* data, std::size_t size,
                  const tessera_settings& settings) {
    static const int kinds = [] {
        int count = 0;
        while (tessera_payload_kind(count) != nullptr) ++count;
        return count;
    }();
    const char* kind = tessera_payload_kind(selector % kinds);
    std::vector<std::string> parts(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            parts.emplace_back();
        } else {
            parts.back() += static_cast<char>(data[i]);
        }
    }
    std::vector<const char*> names, values;
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
        names.push_back(parts[i].c_str());
        values.push_back(parts[i + 1].c_str());
    }
    char reason[256];
    std::size_t need = 0;
    int level = 0, most = 0;
    const tessera_status asked =
        tessera_payload_build(kind, names.data(), values.data(), names.size(), nullptr, 0, &need,
                              &level, &most, reason, sizeof reason);
    Expect(asked == TESSERA_ERROR_BUFFER_TOO_SMALL || asked == TESSERA_ERROR_BAD_ARGUMENT,
           "a payload's size query gave another status");
    Expect((asked == TESSERA_ERROR_BAD_ARGUMENT) == (reason[0] != '\0'),
           "a payload's reason without a refusal, or a refusal without one");
    tessera_symbol* symbol = nullptr;
    const tessera_status encoded = tessera_payload_encode(
        kind, names.data(), values.data(), names.size(), &settings, &symbol, reason, sizeof reason);
    Expect((symbol != nullptr) == (encoded == TESSERA_OK), "a payload's symbol without success");
    if (asked == TESSERA_ERROR_BAD_ARGUMENT) {
        Expect(encoded == TESSERA_ERROR_BAD_ARGUMENT, "a payload encoded from fields refused");
        return;
    }
    std::string text(need, static_cast<char>(kSentinel));
    Expect(tessera_payload_build(kind, names.data(), values.data(), names.size(), &text[0], need,
                                 &need, nullptr, nullptr, nullptr, 0) == TESSERA_OK &&
               need == text.size() && std::strlen(text.c_str()) + 1 == need,
           "a payload's text does not fill the size it said");
    if (symbol == nullptr) return;
    Expect(level == TESSERA_DEFAULT || tessera_symbol_level(symbol) == level, "a payload's level");
    Expect(most == 0 || tessera_symbol_version(symbol) <= most, "a payload's largest version");
    tessera_symbol_free(symbol);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t length) {
    if (length < kHeaderBytes) return 0;
    const std::uint8_t* h = input;
    tessera_settings settings;
    tessera_settings_init(&settings);
    settings.level = h[0] & 0x80 ? TESSERA_DEFAULT : Around(h[0], 0, 3);
    settings.strict_version = h[2] & 1;
    settings.utf8 = (h[2] >> 1) & 1;
    settings.micro = (h[2] >> 2) & 1;
    settings.boost = (h[2] >> 3) & 1;
    settings.rmqr = (h[2] >> 4) & 1;
    settings.gs1 = (h[2] >> 5) & 1;
    settings.version = h[1] & 0x80 ? 0 : Around(h[1], 1, settings.rmqr ? 32 : 40);
    settings.mask = h[3] & 0x80 ? TESSERA_DEFAULT : Around(h[3], 0, 7);
    if (h[2] & 0x40) {  // a box, of sides from bytes 1 and 3
        settings.fit_width = Around(h[1], 11, 190);
        settings.fit_height = Around(h[3], 11, 190);
        settings.version = 0;
        settings.mask = TESSERA_DEFAULT;
    } else if (h[2] & 0x80) {
        settings.rmqr_height = Around(h[3], 7, 17);
        settings.mask = TESSERA_DEFAULT;
    }

    tessera_render_options options;
    tessera_render_options_init(&options);
    static const int formats = FormatCount();
    const int format = Around(h[4], 0, formats - 1);
    // Text takes a character per pixel: at scales above 4 a large symbol runs to tens of megabytes,
    // which would make the runs slow without reaching other code.
    const bool text = format == TESSERA_FORMAT_TXT || format == TESSERA_FORMAT_UTF8 ||
                      format == TESSERA_FORMAT_ANSI;
    options.scale = h[5] & 0x80 ? 0 : Around(h[5], 1, text ? 4 : 20);
    options.margin = h[6] & 0x80 ? TESSERA_DEFAULT : Around(h[6], 0, 64);
    if (h[7] & 1) options.dark = static_cast<std::uint32_t>(h[8]) * 0x01010101u;
    if (h[7] & 2) options.light = 0xFFFFFF00u | h[9];
    options.dpi = h[10] & 0x80 ? 0 : Around(h[10], 1, 300) * 300;

    const unsigned char* data = input + kHeaderBytes;
    const std::size_t size = length - kHeaderBytes;
    if (h[11] & 0x40) CheckPayload(h[0], data, size, settings);
    char why[256];
    const tessera_status checked = tessera_check_settings(&settings, why, sizeof why);
    tessera_symbol* symbol = nullptr;
    const tessera_status status = tessera_encode(data, size, &settings, &symbol);
    Expect((symbol != nullptr) == (status == TESSERA_OK), "a symbol without success");
    if (checked == TESSERA_ERROR_BAD_ARGUMENT) {
        Expect(status == TESSERA_ERROR_BAD_ARGUMENT, "encoding took settings the check refused");
        return 0;
    }
    if (status == TESSERA_ERROR_CANNOT_ENCODE) {
        Expect(tessera_explain_encode_failure(data, size, &settings, why, sizeof why) == TESSERA_OK,
               "a failure without an explanation");
        return 0;
    }
    Expect(status == TESSERA_OK, "encoding gave another status");
    const int box[] = {settings.fit_width, settings.fit_height};
    CheckSymbol(symbol, settings.micro != 0, settings.rmqr != 0,
                settings.fit_width != 0 ? box : nullptr);
    options.scale = CappedScale(options.scale, tessera_symbol_size(symbol), options.margin);
    const bool thorough = (h[11] & 0x80) != 0;
    CheckRender(symbol, format, options, thorough);
    if (h[11] & 1) {
        // One more format with the default options, chosen by the input: one render per run
        // keeps the runs fast enough to reach far.
        tessera_render_options plain;
        tessera_render_options_init(&plain);
        CheckRender(symbol, (h[11] >> 1) % formats, plain, thorough);
    }
    tessera_symbol_free(symbol);
    return 0;
}
