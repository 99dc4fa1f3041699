#include "tests/support/test_support.h"

#include <sys/stat.h>

#include "output/writers.h"
#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace qr::test {

std::string Rendered(int symbolSize, const ModuleMatrix& modules, ImageFormat format, int scale,
                     int margin) {
    RenderOptions options;
    options.scale = scale;
    options.margin = margin;
    std::string bytes;
    const ImageWriter writer = WriterFor(format);
    if (writer == nullptr || !writer(symbolSize, symbolSize, modules, options, &bytes))
        bytes.clear();
    return bytes;
}

std::string Rendered(const CQrEncoder& encoder, ImageFormat format, int scale, int margin) {
    return Rendered(encoder.symbolSize, encoder.modules, format, scale, margin);
}

Bytes FromHex(const std::string& hex) {
    Bytes out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        out.push_back(static_cast<unsigned char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return out;
}

std::string ToHex(const unsigned char* data, std::size_t size) {
    static const char* const kDigits = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < size; ++i) {
        out += kDigits[data[i] >> 4];
        out += kDigits[data[i] & 15];
    }
    return out;
}

namespace {

constexpr std::uint32_t K[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

std::uint32_t Rotr(std::uint32_t x, int n) {
    return (x >> n) | (x << (32 - n));
}

}  // namespace

std::string Sha256Hex(const unsigned char* data, std::size_t size) {
    std::uint32_t h[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                          0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    Bytes message(data, data + size);
    const std::uint64_t bitLength = static_cast<std::uint64_t>(size) * 8;
    message.push_back(0x80);
    while (message.size() % 64 != 56) message.push_back(0);
    for (int i = 7; i >= 0; --i)
        message.push_back(static_cast<unsigned char>(bitLength >> (8 * i)));
    for (std::size_t chunk = 0; chunk < message.size(); chunk += 64) {
        std::uint32_t w[64];
        for (int i = 0; i < 16; ++i) {
            const unsigned char* p = &message[chunk + 4 * i];
            w[i] = std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 |
                   std::uint32_t{p[2]} << 8 | p[3];
        }
        for (int i = 16; i < 64; ++i) {
            const std::uint32_t s0 = Rotr(w[i - 15], 7) ^ Rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
            const std::uint32_t s1 = Rotr(w[i - 2], 17) ^ Rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
            w[i] = w[i - 16] + s0 + w[i - 7] + s1;
        }
        std::uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4], f = h[5], g = h[6],
                      hh = h[7];
        for (int i = 0; i < 64; ++i) {
            const std::uint32_t t1 =
                hh + (Rotr(e, 6) ^ Rotr(e, 11) ^ Rotr(e, 25)) + ((e & f) ^ (~e & g)) + K[i] + w[i];
            const std::uint32_t t2 =
                (Rotr(a, 2) ^ Rotr(a, 13) ^ Rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
            hh = g;
            g = f;
            f = e;
            e = d + t1;
            d = c;
            c = b;
            b = a;
            a = t1 + t2;
        }
        h[0] += a;
        h[1] += b;
        h[2] += c;
        h[3] += d;
        h[4] += e;
        h[5] += f;
        h[6] += g;
        h[7] += hh;
    }
    unsigned char digest[32];
    for (int i = 0; i < 8; ++i) {
        for (int j = 0; j < 4; ++j)
            digest[4 * i + j] = static_cast<unsigned char>(h[i] >> (24 - 8 * j));
    }
    return ToHex(digest, sizeof digest);
}

Bytes ToBytes(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

bool ReadFile(const std::string& path, Bytes* content) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    content->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

bool WriteFile(const std::string& path, const Bytes& content) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(content.data()),
              static_cast<std::streamsize>(content.size()));
    return static_cast<bool>(out);
}

bool FileExists(const std::string& path) {
#ifdef _WIN32
    struct _stat64 st;  // Windows has no symbolic links to tell apart here
    return _stat64(path.c_str(), &st) == 0;
#else
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
#endif
}

TempDir::TempDir() {
#ifdef _WIN32
    // No mkdtemp: a name from the process id and a counter, taken only if it is new.
    static unsigned counter = 0;
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 1000 && path_.empty(); ++attempt) {
        const std::filesystem::path candidate =
            base / ("tessera-test-" + std::to_string(_getpid()) + "-" + std::to_string(counter++));
        std::error_code error;
        if (std::filesystem::create_directory(candidate, error)) path_ = candidate.string();
    }
    if (path_.empty()) std::abort();
#else
    std::string pattern = (std::filesystem::temp_directory_path() / "tessera-test-XXXXXX").string();
    char* made = mkdtemp(pattern.data());
    if (made == nullptr) std::abort();
    path_ = made;
#endif
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
}

int Table::Column(const std::string& name) const {
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (columns[i] == name) return static_cast<int>(i);
    }
    std::fprintf(stderr, "no column %s\n", name.c_str());
    std::abort();
}

Table ReadTable(const std::string& path) {
    Table table;
    std::ifstream in(path);
    std::string line;
    auto split = [](const std::string& s) {
        std::vector<std::string> fields;
        std::string field;
        std::istringstream stream(s);
        while (std::getline(stream, field, '\t')) fields.push_back(field);
        if (!s.empty() && s.back() == '\t') fields.push_back("");
        return fields;
    };
    while (std::getline(in, line)) {
        if (table.columns.empty()) {
            table.columns = split(line.rfind("# ", 0) == 0 ? line.substr(2) : line);
            continue;
        }
        if (line.empty() || line[0] == '#') continue;
        std::vector<std::string> fields = split(line);
        fields.resize(table.columns.size());
        table.rows.push_back(fields);
    }
    return table;
}

std::unique_ptr<CQrEncoder> EncodeBytes(const Bytes& data, int level, int version, int allowLarger,
                                        int mask, int* result) {
    auto encoder = std::make_unique<CQrEncoder>();
    Bytes terminated = data;
    terminated.push_back(0);
    const int r = encoder->Encode(level, version, allowLarger, mask, terminated.data(),
                                  static_cast<int>(data.size()));
    if (result != nullptr) *result = r;
    return encoder;
}

std::string MatrixText(const CQrEncoder& encoder) {
    std::string text;
    for (int y = 0; y < encoder.symbolSize; ++y) {
        for (int x = 0; x < encoder.symbolSize; ++x) text += encoder.modules[x][y] ? '1' : '0';
        text += '\n';
    }
    return text;
}

std::string SegmentsText(const CQrEncoder& encoder) {
    std::string text;
    for (int i = 0; i < encoder.segmentCount; ++i) {
        if (i > 0) text += ',';
        text += std::to_string(encoder.segmentModes[i]) + ":" +
                std::to_string(encoder.segmentLengths[i]);
    }
    return text;
}

}  // namespace qr::test
