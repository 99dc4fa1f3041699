#include "bench/api_loop_support.h"

#include <memory>

#include "bench/workloads.h"
#include "encoder/qr_encoder.h"

namespace {

const qr::bench::Workload& WorkloadAt(int index) {
    return qr::bench::SideBySideWorkloads()[static_cast<std::size_t>(index)];
}

qr::CQrEncoder& OwnEncoder() {
    static const std::unique_ptr<qr::CQrEncoder> encoder = std::make_unique<qr::CQrEncoder>();
    return *encoder;
}

}  // namespace

extern "C" {

int bench_workload_count(void) {
    return static_cast<int>(qr::bench::SideBySideWorkloads().size());
}

bench_workload bench_workload_at(int index) {
    const qr::bench::Workload& w = WorkloadAt(index);
    return {w.name, w.description, w.level, w.data.data(), w.data.size(), w.kanji, w.binary};
}

int bench_own_encode(int index) {
    const qr::bench::Workload& w = WorkloadAt(index);
    qr::CQrEncoder& encoder = OwnEncoder();
    const int ok =
        encoder.Encode(w.level, 0, 1, -1, w.data.data(), static_cast<int>(w.data.size()));
    return ok ? encoder.version : 0;
}

int bench_own_cells(int index, unsigned char* cells, size_t capacity) {
    if (bench_own_encode(index) == 0) return 0;
    const qr::CQrEncoder& encoder = OwnEncoder();
    const int size = encoder.symbolSize;
    if (static_cast<std::size_t>(size) * static_cast<std::size_t>(size) > capacity) return 0;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) *cells++ = encoder.modules[x][y];
    }
    return size;
}

}  // extern "C"
