// The words and error numbers of the platform's reasons for a failed write.
#include "module/failures.h"

#include <gtest/gtest.h>

namespace qr {
namespace {

TEST(Failures, EachWriteFailureHasAnErrorNumberThatMeansIt) {
    using platform::WriteFailure;
    for (const WriteFailure failure :
         {WriteFailure::kNoSpace, WriteFailure::kPermission, WriteFailure::kMissingFolder,
          WriteFailure::kNotAFile, WriteFailure::kTooLarge, WriteFailure::kBrokenPipe,
          WriteFailure::kNoMemory, WriteFailure::kOther}) {
        SCOPED_TRACE(WriteFailureText(failure));
        EXPECT_EQ(platform::WriteFailureOfErrno(ErrorNumberOf(failure)), failure);
    }
    EXPECT_EQ(ErrorNumberOf(WriteFailure::kNone), 0);
}

}  // namespace
}  // namespace qr
