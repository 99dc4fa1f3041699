// Verification: contrast as WCAG computes it, each problem named on its own line, and the verdict
// held against zxing-cpp reading the same PNG on borderline cases.
#if defined(TESSERA_HAVE_PNG) && defined(TESSERA_HAVE_ZXING)

#include "output/verify.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "encoder/micro_encoder.h"
#include "encoder/rmqr_encoder.h"
#include "output/logo.h"
#include "output/styled.h"
#include "tests/output/drawn_image.h"
#include "tests/support/borderline.h"

namespace qr::test {
namespace {

using Symbol = MappedSymbol;

Symbol Make(const char* text, int level, int version = 0) {
    return MapEncoded(ToBytes(text), level, version);
}

VerifyResult Verify(const Symbol& s, ImageFormat format, const RenderOptions& options,
                    const StyleOptions& style) {
    return VerifyRendering(format, s.encoder->modules, *s.map, options, style);
}

TEST(Verify, ContrastIsTheRatioOfRelativeLuminances) {
    EXPECT_DOUBLE_EQ(ContrastRatio(0x000000FF, 0xFFFFFFFF), 21);
    EXPECT_NEAR(ContrastRatio(0xFFFFFFFF, 0x767676FF), 4.54, 0.005);  // WCAG's darkest AA grey
    EXPECT_NEAR(ContrastRatio(0x0000FFFF, 0xFFFFFFFF), 8.59, 0.005);
    EXPECT_DOUBLE_EQ(ContrastRatio(0x00000000, 0xFFFFFFFF), 1);  // transparent: white
}

TEST(Verify, NamesEachProblemOnALine) {
    struct Case {
        const char* name;
        RenderOptions options;
        StyleOptions style;
        ImageFormat format;
        VerifyStatus status;
        std::string problems;
    };
    auto style = [](Region region, Rgba colour) {
        StyleOptions s;
        s.regions[static_cast<int>(region)] = colour;
        return s;
    };
    StyleOptions dots;
    dots.finder = FinderStyle::kDot;
    dots.shape = ModuleShape::kDiamond;
    StyleOptions printed;
    printed.size = 8;
    printed.sizeUnit = LengthUnit::kMillimetre;
    const RenderOptions plain;
    const Symbol s = Make("VERIFY 1234567890", LEVEL_M, 3);  // 29 modules a side
                                                             // clang-format off
    for (const Case& c : std::vector<Case>{
        {"plain", plain, StyleOptions(), ImageFormat::kPng, VerifyStatus::kReads, ""},
        {"dot finders", plain, dots, ImageFormat::kSvg, VerifyStatus::kReads, ""},
        {"grey on white", {4, 4, 0xAAAAAAFF, kDefaultLight}, StyleOptions(), ImageFormat::kPdf,
         VerifyStatus::kUnreadable, "the finder colours have a contrast of 2.3:1, under 3:1\n"},
        {"inverted", {4, 4, 0xFFFFFFFF, 0x000000FF}, StyleOptions(), ImageFormat::kPng,
         VerifyStatus::kReadsWithWarnings,
         "the dark modules are lighter than the light ones: many readers do not read inverted symbols\n"},
        {"narrow quiet zone", {4, 1}, StyleOptions(), ImageFormat::kBmp,
         VerifyStatus::kReadsWithWarnings, "a quiet zone of 1 module: readers expect 4\n"},
        {"dark quiet zone", plain, style(Region::kQuietZone, 0x202020FF), ImageFormat::kSvg,
         VerifyStatus::kUnreadable, "the quiet zone reads as dark\n"},
        {"dark separators", plain, style(Region::kSeparator, 0x000000FF), ImageFormat::kEps,
         VerifyStatus::kUnreadable, "45 separator modules read dark\n"},
        {"white timing", plain, style(Region::kTimingDark, 0xFFFFFFFF), ImageFormat::kPng,
         VerifyStatus::kUnreadable,
         "the timing colours have a contrast of 1:1, under 3:1\n14 timing modules read wrong\n"},
        {"hidden data", plain, style(Region::kDataDark, 0xF8F8F8FF), ImageFormat::kSvg,
         VerifyStatus::kUnreadable,
         "the data colours have a contrast of 1.1:1, under 3:1\n1 block has more wrong codewords than "
         "it corrects (block 1 of 1: 70 wrong codewords, it corrects 13)\n"},
        {"8 mm", plain, printed, ImageFormat::kPdf, VerifyStatus::kReadsWithWarnings,
         "a module prints 0.22 mm wide, under 0.25 mm\n"},
    }) {
        // clang-format on
        SCOPED_TRACE(c.name);
        const VerifyResult result = Verify(s, c.format, c.options, c.style);
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.problems, c.problems);
    }
}

TEST(Verify, MicroQrWantsTwoModulesOfQuietZoneAndOneFormatCopy) {
    auto encoder = std::make_unique<CMicroEncoder>();
    ASSERT_EQ(encoder->Encode(LEVEL_M, 3, 0, -1, ToBytes("MICRO").data(), 5), 1);
    auto map = std::make_unique<SymbolMap>();
    ASSERT_TRUE(MapSymbol(SymbolKind::kMicroQr, 3, LEVEL_M, map.get()));
    StyleOptions lostFormat;
    lostFormat.regions[static_cast<int>(Region::kFormatLight)] = 0x000000FF;
    for (const auto& [margin, style, problems] :
         {std::tuple{2, StyleOptions(), ""},
          {1, StyleOptions(), "a quiet zone of 1 module: readers expect 2\n"},
          {2, lostFormat,
           "the format colours have a contrast of 1:1, under 3:1\nthe format information reads "
           "wrong in every copy\n"}}) {
        RenderOptions options;
        options.margin = margin;
        EXPECT_EQ(
            VerifyRendering(ImageFormat::kSvg, encoder->modules, *map, options, style).problems,
            problems);
    }
}

// rMQR: a quiet zone of 2 is enough; with the finder region's light modules dark, the finder and
// the sub-finder read wrong along their middle lines (4 light cells each) and so do the corner
// patterns' two light cells.
TEST(Verify, RmqrWantsTwoModulesOfQuietZoneAndChecksItsSubFinderAndCorners) {
    auto encoder = std::make_unique<CRmqrEncoder>();
    ASSERT_EQ(encoder->Encode(LEVEL_M, RmqrVersionNamed("R11x43"), 0, 0, ToBytes("RMQR").data(), 4),
              1);
    auto map = std::make_unique<SymbolMap>();
    ASSERT_TRUE(MapSymbol(SymbolKind::kRmqr, encoder->version, LEVEL_M, map.get()));
    StyleOptions darkFinders;
    darkFinders.regions[static_cast<int>(Region::kFinderLight)] = 0x000000FF;
    for (const auto& [margin, style, problems] :
         {std::tuple{2, StyleOptions(), ""},
          {1, StyleOptions(), "a quiet zone of 1 module: readers expect 2\n"},
          {2, darkFinders,
           "the finder colours have a contrast of 1:1, under 3:1\n8 modules on the finder "
           "patterns' middle lines read wrong\n2 corner pattern modules read wrong\n"}}) {
        RenderOptions options;
        options.margin = margin;
        EXPECT_EQ(
            VerifyRendering(ImageFormat::kSvg, encoder->modules, *map, options, style).problems,
            problems);
    }
}

// Verification and zxing-cpp on the same PNG: a symbol verify passes (with or without warnings)
// reads, and one it calls unreadable does not; a logo past the cap first costs the margin, then,
// one block over, the symbol, where zxing-cpp stops reading too. The one place they part is
// contrast just under 3:1, which zxing-cpp still reads in a clean file: verify is stricter there
// on purpose, since print and cameras lose contrast that a file keeps.
TEST(Verify, AgreesWithZxingOnBorderlineCases) {
    struct Case {
        const char* name;
        RenderOptions options;
        int logo;  // percent beyond the largest that fits, or kNoLogo
        VerifyStatus status;
        bool zxingReads;
    };
    const std::string logo = DiscLogoPng(32, 32, kDefaultDark, kDefaultLight);
    const Symbol s = Make("https://example.org/verify?id=0042", LEVEL_H, 5);
    const int largest = LargestLogoPercent(*s.map, 1);
    for (const Case& c : std::vector<Case>{
             {"faint grey",
              {4, 4, kFaintGrey, kDefaultLight},
              kNoLogo,
              VerifyStatus::kUnreadable,
              false},
             {"grey at 2.6:1",
              {4, 4, kGrey26, kDefaultLight},
              kNoLogo,
              VerifyStatus::kUnreadable,
              false},
             {"grey at 2.9:1",
              {4, 4, kGrey29, kDefaultLight},
              kNoLogo,
              VerifyStatus::kUnreadable,
              true},
             {"grey at 3.2:1", {4, 4, kGrey32, kDefaultLight}, kNoLogo, VerifyStatus::kReads, true},
             {"largest logo", {4, 4}, 0, VerifyStatus::kReads, true},
             {"logo just under what corrects",
              {4, 4},
              kLogoUnderRepair,
              VerifyStatus::kReadsWithWarnings,
              true},
             {"logo just over what corrects", {4, 4}, 12, VerifyStatus::kUnreadable, false},
             {"margin 0", {4, 0}, kNoLogo, VerifyStatus::kReadsWithWarnings, true},
             {"margin 1", {4, 1}, kNoLogo, VerifyStatus::kReadsWithWarnings, true},
             {"margin 2", {4, 2}, kNoLogo, VerifyStatus::kReadsWithWarnings, true},
             {"margin 3", {4, 3}, kNoLogo, VerifyStatus::kReadsWithWarnings, true},
             {"margin 4", {4, 4}, kNoLogo, VerifyStatus::kReads, true},
         }) {
        const StyleOptions style = WithLogo(logo, largest, c.logo);
        SCOPED_TRACE(std::string(c.name) + ", logo " + std::to_string(style.logoPercent) + "%");
        const VerifyResult result = Verify(s, ImageFormat::kPng, c.options, style);
        std::string png;
        ASSERT_TRUE(
            ComposeStyled(ImageFormat::kPng, s.encoder->modules, *s.map, c.options, style, &png));
        int width = 0;
        RgbaPixels pixels;
        ASSERT_TRUE(ReadPngPixels(png, &width, &pixels));
        std::string decoded;
        const bool read = DecodeQr(OnWhite(pixels, width, 0), &decoded) &&
                          decoded == "https://example.org/verify?id=0042";
        EXPECT_EQ(result.status, c.status) << result.problems;
        EXPECT_EQ(read, c.zxingReads);
    }
}

}  // namespace
}  // namespace qr::test

#endif
