// tessera_api.dll as a Windows program uses it: loaded with LoadLibraryA, every function of the
// header found with GetProcAddress, a symbol made, read and rendered in every format the DLL has,
// its BMP compared with the file of the library's call in tessera.dll, and saved to Windows paths;
// its PNG, made by the Windows Imaging Component, chunk by chunk and decoded back by it.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// <windows.h> first.
#include <gtest/gtest.h>
#include <wincodec.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

#define TESSERA_API_STATIC  // declarations only: every function is called through a pointer
#include "module/tessera_api.h"

namespace {

constexpr char kApiDllPath[] = TESSERA_API_DLL_PATH;
constexpr char kDoorDllPath[] = TESSERA_DLL_PATH;

// The header's functions, by name, as the DLL exports them.
const char* const FUNCTIONS[] = {
    "tessera_settings_init",
    "tessera_render_options_init",
    "tessera_encode",
    "tessera_explain_encode_failure",
    "tessera_check_settings",
    "tessera_check_render_options",
    "tessera_symbol_free",
    "tessera_symbol_size",
    "tessera_symbol_version",
    "tessera_symbol_level",
    "tessera_symbol_mask",
    "tessera_symbol_is_micro",
    "tessera_symbol_modules",
    "tessera_render",
    "tessera_save",
    "tessera_format_from_name",
    "tessera_format_from_path",
    "tessera_format_name",
    "tessera_format_available",
    "tessera_status_message",
    "tessera_library_version",
};

HMODULE Api() {
    static const HMODULE module = LoadLibraryA(kApiDllPath);
    return module;
}

// The function `name` of the API DLL, typed as its declaration `F`.
template <typename F>
F* Get(F*, const char* name) {
    return reinterpret_cast<F*>(reinterpret_cast<void*>(GetProcAddress(Api(), name)));
}
#define API(function) (*Get(&function, #function))

std::string ReadAll(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::string TempFolder() {
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    return folder;
}

TEST(ApiDll, LoadsAndExportsEveryFunctionOfTheHeader) {
    ASSERT_NE(Api(), nullptr) << kApiDllPath;
    for (const char* name : FUNCTIONS) {
        EXPECT_NE(GetProcAddress(Api(), name), nullptr) << name;
    }
    EXPECT_EQ(GetProcAddress(Api(), "tessera"), nullptr);  // the library's call is not here
    EXPECT_STREQ(API(tessera_library_version)(), "1.0.0.1");
}

TEST(ApiDll, MakesRendersAndSavesASymbol) {
    ASSERT_NE(Api(), nullptr);
    const std::string text = "Hello, Windows API";
    tessera_settings settings;
    API(tessera_settings_init)(&settings);
    settings.level = TESSERA_LEVEL_Q;
    tessera_symbol* symbol = nullptr;
    ASSERT_EQ(API(tessera_encode)(text.data(), text.size(), &settings, &symbol), TESSERA_OK);
    const int size = API(tessera_symbol_size)(symbol);
    EXPECT_EQ(size, 25);  // version 2
    EXPECT_EQ(API(tessera_symbol_level)(symbol), TESSERA_LEVEL_Q);
    std::vector<unsigned char> cells(static_cast<size_t>(size) * size);
    ASSERT_EQ(API(tessera_symbol_modules)(symbol, cells.data(), cells.size()), TESSERA_OK);
    // The finder patterns' corners: dark at (0,0), (size-1,0) and (0,size-1), light beyond.
    EXPECT_EQ(cells[0], 1);
    EXPECT_EQ(cells[size - 1], 1);
    EXPECT_EQ(cells[(size - 1) * size], 1);
    EXPECT_EQ(cells[7], 0);

    for (int format = TESSERA_FORMAT_BMP; format <= TESSERA_FORMAT_PDF; ++format) {
        SCOPED_TRACE(API(tessera_format_name)(format));
        size_t bytes = 0;
        const tessera_status status =
            API(tessera_render)(symbol, format, nullptr, nullptr, 0, &bytes);
        if (API(tessera_format_available)(format)) {
            EXPECT_EQ(status, TESSERA_ERROR_BUFFER_TOO_SMALL);
            EXPECT_GT(bytes, 0u);
        } else {
            EXPECT_EQ(status, TESSERA_ERROR_FORMAT_NOT_AVAILABLE);
        }
    }
    for (int format : {TESSERA_FORMAT_BMP, TESSERA_FORMAT_SVG, TESSERA_FORMAT_TXT}) {
        EXPECT_EQ(API(tessera_format_available)(format), 1) << format;
    }

    // The BMP equals the file of the library's call in the other DLL.
    const std::string folder = TempFolder();
    const std::string doorFile = folder + "tessera-api-door.bmp";
    const HMODULE door = LoadLibraryA(kDoorDllPath);
    ASSERT_NE(door, nullptr);
    using Door = int(__cdecl*)(const char*, const char*, const char*, const char*);
    const auto call =
        reinterpret_cast<Door>(reinterpret_cast<void*>(GetProcAddress(door, "tessera")));
    ASSERT_EQ(call(("/T" + text).c_str(), ("/O" + doorFile).c_str(), "/L2", ""), 0);
    size_t bytes = 0;
    API(tessera_render)(symbol, TESSERA_FORMAT_BMP, nullptr, nullptr, 0, &bytes);
    std::string bmp(bytes, '\0');
    ASSERT_EQ(API(tessera_render)(symbol, TESSERA_FORMAT_BMP, nullptr, &bmp[0], bmp.size(), &bytes),
              TESSERA_OK);
    EXPECT_EQ(bmp, ReadAll(doorFile));

    // Saved to a Windows path, the format from its extension; a missing folder writes nothing.
    const std::string saved = folder + "tessera-api.SVG";
    ASSERT_EQ(API(tessera_save)(symbol, saved.c_str(), -1, nullptr), TESSERA_OK);
    EXPECT_EQ(ReadAll(saved).compare(0, 5, "<?xml"), 0);
    EXPECT_EQ(API(tessera_save)(symbol, (folder + "no\\such\\folder\\a.bmp").c_str(),
                                TESSERA_FORMAT_BMP, nullptr),
              TESSERA_ERROR_CANNOT_WRITE);
    DeleteFileA(saved.c_str());
    DeleteFileA(doorFile.c_str());
    API(tessera_symbol_free)(symbol);
    FreeLibrary(door);
}

// The chunks of a PNG file after its signature, "TYPE:hex" in order, IDAT without its data.
std::vector<std::string> Chunks(const std::string& png) {
    auto big32 = [&](std::size_t at) {
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < 4; ++i)
            value = value << 8 | static_cast<unsigned char>(png[at + i]);
        return value;
    };
    std::vector<std::string> chunks;
    for (std::size_t at = 8; at + 12 <= png.size();) {
        const std::uint32_t length = big32(at);
        std::string chunk = png.substr(at + 4, 4);
        if (chunk != "IDAT") {
            chunk += ':';
            char hex[3];
            for (std::uint32_t i = 0; i < length; ++i) {
                std::snprintf(hex, sizeof hex, "%02x", static_cast<unsigned char>(png[at + 8 + i]));
                chunk += hex;
            }
        }
        chunks.push_back(chunk);
        at += 12 + length;
    }
    return chunks;
}

// The pixels of `png` as 0xAARRGGBB, decoded by the Imaging Component; empty when it cannot.
std::vector<std::uint32_t> DecodedPixels(const std::string& png, UINT* side) {
    std::vector<std::uint32_t> pixels;
    IWICImagingFactory* factory = nullptr;
    IWICStream* stream = nullptr;
    IWICBitmapDecoder* decoder = nullptr;
    IWICBitmapFrameDecode* frame = nullptr;
    IWICFormatConverter* converter = nullptr;
    UINT height = 0;
    if (SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IWICImagingFactory, reinterpret_cast<void**>(&factory))) &&
        SUCCEEDED(factory->CreateStream(&stream)) &&
        SUCCEEDED(
            stream->InitializeFromMemory(reinterpret_cast<BYTE*>(const_cast<char*>(png.data())),
                                         static_cast<DWORD>(png.size()))) &&
        SUCCEEDED(factory->CreateDecoderFromStream(stream, nullptr, WICDecodeMetadataCacheOnLoad,
                                                   &decoder)) &&
        SUCCEEDED(decoder->GetFrame(0, &frame)) && SUCCEEDED(frame->GetSize(side, &height)) &&
        SUCCEEDED(factory->CreateFormatConverter(&converter)) &&
        SUCCEEDED(converter->Initialize(frame, GUID_WICPixelFormat32bppBGRA,
                                        WICBitmapDitherTypeNone, nullptr, 0,
                                        WICBitmapPaletteTypeCustom))) {
        pixels.resize(static_cast<std::size_t>(*side) * height);
        if (FAILED(converter->CopyPixels(nullptr, *side * 4, static_cast<UINT>(pixels.size() * 4),
                                         reinterpret_cast<BYTE*>(pixels.data())))) {
            pixels.clear();
        }
    }
    for (IUnknown* object :
         std::initializer_list<IUnknown*>{converter, frame, decoder, stream, factory}) {
        if (object != nullptr) object->Release();
    }
    return pixels;
}

TEST(ApiDll, WritesPngThroughTheImagingComponent) {
    ASSERT_NE(Api(), nullptr);
    ASSERT_EQ(API(tessera_format_available)(TESSERA_FORMAT_PNG), 1);
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    const std::string text = "PNG on Windows";
    tessera_symbol* symbol = nullptr;
    ASSERT_EQ(API(tessera_encode)(text.data(), text.size(), nullptr, &symbol), TESSERA_OK);
    const int size = API(tessera_symbol_size)(symbol);  // 21: version 1
    std::vector<unsigned char> cells(static_cast<size_t>(size) * size);
    ASSERT_EQ(API(tessera_symbol_modules)(symbol, cells.data(), cells.size()), TESSERA_OK);
    struct Case {
        int scale, margin;
        std::uint32_t dark, light;  // 0xRRGGBBAA
        int dpi;
        std::vector<std::string> chunks;  // as the libpng build writes them
    };
    for (const Case& c : std::vector<Case>{
             {4,
              TESSERA_DEFAULT,
              0x000000FF,
              0xFFFFFFFF,
              0,
              {"IHDR:00000074000000740100000000", "IDAT", "IEND:"}},  // 116 x 116, 1-bit gray
             {3,
              2,
              0x336699FF,
              0xFFCC0040,
              300,
              {"IHDR:0000004b0000004b0103000000", "PLTE:336699ffcc00", "tRNS:ff40",
               "pHYs:00002e2300002e2301", "IDAT", "IEND:"}},  // 75 x 75, palette; 11811 per metre
             {1,
              0,
              0x00000000,
              0xFFFFFFFF,
              1,
              {"IHDR:00000015000000150103000000", "PLTE:000000ffffff", "tRNS:00",
               "pHYs:000000270000002701", "IDAT", "IEND:"}},
         }) {
        SCOPED_TRACE(c.chunks[1]);
        tessera_render_options options;
        API(tessera_render_options_init)(&options);
        options.scale = c.scale;
        options.margin = c.margin;
        options.dark = c.dark;
        options.light = c.light;
        options.dpi = c.dpi;
        size_t bytes = 0;
        ASSERT_EQ(API(tessera_render)(symbol, TESSERA_FORMAT_PNG, &options, nullptr, 0, &bytes),
                  TESSERA_ERROR_BUFFER_TOO_SMALL);
        std::string png(bytes, '\0');
        ASSERT_EQ(
            API(tessera_render)(symbol, TESSERA_FORMAT_PNG, &options, &png[0], png.size(), &bytes),
            TESSERA_OK);
        EXPECT_EQ(Chunks(png), c.chunks);

        const int margin = c.margin == TESSERA_DEFAULT ? 4 : c.margin;
        UINT side = 0;
        const std::vector<std::uint32_t> pixels = DecodedPixels(png, &side);
        ASSERT_EQ(side, static_cast<UINT>(c.scale * (size + 2 * margin)));
        ASSERT_EQ(pixels.size(), static_cast<size_t>(side) * side);
        for (UINT y = 0; y < side; ++y) {
            for (UINT x = 0; x < side; ++x) {
                const int u = static_cast<int>(x) / c.scale - margin;
                const int v = static_cast<int>(y) / c.scale - margin;
                const bool dark = u >= 0 && v >= 0 && u < size && v < size && cells[v * size + u];
                const std::uint32_t rgba = dark ? c.dark : c.light;
                ASSERT_EQ(pixels[y * side + x], rgba >> 8 | rgba << 24) << x << "," << y;
            }
        }
    }
    API(tessera_symbol_free)(symbol);
    CoUninitialize();
}

}  // namespace
