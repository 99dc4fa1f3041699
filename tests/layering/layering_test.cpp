// The layers of the product and the arrows between them, as data: a file of a layer may include
// only what its row names (a whole layer, or single headers of one). Every quoted #include of the
// product's C and C++ sources is read and held against the rows; system headers (<...>) are free.
// And the size of a room: no source of the product runs past kMaxLines, but the files named.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Layer {
    const char* folder;
    // What its files may include: "encoder" (a whole layer) or "encoder/module_matrix.h" (one
    // header); a name without a folder is a file the build makes, or a public header of the C API
    // that another includes from beside it (installed, they share one folder).
    std::vector<const char*> allowed;
    bool bindings;  // a binding's folder, which needs no C or C++ files of its own
    bool portable;  // no _WIN32 in its files: the platform's differences live in platform/
};

// The module's public headers: the pipeline's steps, as its callers see them.
#define TESSERA_PIPELINE_HEADERS                                                         \
    "module/pipeline.h", "module/settings.h", "module/encode.h", "module/structured.h",  \
        "module/deliver.h", "module/messages.h", "module/styling.h", "module/console.h", \
        "module/tessera_api.h", "module/tessera_style.h"

const std::vector<Layer> kLayers = {
    {"encoder", {"encoder"}, false, true},
    {"output", {"output", "encoder/module_matrix.h", "encoder/symbol_map.h"}, false, false},
    {"payload", {"payload"}, false, true},
    {"platform", {"platform"}, false, false},
    {"module",
     {"module", "encoder", "output", "payload", "platform", "api_constants.inc", "tessera_api.h",
      "tessera_style.h"},
     false,
     false},
    {"cli", {"cli", TESSERA_PIPELINE_HEADERS}, false, true},
    {"python", {"module/tessera_api.h", "module/tessera_style.h"}, true, true},
    {"js", {"module/tessera_api.h", "module/tessera_style.h"}, true, true},
    {"dotnet", {"module/tessera_api.h", "module/tessera_style.h"}, true, true},
};

const Layer* LayerOf(const std::string& path) {
    const std::string folder = path.substr(0, path.find('/'));
    for (const Layer& layer : kLayers) {
        if (folder == layer.folder) return &layer;
    }
    return nullptr;
}

bool Allowed(const Layer& layer, const std::string& include) {
    const std::string folder =
        include.find('/') == std::string::npos ? "" : include.substr(0, include.find('/'));
    return std::any_of(layer.allowed.begin(), layer.allowed.end(), [&](const char* allowed) {
        return include == allowed || folder == allowed;
    });
}

// The quoted includes of `text`, file `path` of the product, that its layer does not allow, as
// "path: include"; a file of no layer has all of them refused.
std::vector<std::string> ForbiddenIncludes(const std::string& path, const std::string& text) {
    static const std::regex kInclude(R"(^[ \t]*#[ \t]*include[ \t]*"([^"]+)\")");
    const Layer* layer = LayerOf(path);
    std::vector<std::string> forbidden;
    std::istringstream lines(text);
    std::string line;
    std::smatch match;
    while (std::getline(lines, line)) {
        if (std::regex_search(line, match, kInclude) && (!layer || !Allowed(*layer, match[1]))) {
            forbidden.push_back(path + ": " + match[1].str());
        }
    }
    return forbidden;
}

// The most lines a source of the product holds: a file that grows past it is split along its seams.
constexpr int kMaxLines = 450;

// The sources allowed past kMaxLines, and why.
const std::vector<std::string> kLongSources = {
    "encoder/mask_trial.cpp",  // one fast path over packed lines, read whole: its top comment
};

// The folders that hold the product's sources; the folders in them that are not the product
// (tests, benchmarks); and the names, of a folder or a file, that the build and package managers
// make there.
const std::vector<const char*> kSourceFolders = {
    "encoder", "output", "payload", "platform", "module", "cli", "python", "js", "web", "dotnet"};
const std::vector<std::string> kNotSourceFolders = {"js/bench/", "dotnet/test/"};
const std::vector<std::string> kMadeNames = {"node_modules", "__pycache__", "bin", "obj",
                                             "tessera_wasm.js"};
const std::vector<std::string> kSourceExtensions = {".c",   ".cpp", ".h",    ".py",  ".js",
                                                    ".mjs", ".ts",  ".html", ".css", ".cs"};

// "path: N lines" when `text`, source `path` of the product, runs past kMaxLines and is not one of
// kLongSources; else an empty string.
std::string TooLong(const std::string& path, const std::string& text) {
    const long lines =
        std::count(text.begin(), text.end(), '\n') + (!text.empty() && text.back() != '\n' ? 1 : 0);
    const bool allowed =
        std::find(kLongSources.begin(), kLongSources.end(), path) != kLongSources.end();
    return lines > kMaxLines && !allowed ? path + ": " + std::to_string(lines) + " lines" : "";
}

// Whether `path`, relative to the checkout, is a source of the product that TooLong reads.
bool IsSource(const std::string& path) {
    const std::string extension = path.substr(std::min(path.rfind('.'), path.size()));
    if (std::find(kSourceExtensions.begin(), kSourceExtensions.end(), extension) ==
        kSourceExtensions.end()) {
        return false;
    }
    for (const std::string& folder : kNotSourceFolders) {
        if (path.compare(0, folder.size(), folder) == 0) return false;
    }
    std::istringstream parts(path);
    for (std::string part; std::getline(parts, part, '/');) {
        if (std::find(kMadeNames.begin(), kMadeNames.end(), part) != kMadeNames.end()) return false;
    }
    return true;
}

std::string Lines(int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += "x\n";
    return text;
}

TEST(Layering, RefusesASourcePastTheLineLimit) {
    struct Case {
        const char* path;
        std::string text;
        bool allowed;
    };
    for (const Case& c : std::vector<Case>{
             {"encoder/x.cpp", Lines(kMaxLines), true},
             {"encoder/x.cpp", Lines(kMaxLines + 1), false},  // the row that fails
             {"python/x.py", Lines(kMaxLines) + "no newline at the end", false},
             {"encoder/mask_trial.cpp", Lines(2 * kMaxLines), true},
             {"output/mask_trial.cpp", Lines(kMaxLines + 1), false},
         }) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(TooLong(c.path, c.text).empty(), c.allowed);
    }
    struct Walked {
        const char* path;
        bool source;
    };
    for (const Walked& w : std::vector<Walked>{
             {"js/index.js", true},
             {"web/index.html", true},
             {"python/tessera/symbols.py", true},
             {"js/tessera_wasm.js", false},
             {"js/bench/render.js", false},
             {"js/node_modules/a/index.js", false},
             {"dotnet/test/PackageTest.cs", false},
             {"python/__pycache__/x.py", false},
             {"js/package-lock.json", false},
         }) {
        SCOPED_TRACE(w.path);
        EXPECT_EQ(IsSource(w.path), w.source);
    }
}

TEST(Layering, RefusesTheArrowsTheLayersForbid) {
    struct Case {
        const char* path;
        const char* text;
        bool allowed;
    };
    for (const Case& c : std::vector<Case>{
             {"encoder/x.cpp", "#include \"encoder/tables.h\"", true},
             {"encoder/x.cpp", "#include \"output/png_file.h\"", false},  // the row that fails
             {"encoder/x.cpp", "  #  include \"module/limits.h\" // indented", false},
             {"output/x.cpp", "#include \"encoder/module_matrix.h\"", true},
             {"output/x.cpp", "#include \"encoder/symbol_map.h\"", true},
             {"output/x.cpp", "#include \"encoder/qr_encoder.h\"", false},
             {"output/x.cpp", "#include \"platform/file_io.h\"", false},
             {"payload/x.cpp", "#include \"encoder/tables.h\"", false},
             {"platform/x.cpp", "#include \"module/symbol.h\"", false},
             {"platform/x.cpp", "#include <windows.h>", true},
             {"module/x.cpp", "#include \"output/writers.h\"", true},
             {"module/x.cpp", "#include \"cli/usage.h\"", false},
             {"cli/x.cpp", "#include \"module/pipeline.h\"", true},
             {"cli/x.cpp", "#include \"module/job_options.h\"", false},
             {"cli/x.cpp", "#include \"platform/console.h\"", false},
             {"cli/x.cpp", "#include \"console.h\"", false},
             {"js/x.cpp", "#include \"module/tessera_api.h\"", true},
             {"js/x.cpp", "#include \"module/pipeline.h\"", false},
             {"tools/x.cpp", "#include \"module/tessera_api.h\"", false},
         }) {
        SCOPED_TRACE(std::string(c.path) + " " + c.text);
        EXPECT_EQ(ForbiddenIncludes(c.path, c.text).empty(), c.allowed);
    }
}

TEST(Layering, EveryIncludeOfTheProductFollowsAnArrow) {
    namespace fs = std::filesystem;
    const fs::path root(TESSERA_SOURCE_DIR);
    for (const Layer& layer : kLayers) {
        SCOPED_TRACE(layer.folder);
        int sources = 0;
        for (const auto& entry : fs::recursive_directory_iterator(root / layer.folder)) {
            const std::string extension = entry.path().extension().string();
            if (extension != ".c" && extension != ".cpp" && extension != ".h") continue;
            if (entry.path().string().find("node_modules") != std::string::npos) continue;
            ++sources;
            std::ifstream file(entry.path(), std::ios::binary);
            std::ostringstream text;
            text << file.rdbuf();
            const std::string path = fs::relative(entry.path(), root).generic_string();
            EXPECT_EQ(ForbiddenIncludes(path, text.str()), std::vector<std::string>());
            if (layer.portable) {
                EXPECT_EQ(text.str().find("_WIN32"), std::string::npos) << path;
            }
        }
        if (!layer.bindings) {
            EXPECT_GT(sources, 0);  // the walk found the layer
        }
    }
}

TEST(Layering, NoSourceOfTheProductRunsPastTheLineLimit) {
    namespace fs = std::filesystem;
    const fs::path root(TESSERA_SOURCE_DIR);
    int sources = 0;
    for (const char* folder : kSourceFolders) {
        for (const auto& entry : fs::recursive_directory_iterator(root / folder)) {
            const std::string path = fs::relative(entry.path(), root).generic_string();
            if (!entry.is_regular_file() || !IsSource(path)) continue;
            ++sources;
            std::ifstream file(entry.path(), std::ios::binary);
            std::ostringstream text;
            text << file.rdbuf();
            EXPECT_EQ(TooLong(path, text.str()), "");
        }
    }
    EXPECT_GT(sources, 100);  // the walk found the product
}

}  // namespace
