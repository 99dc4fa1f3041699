// tessera_api.dll as a Windows program uses it: loaded with LoadLibraryA, every function of the
// header found with GetProcAddress, a symbol made, read and rendered in every format the DLL has,
// its BMP compared with the file of the library's call in tessera.dll, and saved to Windows paths;
// its PNG, made by the Windows Imaging Component, decoded by it to the symbol's pixels.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// <windows.h> first.
#include <gtest/gtest.h>
#include <objbase.h>
#include <wincodec.h>

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#define TESSERA_API_STATIC  // declarations only: every function is called through a pointer
#include "module/tessera_api.h"

namespace {

constexpr char kApiDllPath[] = TESSERA_API_DLL_PATH;
constexpr char kDoorDllPath[] = TESSERA_DLL_PATH;
constexpr char kApiHeaders[] = TESSERA_API_HEADERS;  // paths split at '|'

// The names of the functions the headers declare (those after their export macro), read from them.
std::vector<std::string> HeaderFunctions() {
    std::string text;
    std::istringstream paths(kApiHeaders);
    for (std::string path; std::getline(paths, path, '|');) {
        std::ifstream header(path);
        text.append(std::istreambuf_iterator<char>(header), std::istreambuf_iterator<char>());
    }
    std::vector<std::string> names;
    const std::string macro = "TESSERA_API_FUNCTION";
    for (std::size_t at = text.find(macro); at != std::string::npos;
         at = text.find(macro, at + macro.size())) {
        const std::size_t open = text.find('(', at);
        const std::size_t name = text.rfind("tessera_", open);
        if (open == std::string::npos || name == std::string::npos || name < at) continue;
        names.push_back(text.substr(name, open - name));
    }
    return names;
}

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
    const std::vector<std::string> names = HeaderFunctions();
    EXPECT_GE(names.size(), 20u) << kApiHeaders;
    for (const std::string& name : names) {
        EXPECT_NE(GetProcAddress(Api(), name.c_str()), nullptr) << name;
    }
    EXPECT_EQ(GetProcAddress(Api(), "tessera"), nullptr);  // the library's call is not here
    EXPECT_STREQ(API(tessera_library_version)(), TESSERA_VERSION_TEXT);
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

    for (int format = 0; API(tessera_format_name)(format) != nullptr; ++format) {
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
    // Saved together: each file whole at its path, the other's failure its own.
    const std::string replaced = folder + "tessera-api-all.bmp";
    const char* const paths[] = {saved.c_str(), replaced.c_str(),
                                 "no\\such\\folder\\b.bmp"};
    const tessera_symbol* const symbols[] = {symbol, symbol, symbol};
    tessera_status results[3];
    EXPECT_EQ(API(tessera_save_all)(symbols, paths, 3, -1, nullptr, results),
              TESSERA_ERROR_CANNOT_WRITE);
    EXPECT_EQ(results[0], TESSERA_OK);
    EXPECT_EQ(results[1], TESSERA_OK);
    EXPECT_EQ(results[2], TESSERA_ERROR_CANNOT_WRITE);
    EXPECT_EQ(ReadAll(replaced), bmp);
    EXPECT_EQ(ReadAll(saved).compare(0, 5, "<?xml"), 0);
    DeleteFileA(saved.c_str());
    DeleteFileA(replaced.c_str());
    DeleteFileA(doorFile.c_str());
    API(tessera_symbol_free)(symbol);
    FreeLibrary(door);
}

// The pixels of `png` as the Windows Imaging Component decodes them, 0xAARRGGBB row by row, and
// its width; empty when it cannot.
std::vector<std::uint32_t> DecodedPixels(const std::string& png, UINT* width) {
    std::vector<std::uint32_t> pixels;
    const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    IWICImagingFactory* factory = nullptr;
    IStream* stream = nullptr;
    IWICBitmapDecoder* decoder = nullptr;
    IWICBitmapFrameDecode* frame = nullptr;
    IWICBitmapSource* converted = nullptr;
    UINT height = 0;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, png.size());
    if (memory != nullptr) {
        std::memcpy(GlobalLock(memory), png.data(), png.size());
        GlobalUnlock(memory);
    }
    if (memory != nullptr && SUCCEEDED(CreateStreamOnHGlobal(memory, TRUE, &stream)) &&
        SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IWICImagingFactory, reinterpret_cast<void**>(&factory))) &&
        SUCCEEDED(factory->CreateDecoderFromStream(stream, nullptr,
                                                   WICDecodeMetadataCacheOnDemand, &decoder)) &&
        SUCCEEDED(decoder->GetFrame(0, &frame)) &&
        SUCCEEDED(WICConvertBitmapSource(GUID_WICPixelFormat32bppBGRA, frame, &converted)) &&
        SUCCEEDED(converted->GetSize(width, &height))) {
        pixels.resize(static_cast<std::size_t>(*width) * height);
        if (FAILED(converted->CopyPixels(nullptr, *width * 4, *width * height * 4,
                                         reinterpret_cast<BYTE*>(pixels.data())))) {
            pixels.clear();
        }
    }
    for (IUnknown* object : std::initializer_list<IUnknown*>{converted, frame, decoder, stream,
                                                              factory}) {
        if (object != nullptr) object->Release();
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return pixels;
}

TEST(ApiDll, PngThroughTheImagingComponentDecodesToTheSymbolsPixels) {
    ASSERT_NE(Api(), nullptr);
    tessera_symbol* symbol = nullptr;
    ASSERT_EQ(API(tessera_encode)("PNG on Windows", 14, nullptr, &symbol), TESSERA_OK);
    const int size = API(tessera_symbol_size)(symbol);
    std::vector<unsigned char> cells(static_cast<size_t>(size) * size);
    ASSERT_EQ(API(tessera_symbol_modules)(symbol, cells.data(), cells.size()), TESSERA_OK);
    struct Case {
        int scale;
        std::uint32_t dark, light;  // 0xRRGGBBAA
        int dpi;
    };
    // 1-bit gray; a 1-bit palette with a translucent light colour and a resolution.
    for (const Case& c : std::vector<Case>{{1, 0x000000FF, 0xFFFFFFFF, 0},
                                           {2, 0x336699FF, 0xFFCC0040, 300}}) {
        SCOPED_TRACE(c.scale);
        tessera_render_options options;
        API(tessera_render_options_init)(&options);
        options.scale = c.scale;
        options.margin = 0;
        options.dark = c.dark;
        options.light = c.light;
        options.dpi = c.dpi;
        size_t bytes = 0;
        API(tessera_render)(symbol, TESSERA_FORMAT_PNG, &options, nullptr, 0, &bytes);
        std::string png(bytes, '\0');
        ASSERT_EQ(
            API(tessera_render)(symbol, TESSERA_FORMAT_PNG, &options, &png[0], png.size(), &bytes),
            TESSERA_OK);
        UINT width = 0;
        const std::vector<std::uint32_t> pixels = DecodedPixels(png, &width);
        ASSERT_EQ(width, static_cast<UINT>(size * c.scale));
        ASSERT_EQ(pixels.size(), static_cast<size_t>(width) * width);
        for (UINT y = 0; y < width; ++y) {
            for (UINT x = 0; x < width; ++x) {
                const std::uint32_t rgba =
                    cells[(y / c.scale) * size + x / c.scale] != 0 ? c.dark : c.light;
                const std::uint32_t argb = rgba << 24 | rgba >> 8;
                ASSERT_EQ(pixels[y * width + x], argb) << x << "," << y;
            }
        }
    }
    API(tessera_symbol_free)(symbol);
}

}  // namespace
