// Times CQrEncoder::Encode beside three independent encoders from Debian, used as black boxes
// through their public headers: libqrencode, zxing-cpp's writer and qrcodegen (C++). Each encodes
// W1-W6 to a module matrix with the automatic version and mask; every symbol is decoded by
// zxing-cpp's reader and compared with the input before anything is timed.
//
//   side_by_side                  the table, then one line of ratios per workload
//   side_by_side --one ENCODER W  one warm encode of workload W (W1..W6) by ENCODER (tessera,
//                                 libqrencode, zxing-cpp, qrcodegen) with Callgrind collecting
//                                 only that call (see callgrind.sh)
#include <ZXing/BitMatrix.h>
#include <ZXing/CharacterSet.h>
#include <ZXing/MultiFormatWriter.h>
#include <ZXing/ReadBarcode.h>
#include <iconv.h>
#include <qrencode.h>
#include <sys/utsname.h>
#include <valgrind/callgrind.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <exception>
#include <fstream>
#include <functional>
#include <memory>
#include <qrcodegen/qrcodegen.hpp>
#include <string>
#include <thread>
#include <vector>

#include "bench/workloads.h"
#include "encoder/qr_encoder.h"

namespace qr::bench {
namespace {

constexpr int kSamples = 31;             // timed samples per encoder and workload
constexpr double kSampleSeconds = 2e-3;  // calls are batched up to about this long
constexpr int kQuietZone = 4;
constexpr int kPixelsPerModule = 3;

// A finished symbol, row by row, 1 dark.
struct Symbol {
    int size = 0;
    std::vector<unsigned char> dark;
};

// One encoder: `encode` makes the symbol of a workload, copying it to `out` unless that is null
// (as when it is timed).
struct Encoder {
    const char* name;
    std::function<bool(const Workload&, Symbol* out)> encode;
};

// The Shift_JIS workload as wide characters, for the writer that takes Unicode.
std::wstring WideText(const Workload& w) {
    if (!w.kanji) return std::wstring(w.data.begin(), w.data.end());
    iconv_t cd = iconv_open("WCHAR_T", "SHIFT_JIS");
    std::vector<wchar_t> out(w.data.size() + 1);
    char* in = const_cast<char*>(reinterpret_cast<const char*>(w.data.data()));
    std::size_t inLeft = w.data.size();
    char* outPtr = reinterpret_cast<char*>(out.data());
    std::size_t outLeft = out.size() * sizeof(wchar_t);
    const std::size_t done = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (done == static_cast<std::size_t>(-1)) return {};
    return std::wstring(out.data(), (out.size() * sizeof(wchar_t) - outLeft) / sizeof(wchar_t));
}

Encoder Tessera() {
    auto encoder = std::make_shared<CQrEncoder>();
    return {"tessera", [encoder](const Workload& w, Symbol* out) {
                const bool ok = encoder->Encode(w.level, 0, 1, -1, w.data.data(),
                                                static_cast<int>(w.data.size())) == 1;
                if (ok && out != nullptr) {
                    *out = {encoder->symbolSize, {}};
                    for (int y = 0; y < out->size; ++y) {
                        for (int x = 0; x < out->size; ++x)
                            out->dark.push_back(encoder->modules[x][y]);
                    }
                }
                return ok;
            }};
}

Encoder Libqrencode() {
    return {"libqrencode", [](const Workload& w, Symbol* out) {
                const QRecLevel level = static_cast<QRecLevel>(w.level);
                QRcode* code;
                if (w.binary) {
                    code =
                        QRcode_encodeData(static_cast<int>(w.data.size()), w.data.data(), 0, level);
                } else {
                    code = QRcode_encodeString(w.CString(), 0, level,
                                               w.kanji ? QR_MODE_KANJI : QR_MODE_8, 1);
                }
                if (code == nullptr) return false;
                if (out != nullptr) {
                    *out = {code->width, {}};
                    for (int i = 0; i < code->width * code->width; ++i)
                        out->dark.push_back(code->data[i] & 1);
                }
                QRcode_free(code);
                return true;
            }};
}

Encoder ZxingWriter() {
    return {"zxing-cpp", [](const Workload& w, Symbol* out) {
                // The writer's level is 0-8 in steps of two per QR level: L 1, M 3, Q 5, H 7.
                ZXing::MultiFormatWriter writer(ZXing::BarcodeFormat::QRCode);
                writer.setMargin(0).setEccLevel(2 * w.level + 1);
                if (w.kanji) writer.setEncoding(ZXing::CharacterSet::Shift_JIS);
                static thread_local const Workload* cached = nullptr;
                static thread_local std::wstring wide;
                if (cached != &w) {
                    wide = WideText(w);
                    cached = &w;
                }
                const ZXing::BitMatrix m = writer.encode(wide, 0, 0);
                if (out != nullptr) {
                    *out = {m.width(), {}};
                    for (int y = 0; y < m.height(); ++y) {
                        for (int x = 0; x < m.width(); ++x) out->dark.push_back(m.get(x, y));
                    }
                }
                return m.width() > 0;
            }};
}

Encoder Qrcodegen() {
    return {"qrcodegen", [](const Workload& w, Symbol* out) {
                using qrcodegen::QrCode;
                using qrcodegen::QrSegment;
                static const QrCode::Ecc levels[] = {QrCode::Ecc::LOW, QrCode::Ecc::MEDIUM,
                                                     QrCode::Ecc::QUARTILE, QrCode::Ecc::HIGH};
                // No Kanji mode: Shift_JIS goes as bytes, as binary data does.
                std::vector<QrSegment> segments;
                if (w.binary || w.kanji) {
                    segments.push_back(QrSegment::makeBytes(w.data));
                } else {
                    segments = QrSegment::makeSegments(w.CString());
                }
                const QrCode code =
                    QrCode::encodeSegments(segments, levels[w.level], 1, 40, -1, false);
                if (out != nullptr) {
                    *out = {code.getSize(), {}};
                    for (int y = 0; y < out->size; ++y) {
                        for (int x = 0; x < out->size; ++x)
                            out->dark.push_back(code.getModule(x, y));
                    }
                }
                return true;
            }};
}

// Whether zxing-cpp's reader finds exactly the workload's bytes at its level in the symbol.
bool Decodes(const Symbol& s, const Workload& w, std::string* why) {
    const int side = (s.size + 2 * kQuietZone) * kPixelsPerModule;
    std::vector<std::uint8_t> image(static_cast<std::size_t>(side) * side, 255);
    for (int y = 0; y < s.size; ++y) {
        for (int x = 0; x < s.size; ++x) {
            if (!s.dark[y * s.size + x]) continue;
            for (int dy = 0; dy < kPixelsPerModule; ++dy) {
                for (int dx = 0; dx < kPixelsPerModule; ++dx) {
                    image[((y + kQuietZone) * kPixelsPerModule + dy) * side +
                          (x + kQuietZone) * kPixelsPerModule + dx] = 0;
                }
            }
        }
    }
    ZXing::DecodeHints hints;
    hints.setFormats(ZXing::BarcodeFormat::QRCode);
    const ZXing::Result r =
        ZXing::ReadBarcode({image.data(), side, side, ZXing::ImageFormat::Lum}, hints);
    if (!r.isValid()) {
        *why = "not decoded";
        return false;
    }
    const ZXing::ByteArray& bytes = r.bytes();
    if (std::vector<unsigned char>(bytes.begin(), bytes.end()) != w.data) {
        *why = "decoded " + std::to_string(bytes.size()) + " bytes that differ: " +
               std::string(bytes.begin(), bytes.begin() + std::min<std::size_t>(bytes.size(), 60));
        return false;
    }
    const std::wstring level = r.ecLevel();
    if (level.size() != 1 || level[0] != L"LMQH"[w.level]) {
        *why = "decoded at another level";
        return false;
    }
    return true;
}

std::vector<Encoder> AllEncoders() {
    return {Tessera(), Libqrencode(), ZxingWriter(), Qrcodegen()};
}

double Seconds(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

struct Timing {
    double median;
    double lowest;
};

// Samples every encoder in turn (the order rotating) so that all of them see the same machine.
std::vector<Timing> TimeAll(std::vector<Encoder>& encoders, const Workload& w) {
    using Clock = std::chrono::steady_clock;
    const std::size_t n = encoders.size();
    std::vector<int> batch(n);
    for (std::size_t e = 0; e < n; ++e) {
        encoders[e].encode(w, nullptr);  // warm
        const auto start = Clock::now();
        int calls = 0;
        do {
            encoders[e].encode(w, nullptr);
            ++calls;
        } while (Seconds(start, Clock::now()) < kSampleSeconds / 4);
        batch[e] =
            std::max(1, static_cast<int>(calls * kSampleSeconds / (Seconds(start, Clock::now()))));
    }
    std::vector<std::vector<double>> samples(n);
    for (int s = 0; s < kSamples; ++s) {
        for (std::size_t i = 0; i < n; ++i) {
            const std::size_t e = (i + s) % n;
            const auto start = Clock::now();
            for (int c = 0; c < batch[e]; ++c) encoders[e].encode(w, nullptr);
            samples[e].push_back(Seconds(start, Clock::now()) / batch[e]);
        }
    }
    std::vector<Timing> timings;
    for (auto& v : samples) {
        std::sort(v.begin(), v.end());
        timings.push_back({v[v.size() / 2], v.front()});
    }
    return timings;
}

std::string Machine() {
    std::string model = "unknown CPU";
    std::ifstream cpu("/proc/cpuinfo");
    for (std::string line; std::getline(cpu, line);) {
        if (line.rfind("model name", 0) == 0) {
            model = line.substr(line.find(':') + 2);
            break;
        }
    }
    utsname u{};
    uname(&u);
    return model + ", " + std::to_string(std::thread::hardware_concurrency()) + " CPUs, " +
           u.sysname + " " + u.release;
}

int RunOne(const char* encoderName, const char* workloadName) {
    for (Encoder& e : AllEncoders()) {
        if (std::strcmp(e.name, encoderName) != 0) continue;
        for (const Workload& w : SideBySideWorkloads()) {
            if (std::strcmp(w.name, workloadName) != 0) continue;
            WideText(w);
            e.encode(w, nullptr);  // warm: tables touched, first allocations made
            CALLGRIND_TOGGLE_COLLECT;
            const bool ok = e.encode(w, nullptr);
            CALLGRIND_TOGGLE_COLLECT;
            return ok ? 0 : 1;
        }
    }
    std::fprintf(stderr, "unknown encoder or workload\n");
    return 2;
}

int RunTable() {
    std::vector<Encoder> encoders = AllEncoders();
    const std::vector<Workload>& workloads = SideBySideWorkloads();
    bool allDecode = true;
    for (const Workload& w : workloads) {
        for (Encoder& e : encoders) {
            std::string why = "does not encode";
            Symbol symbol;
            bool ok = false;
            try {
                ok = e.encode(w, &symbol) && Decodes(symbol, w, &why);
            } catch (const std::exception& error) {
                why = error.what();
            }
            if (!ok) {
                std::printf("%s %s: %s\n", e.name, w.name, why.c_str());
                allDecode = false;
            }
        }
    }
    std::printf("every symbol decodes: %s\n", allDecode ? "yes" : "NO");
    const std::time_t now = std::time(nullptr);
    char date[32];
    std::strftime(date, sizeof date, "%Y-%m-%d", std::gmtime(&now));
    std::printf("%s, %s; median (lowest) per encode, %d samples\n\n", Machine().c_str(), date,
                kSamples);
    std::printf("| workload | level | version |");
    for (const Encoder& e : encoders) std::printf(" %s |", e.name);
    std::printf("\n|---|---|---|");
    for (std::size_t i = 0; i < encoders.size(); ++i) std::printf("---|");
    std::printf("\n");
    std::vector<std::vector<Timing>> all;
    for (const Workload& w : workloads) {
        all.push_back(TimeAll(encoders, w));
        Symbol ours;
        encoders[0].encode(w, &ours);
        std::printf("| %s %s | %c | %d |", w.name, w.description, "LMQH"[w.level],
                    (ours.size - 17) / 4);
        for (const Timing& t : all.back())
            std::printf(" %.2f µs (%.2f) |", t.median * 1e6, t.lowest * 1e6);
        std::printf("\n");
        std::fflush(stdout);
    }
    std::printf("\nratio of each peer's median to tessera's:\n");
    for (std::size_t i = 0; i < workloads.size(); ++i) {
        std::printf("%s", workloads[i].name);
        for (std::size_t e = 1; e < encoders.size(); ++e) {
            std::printf("  %s %.1fx", encoders[e].name, all[i][e].median / all[i][0].median);
        }
        std::printf("\n");
    }
    return allDecode ? 0 : 1;
}

}  // namespace
}  // namespace qr::bench

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--one") == 0) return qr::bench::RunOne(argv[2], argv[3]);
    if (argc != 1) {
        std::fprintf(stderr, "usage: side_by_side [--one ENCODER WORKLOAD]\n");
        return 2;
    }
    return qr::bench::RunTable();
}
