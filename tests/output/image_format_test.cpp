// The table of formats: names in any case, extensions of the last path component, the extensions
// of image formats that are written by no one here, and the lists made from the rows.
#include "output/image_format.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qr {
namespace {

TEST(ImageFormat, NamesAndExtensionsInAnyCase) {
    struct Case {
        const char* text;
        int byName;       // the format FormatFromName finds, or -1
        int byExtension;  // the format FormatFromExtension finds, or -1
        bool foreign;     // an image extension no writer here makes
    };
    for (const Case& c : std::vector<Case>{
             {"png", 1, -1, false},
             {"PNG", 1, -1, false},
             {"a.png", -1, 1, false},
             {"dir/A.PNG", -1, 1, false},
             {"a.svg", -1, 2, false},
             {"a.txt", -1, 3, false},
             {"a.Bmp", -1, 0, false},
             {"a.eps", -1, 6, false},
             {"x/a.pdf", -1, 7, false},
             {"utf8", 4, -1, false},
             {"a.utf8", -1, -1, false},  // the terminal styles have no extension
             {"ANSI", 5, -1, false},
             {"a.jpeg", -1, -1, true},
             {"a.JPG", -1, -1, true},
             {"a.gif", -1, -1, true},
             {"a.tif", -1, -1, true},
             {"a.webp", -1, -1, true},
             {"noextension", -1, -1, false},
             {"dir.png/file", -1, -1, false},
             {"dir\\.png", -1, -1, false},  // a hidden name, no extension
             {".png", -1, -1, false},
             {"-", -1, -1, false},
             {"", -1, -1, false},
             {"pngx", -1, -1, false},
             {"XPM", 8, -1, false},
             {"a.xpm", -1, 8, false},
             {"pbm", 9, -1, false},
             {"Pbm-Plain", 10, -1, false},
             {"a.PBM", -1, 9, false},  // the raw bitmap, the first row with the extension
         }) {
        SCOPED_TRACE(c.text);
        ImageFormat format = ImageFormat::kAnsi;
        EXPECT_EQ(FormatFromName(c.text, &format) ? static_cast<int>(format) : -1, c.byName);
        EXPECT_EQ(FormatFromExtension(c.text, &format) ? static_cast<int>(format) : -1,
                  c.byExtension);
        EXPECT_EQ(IsForeignImageExtension(c.text), c.foreign);
    }
}

TEST(ImageFormat, EveryRowIsFoundByItsNameAndItsExtension) {
    for (int i = 0; i < FormatCount(); ++i) {
        const ImageFormatInfo& row = FormatInfo(static_cast<ImageFormat>(i));
        SCOPED_TRACE(row.name);
        ImageFormat found;
        ASSERT_TRUE(FormatFromName(row.name, &found));
        EXPECT_EQ(static_cast<int>(found), i);
        if (row.extension != nullptr) {
            ASSERT_TRUE(FormatFromExtension((std::string("a.") + row.extension).c_str(), &found));
            EXPECT_STREQ(FormatInfo(found).extension, row.extension);
            EXPECT_LE(static_cast<int>(found), i);
        }
        EXPECT_TRUE(row.colours || !row.alpha);
        EXPECT_GE(row.defaultScale, kMinScale);
        EXPECT_LE(row.defaultScale, kMaxScale);
        EXPECT_NE(row.writer, nullptr);
    }
}

}  // namespace
}  // namespace qr
