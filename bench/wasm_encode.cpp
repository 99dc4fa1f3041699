// The WebAssembly build's encode: tessera_encode followed by tessera_symbol_free, as the JavaScript
// package calls them for make(), beside the encoder's own CQrEncoder::Encode, for W1-W6, in one
// run. Built by wasm_encode.sh with emscripten from the same sources as the package's module and
// run under Node. The two take turns, 31 samples of about 2 ms each, the order alternating; the
// table gives the median per encode and, in brackets, the lowest, then the ratios.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

#include "bench/workloads.h"
#include "encoder/qr_encoder.h"
#include "module/tessera_api.h"

namespace {

constexpr int kSamples = 31;
constexpr double kSampleSeconds = 2e-3;

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

bool ApiEncode(const qr::bench::Workload& w) {
    tessera_settings settings;
    tessera_settings_init(&settings);
    settings.level = w.level;
    tessera_symbol* symbol = nullptr;
    const bool ok = tessera_encode(w.data.data(), w.data.size(), &settings, &symbol) == TESSERA_OK;
    tessera_symbol_free(symbol);
    return ok;
}

bool OwnEncode(qr::CQrEncoder& encoder, const qr::bench::Workload& w) {
    return encoder.Encode(w.level, 0, 1, -1, w.data.data(), static_cast<int>(w.data.size())) == 1;
}

// The median and the lowest of one contender's samples, seconds per call.
struct Timing {
    double median;
    double lowest;
};

template <class Call>
int BatchOf(Call call) {
    call();  // warm
    const auto start = Clock::now();
    int calls = 0;
    do {
        call();
        ++calls;
    } while (Seconds(start, Clock::now()) < kSampleSeconds / 4);
    return std::max(1, static_cast<int>(calls * kSampleSeconds / Seconds(start, Clock::now())));
}

}  // namespace

int main() {
    auto encoder = std::make_unique<qr::CQrEncoder>();
    std::printf(
        "| workload | tessera_encode + free | Encode | ratio of the medians (of the lowest) |\n");
    std::printf("|---|---|---|---|\n");
    int failed = 0;
    for (const qr::bench::Workload& w : qr::bench::SideBySideWorkloads()) {
        auto api = [&] { failed |= !ApiEncode(w); };
        auto own = [&] { failed |= !OwnEncode(*encoder, w); };
        const int apiBatch = BatchOf(api);
        const int ownBatch = BatchOf(own);
        std::vector<double> apiSamples, ownSamples;
        for (int s = 0; s < kSamples; ++s) {
            for (int turn = 0; turn < 2; ++turn) {
                const bool apiTurn = (turn + s) % 2 == 0;
                const int batch = apiTurn ? apiBatch : ownBatch;
                const auto start = Clock::now();
                for (int c = 0; c < batch; ++c) apiTurn ? api() : own();
                (apiTurn ? apiSamples : ownSamples).push_back(Seconds(start, Clock::now()) / batch);
            }
        }
        std::sort(apiSamples.begin(), apiSamples.end());
        std::sort(ownSamples.begin(), ownSamples.end());
        const Timing a = {apiSamples[kSamples / 2], apiSamples.front()};
        const Timing o = {ownSamples[kSamples / 2], ownSamples.front()};
        std::printf("| %s %s | %.2f µs (%.2f) | %.2f µs (%.2f) | %.2fx (%.2fx) |\n", w.name,
                    w.description, a.median * 1e6, a.lowest * 1e6, o.median * 1e6, o.lowest * 1e6,
                    a.median / o.median, a.lowest / o.lowest);
        std::fflush(stdout);
    }
    if (failed) std::printf("a call failed\n");
    return failed;
}
