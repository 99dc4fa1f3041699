// tessera_api.dll as a Windows program uses it: loaded with LoadLibraryA, every function of the
// header found with GetProcAddress, a symbol made, read and rendered in every format the DLL has,
// its BMP compared with the file of the library's call in tessera.dll, and saved to Windows paths.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// <windows.h> first.
#include <gtest/gtest.h>

#include <fstream>
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

}  // namespace
