// tessera() from 8 threads at once: each call must give the same result and the same file, byte for
// byte, as the same call made alone, and no call may leave anything beside its output.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "module/tessera.h"
#include "tests/hardening/hardening_support.h"

namespace qr::test {
namespace {

constexpr int kThreads = 8;
constexpr int kRounds = 4;

// Eight different jobs: every option letter, both data options, both failures, small and largest
// symbols. "{in}" is the folder of inputs, "{out}" the job's output path.
const std::vector<std::vector<std::string>> kJobs = {
    {"/THello, world", "/L0", "/S1", "/O{out}"},
    {"/I{in}/digits", "/L0", "/S2", "/O{out}"},
    {"/I{in}/kanji", "/L3", "/M5", "/O{out}"},
    {"/THTTPS://EXAMPLE.ORG/TESSERA", "/V10", "/EN", "/O{out}"},
    {"/T%00%01%02%03%04%05%06%07%08%09%0A%0B%0C%0D%0E%0F%10%11%12%13%14%15%16%17", "/V1", "/EN",
     "/O{out}"},
    {"/Tabc", "/O{out}/missing/folder.bmp"},
    {"/I{in}/kanji", "/V40", "/S20", "/O{out}"},
    {"/I{in}/digits", "/l2", "/m7", "/O{out}"},
};

class Concurrency : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(WriteFile(dir_.File("digits"), ToBytes(std::string(3000, '7') + "0123456789")));
        // Shift_JIS double-byte characters, then ASCII.
        ASSERT_TRUE(WriteFile(dir_.File("kanji"), FromHex("93FA967B8CEA82C582B7818140"
                                                          "616263")));
    }

    std::vector<std::string> Options(const std::vector<std::string>& job, const std::string& out) {
        std::vector<std::string> options;
        for (const std::string& option : job) {
            options.push_back(Replace(Replace(option, "{out}", out), "{in}", dir_.path()));
        }
        return options;
    }

    TempDir dir_;
};

// Runs `call(i)` on kThreads threads released together.
template <typename Call>
void AllAtOnce(Call call) {
    std::atomic<int> waiting{kThreads};
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            waiting.fetch_sub(1);
            while (waiting.load() > 0) std::this_thread::yield();
            call(i);
        });
    }
    for (std::thread& t : threads) t.join();
}

TEST_F(Concurrency, EightDifferentCallsMatchTheSameCallsMadeAlone) {
    ASSERT_EQ(kJobs.size(), static_cast<std::size_t>(kThreads));
    int aloneResults[kThreads];
    Bytes aloneFiles[kThreads];
    for (int i = 0; i < kThreads; ++i) {
        const std::string out = dir_.File("alone-" + std::to_string(i) + ".bmp");
        aloneResults[i] = CallExport(Options(kJobs[i], out));
        if (aloneResults[i] == TESSERA_WRITTEN) {
            ASSERT_TRUE(ReadFile(out, &aloneFiles[i]));
        }
    }
    // The jobs cover success and both failures.
    EXPECT_EQ(aloneResults[4], TESSERA_CANNOT_ENCODE);
    EXPECT_EQ(aloneResults[5], TESSERA_CANNOT_WRITE);
    EXPECT_EQ(aloneResults[6], TESSERA_WRITTEN);

    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        TempDir together;
        int results[kThreads];
        AllAtOnce([&](int i) {
            results[i] = CallExport(Options(kJobs[i], together.File(std::to_string(i) + ".bmp")));
        });
        std::vector<std::string> expectedEntries;
        for (int i = 0; i < kThreads; ++i) {
            SCOPED_TRACE("job " + std::to_string(i));
            EXPECT_EQ(results[i], aloneResults[i]);
            if (aloneResults[i] != TESSERA_WRITTEN) continue;
            expectedEntries.push_back(std::to_string(i) + ".bmp");
            Bytes file;
            ASSERT_TRUE(ReadFile(together.File(std::to_string(i) + ".bmp"), &file));
            EXPECT_TRUE(file == aloneFiles[i]) << "the file differs from the one made alone";
        }
        EXPECT_EQ(Entries(together.path()), expectedEntries);
    }
}

TEST_F(Concurrency, EightCallsReplacingOneFileLeaveOneWholeResult) {
    std::vector<std::string> texts;
    Bytes alone[kThreads];
    for (int i = 0; i < kThreads; ++i) {
        texts.push_back("/Tcall " + std::to_string(i));
        const std::string out = dir_.File("alone.bmp");
        ASSERT_EQ(CallExport({texts[i], "/V5", "/O" + out}), TESSERA_WRITTEN);
        ASSERT_TRUE(ReadFile(out, &alone[i]));
    }
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        TempDir together;
        const std::string out = together.File("shared.bmp");
        int results[kThreads];
        AllAtOnce([&](int i) { results[i] = CallExport({texts[i], "/V5", "/O" + out}); });
        for (int i = 0; i < kThreads; ++i) EXPECT_EQ(results[i], TESSERA_WRITTEN);
        EXPECT_EQ(Entries(together.path()), std::vector<std::string>{"shared.bmp"});
        Bytes file;
        ASSERT_TRUE(ReadFile(out, &file));
        int matches = 0;
        for (const Bytes& candidate : alone) matches += file == candidate;
        EXPECT_EQ(matches, 1) << "the file is not exactly one of the eight symbols";
    }
}

}  // namespace
}  // namespace qr::test
