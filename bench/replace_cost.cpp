// What syncing costs a replace: replace_cost [FOLDER] (default /var/tmp, on the machine's disk)
// times, side by side in one run, ways of putting 2,702 bytes (version 2 at scale 4) into a file
// that exists: a plain rewrite in place (open with O_TRUNC, write, close: the floor, never
// durable, partial on failure), the writer without syncs, the writer as the door uses it (one
// file, durable), and a group of kBatch replaces committed together as a batch or
// tessera_save_all commits them (durable), per file. The cases take turns, kSamples samples of
// kRepeats operations each, the order rotating; each line gives the median per operation and, in
// brackets, the lowest. The load average is printed before and after.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "platform/file_io.h"

namespace {

constexpr std::size_t kFileBytes = 2702;
constexpr int kSamples = 31;
constexpr int kRepeats = 20;
constexpr int kBatch = 20;

std::string LoadAverage() {
    std::ifstream file("/proc/loadavg");
    std::string one, five, fifteen;
    file >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

bool PlainRewrite(const std::string& path, const std::vector<unsigned char>& data) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const bool ok = write(fd, data.data(), data.size()) == static_cast<ssize_t>(data.size());
    return close(fd) == 0 && ok;
}

struct Case {
    const char* name;
    std::function<bool()> operation;
    std::vector<double> microseconds;  // per operation, one per sample
};

}  // namespace

int main(int argc, char** argv) {
    const std::string folder = argc > 1 ? argv[1] : "/var/tmp";
    const std::string path = folder + "/tessera-replace-cost.bmp";
    std::vector<unsigned char> data(kFileBytes);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<unsigned char>(i * 37);
    qr::platform::WriteOptions unsynced;
    unsynced.durable = false;
    std::vector<std::string> batchPaths;
    for (int i = 0; i < kBatch; ++i) {
        batchPaths.push_back(folder + "/tessera-replace-cost-" + std::to_string(i) + ".bmp");
    }
    std::vector<qr::platform::StagedFile> slots(kBatch);
    qr::platform::FileGroup group(slots.data(), slots.size(), qr::platform::WriteOptions());
    std::vector<qr::platform::WriteFailure> results(kBatch);
    int next = 0;

    std::vector<Case> cases = {
        {"plain rewrite in place (floor)", [&] { return PlainRewrite(path, data); }, {}},
        {"replace, no sync",
         [&] {
             return qr::platform::ReplaceFile(path.c_str(), data.data(), data.size(), unsynced);
         },
         {}},
        {"replace, durable (the door)",
         [&] { return qr::platform::ReplaceFile(path.c_str(), data.data(), data.size()); },
         {}},
        {"group of 20 replaces, durable, per file",
         [&] {
             // kRepeats is a whole number of groups: each group of kBatch files is committed.
             const std::string& file = batchPaths[static_cast<std::size_t>(next++ % kBatch)];
             bool ok = group.Stage(file.c_str(), data.data(), data.size()) ==
                       qr::platform::WriteFailure::kNone;
             if (group.Full()) {
                 group.Commit(results.data());
                 for (const qr::platform::WriteFailure result : results) {
                     ok = ok && result == qr::platform::WriteFailure::kNone;
                 }
             }
             return ok;
         },
         {}},
    };
    static_assert(kRepeats % kBatch == 0, "each sample holds whole groups");

    // Every file exists before timing: each case replaces.
    if (!PlainRewrite(path, data)) {
        std::fprintf(stderr, "cannot write in %s\n", folder.c_str());
        return 1;
    }
    for (const std::string& file : batchPaths) PlainRewrite(file, data);
    sync();

    const std::string loadBefore = LoadAverage();
    for (int sample = 0; sample < kSamples; ++sample) {
        for (std::size_t k = 0; k < cases.size(); ++k) {
            Case& c = cases[(k + static_cast<std::size_t>(sample)) % cases.size()];
            const auto start = std::chrono::steady_clock::now();
            for (int i = 0; i < kRepeats; ++i) {
                if (!c.operation()) {
                    std::fprintf(stderr, "%s failed in %s\n", c.name, folder.c_str());
                    return 1;
                }
            }
            const std::chrono::duration<double, std::micro> took =
                std::chrono::steady_clock::now() - start;
            c.microseconds.push_back(took.count() / kRepeats);
        }
    }
    const std::string loadAfter = LoadAverage();

    std::printf(
        "%zu-byte file in %s; %d samples of %d operations; load average %s before, %s "
        "after\n",
        kFileBytes, folder.c_str(), kSamples, kRepeats, loadBefore.c_str(), loadAfter.c_str());
    for (Case& c : cases) {
        std::sort(c.microseconds.begin(), c.microseconds.end());
        std::printf("%-40s %9.1f us (%.1f)\n", c.name, c.microseconds[c.microseconds.size() / 2],
                    c.microseconds.front());
    }
    unlink(path.c_str());
    for (const std::string& file : batchPaths) unlink(file.c_str());
    return 0;
}
