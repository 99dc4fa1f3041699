// rMQR beside QR Code: Encode of a full R17x139 (the most digits, capitals or bytes it holds at
// level M, and the most bytes at H; the size asked for or found) beside Encode of W1, sampled in
// turns in one run so that all see the same machine, with the load average before and after.
//   rmqr_bench                 the table: median (lowest) per encode and the ratio to W1
//   rmqr_bench --one CASE      one warm encode of CASE (W1 or a name of the table) with Callgrind
//                              collecting only that call:
//     valgrind --tool=callgrind --collect-atstart=no build-bench/bench/rmqr_bench --one W1
#include <valgrind/callgrind.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/workloads.h"
#include "encoder/qr_encoder.h"
#include "encoder/rmqr_encoder.h"

namespace qr::bench {
namespace {

constexpr int kSamples = 31;
constexpr double kSampleSeconds = 2e-3;

struct Case {
    std::string name;
    std::function<bool()> encode;
};

std::vector<Case> Cases() {
    auto qrCode = std::make_shared<CQrEncoder>();
    auto rmqr = std::make_shared<CRmqrEncoder>();
    const Workload& w1 = SideBySideWorkloads()[0];
    std::vector<Case> cases = {{"W1", [qrCode, &w1] {
                                    return qrCode->Encode(w1.level, 0, 1, -1, w1.data.data(),
                                                          static_cast<int>(w1.data.size())) == 1;
                                }}};
    struct Full {
        const char* name;
        int level, characters;
        char character;
    };
    for (const Full& f :
         {Full{"R17x139-M digits", LEVEL_M, 361, '7'},
          Full{"R17x139-M capitals", LEVEL_M, 219, 'K'}, Full{"R17x139-M bytes", LEVEL_M, 150, 'a'},
          Full{"R17x139-H bytes", LEVEL_H, 74, 'a'}}) {
        const auto data = std::make_shared<std::string>(f.characters, f.character);
        for (const int version : {kRmqrVersionCount, 0}) {
            const std::string name =
                std::string(f.name) + (version == 0 ? ", size found" : ", size asked");
            cases.push_back({name, [rmqr, data, f, version] {
                                 return rmqr->Encode(
                                            f.level, version, 0, 0,
                                            reinterpret_cast<const unsigned char*>(data->data()),
                                            static_cast<int>(data->size())) == 1 &&
                                        rmqr->version == kRmqrVersionCount;
                             }});
        }
    }
    return cases;
}

std::string LoadAverage() {
    std::ifstream file("/proc/loadavg");
    std::string one;
    file >> one;
    return one.empty() ? "unknown" : one;
}

double ThreadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double Seconds(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

int RunTable() {
    std::vector<Case> cases = Cases();
    for (Case& c : cases) {
        if (!c.encode()) {
            std::printf("%s does not encode\n", c.name.c_str());
            return 1;
        }
    }
    const std::string loadBefore = LoadAverage();
    // Batches of about kSampleSeconds, every case once a round in a new order (a fixed order lets
    // the scheduler's time slices fall on the same cases round after round).
    std::vector<int> batch(cases.size(), 1);
    for (std::size_t i = 0; i < cases.size(); ++i) {
        for (;;) {
            const auto start = std::chrono::steady_clock::now();
            for (int k = 0; k < batch[i]; ++k) cases[i].encode();
            if (Seconds(start, std::chrono::steady_clock::now()) >= kSampleSeconds) break;
            batch[i] *= 2;
        }
    }
    std::vector<std::vector<double>> samples(cases.size());
    std::vector<std::vector<double>> cpuSamples(cases.size());
    std::vector<std::size_t> order(cases.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::mt19937 random(kSamples);
    for (int s = 0; s < kSamples; ++s) {
        std::shuffle(order.begin(), order.end(), random);
        for (const std::size_t i : order) {
            const double cpuStart = ThreadCpuSeconds();
            const auto start = std::chrono::steady_clock::now();
            for (int n = 0; n < batch[i]; ++n) cases[i].encode();
            samples[i].push_back(Seconds(start, std::chrono::steady_clock::now()) / batch[i]);
            cpuSamples[i].push_back((ThreadCpuSeconds() - cpuStart) / batch[i]);
        }
    }
    std::printf(
        "load average %s before, %s after; per encode, %d samples: the median (lowest) of\n"
        "the wall-clock time, and the median of the thread's CPU time (which leaves out\n"
        "the time the thread waits for a core)\n\n",
        loadBefore.c_str(), LoadAverage().c_str(), kSamples);
    std::printf(
        "| case | wall clock | CPU time | W1's / this, wall | W1's / this, CPU |\n"
        "|---|---|---|---|---|\n");
    std::vector<double> wall, cpu;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        std::sort(samples[i].begin(), samples[i].end());
        std::sort(cpuSamples[i].begin(), cpuSamples[i].end());
        wall.push_back(samples[i][kSamples / 2]);
        cpu.push_back(cpuSamples[i][kSamples / 2]);
    }
    for (std::size_t i = 0; i < cases.size(); ++i) {
        std::printf("| %s | %.2f µs (%.2f) | %.2f µs | %.2fx | %.2fx |\n", cases[i].name.c_str(),
                    wall[i] * 1e6, samples[i].front() * 1e6, cpu[i] * 1e6, wall[0] / wall[i],
                    cpu[0] / cpu[i]);
    }
    return 0;
}

int RunOne(const char* name) {
    for (Case& c : Cases()) {
        if (c.name != name) continue;
        c.encode();  // warm: tables touched
        CALLGRIND_TOGGLE_COLLECT;
        const bool ok = c.encode();
        CALLGRIND_TOGGLE_COLLECT;
        return ok ? 0 : 1;
    }
    std::fprintf(stderr, "unknown case %s\n", name);
    return 2;
}

}  // namespace
}  // namespace qr::bench

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--one") == 0) return qr::bench::RunOne(argv[2]);
    if (argc != 1) {
        std::fprintf(stderr, "usage: rmqr_bench [--one CASE]\n");
        return 2;
    }
    return qr::bench::RunTable();
}
