// The pipeline's words: names that cannot drive a terminal, and the lists of formats.
#include "module/messages.h"

#include <gtest/gtest.h>

namespace qr {
namespace {

TEST(Messages, NamesInMessagesCannotDriveTheTerminal) {
    EXPECT_EQ(PrintableName("a b/c.png"), "'a b/c.png'");
    EXPECT_EQ(PrintableName("x\x1b[2Jy\n\x7f"), "'x\\x1b[2Jy\\x0a\\x7f'");
    EXPECT_EQ(PrintableName("caf\xc3\xa9"), "'caf\xc3\xa9'");
}

TEST(Messages, ListTheFormatsOfTheTable) {
    EXPECT_EQ(FormatNameList(), "bmp, png, svg, txt, utf8, ansi, eps, pdf, xpm, pbm or pbm-plain");
    EXPECT_EQ(FormatNamesWith("dpi"), "bmp and png");
    EXPECT_EQ(FormatNamesWith("colours"), "bmp, png, svg, eps, pdf and xpm");
    EXPECT_EQ(FormatNamesWith("binary"), "bmp, png, pdf and pbm");
}

}  // namespace
}  // namespace qr
