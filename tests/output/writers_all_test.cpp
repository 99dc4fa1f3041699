// The table of writers of the API library and the command: with the default options every format
// keeps the bytes it had before colours, margins and resolutions could be chosen (digests of files
// made then).
#if defined(TESSERA_HAVE_PNG)

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace qr::test {
namespace {

TEST(Writers, DefaultOptionsKeepTheEarlierBytes) {
    const auto encoder = EncodeBytes(ToBytes("tessera: a version 10 sample"), LEVEL_M, 10);
    struct Case {
        ImageFormat format;
        int scale;
        const char* sha256;
    };
    for (const Case& c : std::vector<Case>{
             {ImageFormat::kPng, 1,
              "9176c908d5ceb6f4b7fc9be7b7f35d38c68c57691237af1fc51c2791a5351a83"},
             {ImageFormat::kPng, 3,
              "fb63d4afb9b6a0e9541f7b0c32c4b041e28696466897139d9fd6c51d1f1f1d5f"},
             {ImageFormat::kSvg, 1,
              "177fab19949cba6932babac11bb2caac83e39047206008b0c17ec68cee4b5ea1"},
             {ImageFormat::kSvg, 3,
              "07e7a63b4a481a8ad37766fb3c45f95876e85f3c4bd5c0828da0ae8db5df6e7e"},
         }) {
        SCOPED_TRACE(std::string(FormatInfo(c.format).name) + " at " + std::to_string(c.scale));
        EXPECT_EQ(Sha256Hex(Rendered(*encoder, c.format, c.scale)), c.sha256);
    }
}

}  // namespace
}  // namespace qr::test

#endif
