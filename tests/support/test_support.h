// Helpers shared by the test suites: hex, SHA-256, files, temporary folders, encoding shortcuts.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "encoder/qr_encoder.h"
#include "output/image_format.h"
#include "output/render_options.h"

namespace qr::test {

using Bytes = std::vector<unsigned char>;

Bytes FromHex(const std::string& hex);
std::string ToHex(const unsigned char* data, std::size_t size);
std::string Sha256Hex(const unsigned char* data, std::size_t size);
inline std::string Sha256Hex(const std::string& s) {
    return Sha256Hex(reinterpret_cast<const unsigned char*>(s.data()), s.size());
}
Bytes ToBytes(const std::string& s);

// Whole file, or an empty optional-like result: `ok` false when it cannot be read.
bool ReadFile(const std::string& path, Bytes* content);
bool WriteFile(const std::string& path, const Bytes& content);
bool FileExists(const std::string& path);

// A fresh folder removed with everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Rows of a tab-separated file whose first line names the columns; lines starting with '#'
// other than the header are skipped.
struct Table {
    std::vector<std::string> columns;
    std::vector<std::vector<std::string>> rows;
    int Column(const std::string& name) const;
};
Table ReadTable(const std::string& path);

// GF(256) multiplication by shift and add (field polynomial 0x11D), independent of the tables.
inline int SlowGfMultiply(int a, int b) {
    int product = 0;
    for (; b != 0; b >>= 1) {
        if (b & 1) product ^= a;
        a <<= 1;
        if (a & 0x100) a ^= 0x11D;
    }
    return product;
}

// A heap encoder (the record is large) that has run Encode.
std::unique_ptr<CQrEncoder> EncodeBytes(const Bytes& data, int level, int version = 0,
                                        int allowLarger = 1, int mask = -1, int* result = nullptr);

// The finished matrix as text: one line per row, '1' dark and '0' light, each ended by '\n'.
std::string MatrixText(const CQrEncoder& encoder);

// The finished symbol of `encoder` as the writer of `format` makes it, at `scale` with a quiet zone
// of `margin` modules; empty when the writer fails.
std::string Rendered(const CQrEncoder& encoder, ImageFormat format, int scale,
                     int margin = kQuietZoneModules);

// The `symbolSize` square of `modules` (cells 0 or 1) as the writer of `format` makes it, at
// `scale` with a quiet zone of `margin` modules; empty when the writer fails.
std::string Rendered(int symbolSize, const ModuleMatrix& modules, ImageFormat format, int scale,
                     int margin);

// Segment list as "mode:length,mode:length".
std::string SegmentsText(const CQrEncoder& encoder);

}  // namespace qr::test
