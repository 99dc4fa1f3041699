// The API from 8 threads at once: every call gives the same symbol and bytes as when made alone.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "module/tessera_api.h"

namespace {

constexpr int kThreads = 8;
constexpr int kRounds = 20;

// What one job makes: its modules and its bytes in every format this build has.
std::string Job(int job) {
    const std::string data = "job " + std::to_string(job) + std::string(job * 40, 'q');
    tessera_settings settings;
    tessera_settings_init(&settings);
    settings.level = job % 4;
    settings.mask = job % 3 == 0 ? TESSERA_DEFAULT : job % 8;
    tessera_symbol* symbol = nullptr;
    if (tessera_encode(data.data(), data.size(), &settings, &symbol) != TESSERA_OK) return "";
    const int size = tessera_symbol_size(symbol);
    std::string made(static_cast<size_t>(size) * size, '\0');
    tessera_symbol_modules(symbol, reinterpret_cast<unsigned char*>(&made[0]), made.size());
    for (int format = 0; format <= TESSERA_FORMAT_PDF; ++format) {
        size_t bytes = 0;
        if (tessera_render(symbol, format, nullptr, nullptr, 0, &bytes) !=
            TESSERA_ERROR_BUFFER_TOO_SMALL) {
            continue;
        }
        std::string rendered(bytes, '\0');
        tessera_render(symbol, format, nullptr, &rendered[0], rendered.size(), &bytes);
        made += rendered;
    }
    tessera_symbol_free(symbol);
    return made;
}

TEST(ApiThreads, EightThreadsMakeWhatSingleCallsMake) {
    std::vector<std::string> alone(kThreads);
    for (int job = 0; job < kThreads; ++job) {
        alone[job] = Job(job);
        ASSERT_FALSE(alone[job].empty());
    }
    std::vector<int> mismatches(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &alone, &mismatches] {
            for (int round = 0; round < kRounds; ++round) {
                const int job = (t + round) % kThreads;
                if (Job(job) != alone[job]) ++mismatches[t];
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    for (int t = 0; t < kThreads; ++t) EXPECT_EQ(mismatches[t], 0) << "thread " << t;
}

}  // namespace
