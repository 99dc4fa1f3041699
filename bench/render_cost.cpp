// What rendering costs beside encoding: for W1 and W3 (version 40) at scale 4, Encode and each
// writer (BMP, PNG, SVG, EPS, PDF) of the finished symbol, sampled in turn (31 samples of about
// 2 ms each, the order rotating). Prints the median per call (the lowest in brackets), its ratio
// to Encode's median and the size of the bytes. Uses only the encoder and the writers' table, so
// bench/render_side_by_side.sh builds it against an earlier checkout as well.
//   render_cost                      the table
//   render_cost --one WORKLOAD STEP  one warm call, collected alone by Callgrind (STEP: encode,
//   bmp,
//                                    png, svg, eps or pdf)
#include <valgrind/callgrind.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bench/workloads.h"
#include "encoder/qr_encoder.h"
#include "output/writers.h"

namespace qr::bench {
namespace {

using Clock = std::chrono::steady_clock;
constexpr int kSamples = 31;
constexpr double kSampleNs = 2e6;

struct Step {
    const char* name;
    ImageFormat format;  // unused for encode
};
constexpr Step STEPS[] = {{"encode", ImageFormat::kBmp}, {"bmp", ImageFormat::kBmp},
                          {"png", ImageFormat::kPng},    {"svg", ImageFormat::kSvg},
                          {"eps", ImageFormat::kEps},    {"pdf", ImageFormat::kPdf}};
constexpr int kStepCount = sizeof STEPS / sizeof STEPS[0];

const Workload* Named(const char* name) {
    for (const Workload& w : SideBySideWorkloads()) {
        if (std::strcmp(w.name, name) == 0) return &w;
    }
    return nullptr;
}

// The call of `step` for `w`: an encode into `encoder`, or a render of its symbol into `bytes`.
std::function<void()> Call(const Step& step, const Workload& w, CQrEncoder* encoder,
                           std::string* bytes) {
    if (std::strcmp(step.name, "encode") == 0) {
        return [&w, encoder] {
            encoder->Encode(w.level, 0, 1, -1, w.data.data(), static_cast<int>(w.data.size()));
        };
    }
    const ImageWriter writer = WriterFor(step.format);
    return [writer, encoder, bytes] {
        RenderOptions options;  // scale 4, quiet zone 4, black on white
        writer(encoder->symbolSize, encoder->symbolSize, encoder->modules, options, bytes);
    };
}

double TimeBatch(const std::function<void()>& call, long count) {
    const auto start = Clock::now();
    for (long i = 0; i < count; ++i) call();
    return std::chrono::duration<double, std::nano>(Clock::now() - start).count() / count;
}

int RunOne(const char* workload, const char* stepName) {
    const Workload* w = Named(workload);
    const Step* step = nullptr;
    for (const Step& s : STEPS) {
        if (std::strcmp(s.name, stepName) == 0) step = &s;
    }
    if (w == nullptr || step == nullptr) return 2;
    auto encoder = std::make_unique<CQrEncoder>();
    std::string bytes;
    const std::function<void()> call = Call(*step, *w, encoder.get(), &bytes);
    Call(STEPS[0], *w, encoder.get(), &bytes)();
    call();  // warm
    CALLGRIND_TOGGLE_COLLECT;
    call();
    CALLGRIND_TOGGLE_COLLECT;
    return 0;
}

void Table() {
    std::printf("| workload | step | median | ratio to encode | bytes |\n|---|---|---|---|---|\n");
    for (const char* name : {"W1", "W3"}) {
        const Workload& w = *Named(name);
        // One encoder times Encode; the renders read a second one's finished symbol.
        auto timed = std::make_unique<CQrEncoder>();
        auto finished = std::make_unique<CQrEncoder>();
        std::string bytes[kStepCount];
        std::vector<std::function<void()>> calls;
        for (int s = 0; s < kStepCount; ++s) {
            calls.push_back(Call(STEPS[s], w, s == 0 ? timed.get() : finished.get(), &bytes[s]));
        }
        calls[0]();
        Call(STEPS[0], w, finished.get(), &bytes[0])();
        long counts[kStepCount];
        std::vector<double> times[kStepCount];
        for (int s = 0; s < kStepCount; ++s) {
            calls[s]();
            long count = 1;
            while (TimeBatch(calls[s], count) * count < kSampleNs / 4) count *= 2;
            counts[s] = std::max(1L, static_cast<long>(kSampleNs / TimeBatch(calls[s], count)));
        }
        for (int sample = 0; sample < kSamples; ++sample) {
            for (int k = 0; k < kStepCount; ++k) {
                const int s = (k + sample) % kStepCount;
                times[s].push_back(TimeBatch(calls[s], counts[s]));
            }
        }
        double encode = 0;
        for (int s = 0; s < kStepCount; ++s) {
            std::sort(times[s].begin(), times[s].end());
            const double median = times[s][kSamples / 2] / 1000;
            if (s == 0) encode = median;
            std::printf("| %s v%d | %s | %.2f µs (%.2f) | %.2fx | %s |\n", name, finished->version,
                        STEPS[s].name, median, times[s][0] / 1000, median / encode,
                        s == 0 ? "-" : std::to_string(bytes[s].size()).c_str());
        }
    }
}

}  // namespace
}  // namespace qr::bench

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--one") == 0) return qr::bench::RunOne(argv[2], argv[3]);
    qr::bench::Table();
    return 0;
}
