// Google Benchmark cases of the encoder's steps and of the exported call:
//   Encode of W1-W6 and of the worst segmentation inputs, the segmentation alone, the mask
//   trial alone (planes packed, eight masks scored) beside the plain rules scoring the same
//   eight masks cell by cell, Encode with a requested mask, the symbol build with the automatic
//   mask, Reed-Solomon of every block of a version 40 symbol, and the exported call at versions
//   1 and 40 (scales 4 and 20) beside its floor: creating a file in the same folder, one write of
//   the same number of bytes, and closing it.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bench/workloads.h"
#include "encoder/qr_encoder.h"
#include "encoder/tables.h"
#include "module/tessera.h"
#include "output/bmp_file.h"

namespace qr::bench {
namespace {

CQrEncoder& SharedEncoder() {
    static std::unique_ptr<CQrEncoder> encoder = std::make_unique<CQrEncoder>();
    return *encoder;
}

bool EncodeWorkload(CQrEncoder& encoder, const Workload& w, int mask = -1) {
    return encoder.Encode(w.level, 0, 1, mask, w.data.data(), static_cast<int>(w.data.size())) == 1;
}

void BM_Encode(benchmark::State& state, const Workload* w) {
    CQrEncoder& encoder = SharedEncoder();
    bool encoded = false;
    for (auto _ : state) {
        encoded = EncodeWorkload(encoder, *w);
        benchmark::DoNotOptimize(encoder.modules[0][0]);
    }
    // The worst segmentation input of 7089 bytes fits no symbol: its time is that of the search.
    state.SetLabel(encoded ? "version " + std::to_string(encoder.version) + ", mask " +
                                 std::to_string(encoder.maskNumber)
                           : "does not fit");
}

void BM_EncodeSegments(benchmark::State& state, const Workload* w) {
    CQrEncoder& encoder = SharedEncoder();
    const int group = kVersionGroupCount - 1;
    for (auto _ : state) {
        encoder.EncodeSegments(w->data.data(), static_cast<int>(w->data.size()), group);
        benchmark::DoNotOptimize(encoder.dataBitCount);
    }
    state.SetLabel(std::to_string(encoder.segmentCount) + " segments");
}

// Lays the codewords of `w` into a fresh matrix, as the symbol build does before masking.
void PrepareUnmasked(CQrEncoder& encoder, const Workload& w) {
    EncodeWorkload(encoder, w);
    std::memset(encoder.modules, 0, sizeof encoder.modules);
    encoder.PlaceFunctionPatterns();
    encoder.PlaceCodewords();
}

// The mask trial as Encode runs it: the planes packed once, then the eight masks scored (several
// at once where the processor has 256-bit registers).
void BM_MaskTrial(benchmark::State& state, const Workload* w) {
    CQrEncoder& encoder = SharedEncoder();
    PrepareUnmasked(encoder, *w);
    for (auto _ : state) {
        encoder.PackTrialPlanes();
        int scores[kMaskCount];
        encoder.ScoreTrialMasks(scores);
        benchmark::DoNotOptimize(scores);
    }
}

// The same eight scores by the plain rules, cell by cell: apply, write the format information,
// score.
void BM_MaskRules(benchmark::State& state, const Workload* w) {
    CQrEncoder& encoder = SharedEncoder();
    PrepareUnmasked(encoder, *w);
    for (auto _ : state) {
        int best = 0;
        for (int m = 0; m < kMaskCount; ++m) {
            encoder.ApplyMask(m);
            encoder.PlaceFormatInformation(m);
            best += encoder.ScoreMask();
        }
        benchmark::DoNotOptimize(best);
    }
}

// Encode with a requested mask: no trial, the symbol finished straight from the cells.
void BM_EncodeWithMask(benchmark::State& state, const Workload* w) {
    CQrEncoder& encoder = SharedEncoder();
    constexpr int kMask = 2;
    for (auto _ : state) {
        EncodeWorkload(encoder, *w, kMask);
        benchmark::DoNotOptimize(encoder.modules[0][0]);
    }
}

// The whole symbol build with the automatic mask: function patterns, codeword placement, the mask
// choice and the flattening.
void BM_BuildSymbol(benchmark::State& state, const Workload* w) {
    CQrEncoder& encoder = SharedEncoder();
    EncodeWorkload(encoder, *w);
    for (auto _ : state) {
        encoder.maskNumber = -1;
        encoder.BuildSymbol();
        benchmark::DoNotOptimize(encoder.modules[0][0]);
    }
}

// Every block of a version 40 symbol at `state.range(0)` (0 L .. 3 H), on fixed data.
void BM_ReedSolomonVersion40(benchmark::State& state) {
    CQrEncoder& encoder = SharedEncoder();
    const int level = static_cast<int>(state.range(0));
    const VersionInfo& info = VERSION_TABLE[kMaxVersion];
    const RsBlockSpec& g1 = info.group1Blocks[level];
    const RsBlockSpec& g2 = info.group2Blocks[level];
    const int ec = g1.blockCodewords - g1.blockDataCodewords;
    std::vector<unsigned char> data(kMaxDataCodewords);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<unsigned char>(i * 37 + 11);
    for (auto _ : state) {
        const unsigned char* block = data.data();
        for (int b = 0; b < g1.blockCount + g2.blockCount; ++b) {
            const int k = b < g1.blockCount ? g1.blockDataCodewords : g2.blockDataCodewords;
            std::memset(encoder.rsWork, 0, sizeof encoder.rsWork);
            std::memcpy(encoder.rsWork, block, k);
            encoder.ComputeEcCodewords(encoder.rsWork, k, ec);
            benchmark::DoNotOptimize(encoder.rsWork[0]);
            block += k;
        }
    }
    state.SetLabel(std::to_string(g1.blockCount + g2.blockCount) + " blocks of " +
                   std::to_string(ec) + " EC codewords");
}

// A folder of its own for the files of the exported calls and the floors.
bool benchFolderMade = false;

const std::string& BenchFolder() {
    static const std::string folder = [] {
        const char* base = std::getenv("TESSERA_BENCH_DIR");
        std::string pattern = std::string(base ? base : "/tmp") + "/tessera-bench-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) std::abort();
        benchFolderMade = true;
        return pattern;
    }();
    return folder;
}

struct ExportCase {
    const char* text;  // "/T..." option
    int version;       // the version the text gives at the level below
    const char* level;
    int scale;
};

std::string TextOption(const ExportCase& c) {
    if (c.text != nullptr) return c.text;
    const std::vector<unsigned char>& digits = SideBySideWorkloads()[2].data;  // W3
    return "/T" + std::string(digits.begin(), digits.end());
}

void BM_ExportCall(benchmark::State& state, ExportCase c) {
    const std::string text = TextOption(c);
    const std::string out = "/O" + BenchFolder() + "/call-" + std::to_string(c.version) + "-" +
                            std::to_string(c.scale) + ".bmp";
    const std::string scale = "/S" + std::to_string(c.scale);
    for (auto _ : state) {
        if (tessera(text.c_str(), out.c_str(), c.level, scale.c_str()) != 0) {
            state.SkipWithError("the call failed");
            break;
        }
    }
    state.SetLabel(
        std::to_string(BmpGeometry::Of(4 * c.version + 17, 4 * c.version + 17, c.scale).fileSize) +
        " bytes");
}

// The floor of the exported call: create a file in the same folder, write the same number of
// bytes in one write(), close it.
void BM_Floor(benchmark::State& state, ExportCase c) {
    const std::size_t size =
        BmpGeometry::Of(4 * c.version + 17, 4 * c.version + 17, c.scale).fileSize;
    const std::vector<unsigned char> bytes(size, 0x5A);
    const std::string path = BenchFolder() + "/floor-" + std::to_string(c.version) + "-" +
                             std::to_string(c.scale) + ".bmp";
    for (auto _ : state) {
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd < 0 || write(fd, bytes.data(), size) != static_cast<ssize_t>(size)) {
            state.SkipWithError("cannot write");
            break;
        }
        close(fd);
    }
    state.SetLabel(std::to_string(size) + " bytes");
}

// Composing the image alone, from a finished version 40 matrix.
void BM_ComposeVersion40(benchmark::State& state) {
    CQrEncoder& encoder = SharedEncoder();
    EncodeWorkload(encoder, SideBySideWorkloads()[2]);
    const int scale = static_cast<int>(state.range(0));
    RenderOptions options;
    options.scale = scale;
    for (auto _ : state) {
        std::string file;
        ComposeBmp(encoder.symbolSize, encoder.symbolSize, encoder.modules, options, &file);
        benchmark::DoNotOptimize(file.data());
    }
}

const ExportCase kVersion1Scale4{"/THELLO WORLD", 1, "/L1", 4};
const ExportCase kVersion1Scale20{"/THELLO WORLD", 1, "/L1", 20};
const ExportCase kVersion40Scale4{nullptr, 40, "/L0", 4};
const ExportCase kVersion40Scale20{nullptr, 40, "/L0", 20};

void RegisterAll() {
    for (const Workload& w : SideBySideWorkloads()) {
        benchmark::RegisterBenchmark((std::string("Encode/") + w.name).c_str(), BM_Encode, &w);
    }
    for (const Workload* w : {&WorstSegmentationBytes(), &WorstSegmentationAlphanumeric()}) {
        benchmark::RegisterBenchmark((std::string("Encode/") + w->name).c_str(), BM_Encode, w);
        benchmark::RegisterBenchmark((std::string("EncodeSegments/") + w->name).c_str(),
                                     BM_EncodeSegments, w);
    }
    for (int i : {0, 2}) {  // W1 (version 3) and W3 (version 40)
        const Workload* w = &SideBySideWorkloads()[i];
        benchmark::RegisterBenchmark((std::string("MaskTrial/") + w->name).c_str(), BM_MaskTrial,
                                     w);
        benchmark::RegisterBenchmark((std::string("MaskRules/") + w->name).c_str(), BM_MaskRules,
                                     w);
        benchmark::RegisterBenchmark((std::string("EncodeWithMask/") + w->name).c_str(),
                                     BM_EncodeWithMask, w);
        benchmark::RegisterBenchmark((std::string("BuildSymbol/") + w->name).c_str(),
                                     BM_BuildSymbol, w);
    }
    benchmark::RegisterBenchmark("ReedSolomon/version40", BM_ReedSolomonVersion40)
        ->Arg(LEVEL_L)
        ->Arg(LEVEL_H);
    benchmark::RegisterBenchmark("ComposeVersion40", BM_ComposeVersion40)->Arg(4)->Arg(20);
    const std::pair<const char*, ExportCase> exports[] = {
        {"v1/s4", kVersion1Scale4},
        {"v1/s20", kVersion1Scale20},
        {"v40/s4", kVersion40Scale4},
        {"v40/s20", kVersion40Scale20},
    };
    for (const auto& [name, c] : exports) {
        benchmark::RegisterBenchmark((std::string("ExportCall/") + name).c_str(), BM_ExportCall, c);
        benchmark::RegisterBenchmark((std::string("Floor/") + name).c_str(), BM_Floor, c);
    }
}

}  // namespace

void RemoveBenchFolder() {
    if (benchFolderMade) std::filesystem::remove_all(BenchFolder());
}

}  // namespace qr::bench

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    qr::bench::RegisterAll();
    benchmark::RunSpecifiedBenchmarks();
    qr::bench::RemoveBenchFolder();
    benchmark::Shutdown();
    return 0;
}
