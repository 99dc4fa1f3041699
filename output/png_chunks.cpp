#include "output/png_chunks.h"

#include "output/checksums.h"
#include "output/render_options.h"

namespace qr {

void PutBig32(std::string* out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) *out += static_cast<char>((value >> shift) & 0xFF);
}

void AppendPngChunk(std::string* out, const char* type, const std::string& data) {
    PutBig32(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t typeAt = out->size();
    *out += type;
    *out += data;
    const auto* bytes = reinterpret_cast<const unsigned char*>(out->data()) + typeAt;
    PutBig32(out, Crc32(0, bytes, 4 + data.size()));
}

std::string PngResolution(int dpi) {
    std::string phys;
    PutBig32(&phys, PixelsPerMetre(dpi));
    PutBig32(&phys, PixelsPerMetre(dpi));
    phys += static_cast<char>(kPngUnitMetre);
    return phys;
}

}  // namespace qr
